#include "imaging/TemporaryFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::ScratchFolder;

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(Fd, ClosesOnceAndMovesOwnership)
{
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    ::close(pipe[1]);
    files::Fd first(pipe[0]);
    files::Fd second(std::move(first));
    EXPECT_FALSE(first.Valid());
    EXPECT_TRUE(first.Close());  // the moved-from guard has nothing to close
    EXPECT_TRUE(second.Close());
    EXPECT_FALSE(IsOpen(pipe[0]));
    EXPECT_TRUE(second.Close());  // nothing left: no second close of a reused number
}

TEST(TemporaryFile, RemovedUnlessKept)
{
    ScratchFolder folder("tempfile");
    const files::Fd dir(::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string dropped, kept;
    {
        files::TemporaryFile a, b;
        ASSERT_TRUE(a.Create(dir.Get(), ".a-", ".part", 0644));
        ASSERT_TRUE(b.Create(AT_FDCWD, (folder.Path() / ".b-").string(), "", 0600));
        EXPECT_TRUE(files::WriteAll(b.Get(), "bytes"));
        EXPECT_TRUE(b.Close());
        dropped = a.Name();
        kept = b.Name();
        b.Keep();
        EXPECT_TRUE(std::filesystem::exists(folder / dropped));
    }
    EXPECT_FALSE(std::filesystem::exists(folder / dropped));
    EXPECT_EQ(testsupport::ReadFileBytes(kept), "bytes");
}

TEST(WriteFile, NewOnlyUnlessReplacingAndModeFromUmask)
{
    ScratchFolder folder("writefile");
    const auto file = folder / "f";
    EXPECT_TRUE(files::WriteFile(file, "one", false));
    EXPECT_FALSE(files::WriteFile(file, "two", false));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "one");
    EXPECT_TRUE(files::WriteFile(file, "3", true));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "3");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

}  // namespace
