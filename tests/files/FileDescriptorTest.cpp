#include "files/TemporaryFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

// A file being written is locked, so that a cleanup elsewhere leaves it alone.
TEST(TemporaryFile, LockedWhileOpen)
{
    ScratchFolder folder("tempfile");
    files::TemporaryFile temp;
    ASSERT_TRUE(temp.Create(AT_FDCWD, (folder.Path() / ".t-").string(), "", 0644));
    const files::Fd other(::open(temp.Name().c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(other.Valid());
    EXPECT_EQ(::flock(other.Get(), LOCK_EX | LOCK_NB), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    temp.Close();
    EXPECT_EQ(::flock(other.Get(), LOCK_EX | LOCK_NB), 0);
}

// Only files of the temporary name pattern that nobody holds are removed.
TEST(RemoveAbandonedFiles, TakesOnlyUnheldFilesOfThePattern)
{
    ScratchFolder folder("abandoned");
    files::TemporaryFile live;
    ASSERT_TRUE(live.Create(AT_FDCWD, (folder.Path() / ".t-").string(), "", 0644));
    folder.Write(".t-0123456789abcdef", "died while written");
    const auto held = folder.Write(".t-1111111111111111", "locked by someone else");
    const files::Fd holder(::open(held.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX), 0);
    const auto target = folder.Write("target", "kept");
    std::filesystem::create_symlink(target, folder / ".t-aaaaaaaaaaaaaaaa");
    std::filesystem::create_directory(folder / ".t-bbbbbbbbbbbbbbbb");
    const char* others[] = {".t-0123", ".t-0123456789ABCDEF", ".t-0123456789abcdef.part", "x.t-0123456789abcdef",
                            ".t-0123456789abcdeg"};
    for (const char* name : others)
        folder.Write(name, "other");

    EXPECT_EQ(files::RemoveAbandonedFiles(folder.Path(), ".t-", ""), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / ".t-0123456789abcdef"));
    for (const char* name : others)
        EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    for (const auto& name : {live.Name(), held.string(), target.string()})
        EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_TRUE(std::filesystem::is_symlink(folder / ".t-aaaaaaaaaaaaaaaa"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / ".t-bbbbbbbbbbbbbbbb"));
    EXPECT_EQ(files::RemoveAbandonedFiles(folder / "missing", ".t-", ""), 0u);
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
