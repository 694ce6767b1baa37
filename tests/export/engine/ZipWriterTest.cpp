#include "export/engine/package/ZipWriter.h"

#include "support/ScratchFolder.h"
#include "support/ZipReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using engine::detail::ZipWriter;
using testsupport::ScratchFolder;

namespace {

// Read back whole, each entry checked against its CRC.
std::vector<std::pair<std::string, std::string>> Entries(const std::filesystem::path& zip)
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (auto& e : testsupport::ReadZipEntries(zip))
        entries.emplace_back(e.name, std::move(e.data));
    return entries;
}

}  // namespace

// Deflated entries are written by the writer's own thread; a stored entry
// and the end of the package must still come after all of them, in order.
TEST(ZipWriter, EntriesKeepTheirOrderAndContent)
{
    ScratchFolder scratch;
    const auto file = scratch.Path() / "out.zip";
    std::vector<std::pair<std::string, std::string>> expected;
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ZipWriter zip(fd);
        for (int i = 0; i < 100; ++i) {
            if (i == 60) {
                const std::string stored(200000, 's');
                ASSERT_TRUE(zip.AddStored("media/stored.bin", stored.size(), [&](const auto& sink) {
                    return sink(stored.data(), 100000) && sink(stored.data() + 100000, 100000);
                }));
                expected.emplace_back("media/stored.bin", stored);
            }
            std::string data(std::size_t(i) * 997, char('a' + i % 26));
            const std::string name = "part" + std::to_string(i) + ".xml";
            expected.emplace_back(name, data);
            ASSERT_TRUE(zip.Add(name, std::move(data)));
        }
        EXPECT_TRUE(zip.Close());
        ::close(fd);
    }
    EXPECT_EQ(Entries(file), expected);
}

TEST(ZipWriter, AFailingDiskFailsThePackage)
{
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ZipWriter zip(fd);
    const std::string big(4 << 20, 'x');  // past the file's buffer
    for (int i = 0; i < 40 && zip.Add("part" + std::to_string(i), big);)
        ++i;
    EXPECT_FALSE(zip.Close());
    ::close(fd);
}
