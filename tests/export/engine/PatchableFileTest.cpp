#include "export/engine/package/PatchableFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

using engine::detail::PatchableFile;

namespace {

std::string Contents(int fd)
{
    std::string all(std::size_t(::lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd, all.data(), all.size(), 0), ssize_t(all.size()));
    return all;
}

}  // namespace

// A zip writer's pattern (append, go back a little or a long way to patch,
// return to the end), at buffer sizes that put the patch inside the held
// bytes, across the flushed boundary and far behind it.
class PatchableFileTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PatchableFileTest, GivesTheBytesOfTheSameWritesInMemory)
{
    char name[] = "/tmp/patchable-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::unlink(name);
    std::string expected;
    {
        PatchableFile file(::dup(fd), GetParam());
        std::mt19937 random(42);
        for (int entry = 0; entry < 300; ++entry) {
            const std::uint64_t header = file.Tell();
            const std::string head(30, char('A' + entry % 26));
            // Now and then a body as large as a picture, which goes out unbuffered.
            const std::string body(random() % 3000 + (entry % 7 == 0 ? 70000 : 0), char('a' + entry % 26));
            ASSERT_TRUE(file.Write(head.data(), head.size()));
            ASSERT_TRUE(file.Write(body.data(), body.size()));
            expected += head + body;
            const std::string patch = std::to_string(entry);
            file.Seek(header + 14);
            ASSERT_TRUE(file.Write(patch.data(), patch.size()));
            expected.replace(header + 14, patch.size(), patch);
            file.Seek(file.Size());
        }
        EXPECT_EQ(file.Size(), expected.size());
        ASSERT_TRUE(file.Sync());
    }
    EXPECT_EQ(Contents(fd), expected);
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, PatchableFileTest, ::testing::Values(1u, 20u, 4096u, 1u << 20),
                         [](const auto& info) { return "buffer_" + std::to_string(info.param); });

TEST(PatchableFile, AFailedWriteIsReported)
{
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    PatchableFile file(fd, 16);
    const std::string data(64, 'x');
    EXPECT_FALSE(file.Write(data.data(), data.size()));
    EXPECT_TRUE(file.Failed());
    EXPECT_FALSE(file.Sync());
}
