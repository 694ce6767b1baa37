#include "app/Batch.h"
#include "export/ConversionErrors.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;
using testsupport::ReadFileBytes;

namespace {

std::vector<fs::path> Logs(const fs::path& folder)
{
    std::vector<fs::path> logs;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("log", 0) == 0 && e.path().extension() == ".txt")
            logs.push_back(e.path());
    return logs;
}

// A job double: files named "bad*" are not books, "crash*" kill the
// converting process, everything else is written as <stem>.out.
void FakeJob(const fs::path& source, const fs::path& work, const fs::path& out)
{
    EXPECT_TRUE(fs::is_directory(work));
    const std::string name = source.filename().string();
    if (name.rfind("bad", 0) == 0)
        throw UnknownFileTypeError();
    if (name.rfind("crash", 0) == 0) {
        std::signal(SIGSEGV, SIG_DFL);  // the sanitizer's handler would turn the crash into an exit
        std::raise(SIGSEGV);
    }
    std::ofstream(out / (source.stem().string() + ".out")) << "converted";
}

TEST(Batch, LogsFailuresAndGoesOn)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src" / "sub");
    std::ofstream(dir / "src" / "a.mordx") << "1";
    std::ofstream(dir / "src" / "sub" / "bad.txt") << "2";
    std::ofstream(dir / "src" / "sub" / "c.mordx") << "3";
    RunBatch((dir / "src").string(), (dir / "out" / "deep").string(), FakeJob);

    ASSERT_TRUE(fs::is_directory(dir / "out" / "deep"));
    EXPECT_TRUE(fs::exists(dir / "out" / "deep" / "a.out"));
    EXPECT_TRUE(fs::exists(dir / "out" / "deep" / "c.out"));
    const auto logs = Logs(dir / "out" / "deep");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(ReadFileBytes(logs[0]), "Start processing. 3 files\r\n"
                             "Error during processing file - " + (dir / "src" / "sub" / "bad.txt").string() + "\r\n"
                             "\tError description: (class UnknownFileTypeError) std::exception\r\n"
                             "Processing finished\r\n");
}

TEST(Batch, CrashingBookIsLoggedAndRunContinues)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "crash.mordx") << "1";
    RunBatch((dir / "src").string(), (dir / "out").string(), FakeJob);
    const auto logs = Logs(dir / "out");
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = ReadFileBytes(logs[0]);
    EXPECT_NE(log.find("Error during processing file - " + (dir / "src" / "crash.mordx").string()), std::string::npos);
    EXPECT_NE(log.find("\tError description: (crash) the conversion ended with signal"), std::string::npos);
    EXPECT_NE(log.find("Processing finished\r\n"), std::string::npos);
}

TEST(Batch, SilentReturnsWithoutLog)
{
    ScratchFolder dir;
    fs::create_directories(dir / "empty");
    std::ofstream(dir / "file") << "x";
    RunBatch((dir / "empty").string(), (dir / "out1").string(), FakeJob);
    EXPECT_TRUE(fs::is_empty(dir / "out1"));
    RunBatch((dir / "missing").string(), (dir / "out2").string(), FakeJob);
    EXPECT_FALSE(fs::exists(dir / "out2"));
    RunBatch((dir / "file").string(), (dir / "out3").string(), FakeJob);
    EXPECT_FALSE(fs::exists(dir / "out3"));
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "a") << "x";
    RunBatch((dir / "src").string(), (dir / "file").string(), FakeJob);
    EXPECT_EQ(ReadFileBytes(dir / "file"), "x");
}

TEST(Batch, OutputInsideSourceIsNotConvertedAgain)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src" / "out");
    std::ofstream(dir / "src" / "out" / "bad-old-result") << "x";
    std::ofstream(dir / "src" / "a") << "x";
    RunBatch((dir / "src").string(), (dir / "src" / "out").string(), FakeJob);
    const auto logs = Logs(dir / "src" / "out");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(ReadFileBytes(logs[0]), "Start processing. 1 files\r\nProcessing finished\r\n");
}

// The list is taken before anything is written: an output folder that is
// the source, or holds it, is no reason to skip the books.
TEST(Batch, OutputFolderThatIsOrHoldsTheSourceConvertsTheBooks)
{
    ScratchFolder dir;
    fs::create_directories(dir / "books");
    std::ofstream(dir / "books" / "a.mordx") << "x";
    RunBatch((dir / "books").string(), (dir / "books").string(), FakeJob);
    EXPECT_TRUE(fs::exists(dir / "books" / "a.out"));
    ASSERT_EQ(Logs(dir / "books").size(), 1u);
    EXPECT_EQ(ReadFileBytes(Logs(dir / "books")[0]), "Start processing. 1 files\r\nProcessing finished\r\n");

    fs::create_directories(dir / "out" / "in");
    std::ofstream(dir / "out" / "in" / "b.mordx") << "x";
    RunBatch((dir / "out" / "in").string(), (dir / "out").string(), FakeJob);
    EXPECT_TRUE(fs::exists(dir / "out" / "b.out"));
}

TEST(Batch, NonAsciiNamesAreLoggedInUtf8)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src");
    const std::string name = "bad-\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0-\xE4\xB9\xA6.mordx";
    std::ofstream(dir / "src" / name) << "x";
    RunBatch((dir / "src").string(), (dir / "out").string(), FakeJob);
    const auto logs = Logs(dir / "out");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(ReadFileBytes(logs[0]).find("- " + (dir / "src" / name).string() + "\r\n"), std::string::npos);
}

TEST(MakeUniqueFileName, CountsUpPastTakenNames)
{
    ScratchFolder dir;
    std::ofstream(dir / "log5.txt") << "x";
    fs::create_directory(dir / "log6.txt");
    const auto ticks = [] { return 0x80000005u; };  // top bit cleared
    EXPECT_EQ(MakeUniqueFileName(dir.Path(), "log", "txt", ticks), dir / "log7.txt");
}

TEST(ProcessingLog, TakenNameIsNeverTruncated)
{
    ScratchFolder dir;
    ProcessingLog log;
    log.Open(dir.Path(), 2);
    const fs::path first = log.GetPath();
    log.WriteLine("line");
    log.Close();
    ProcessingLog second;
    second.Open(dir.Path(), 0);
    EXPECT_NE(second.GetPath(), first);
    second.Close();
    EXPECT_EQ(ReadFileBytes(first), "Start processing. 2 files\r\nline\r\n");
}

TEST(ProcessingLog, UnopenableFolderDropsLines)
{
    ProcessingLog log;
    log.Open("/nonexistent-folder-for-tralvex-tests", 1);
    EXPECT_TRUE(log.GetPath().empty());
    log.WriteLine("dropped");  // must not fail
}

TEST(FindFilesRecursive, RegularFilesAtAnyDepthWithoutFollowingFolderLinks)
{
    ScratchFolder dir;
    fs::create_directories(dir / "s" / "a" / "b");
    std::ofstream(dir / "s" / "x") << "1";
    std::ofstream(dir / "s" / "a" / "b" / "y") << "1";
    fs::create_directory_symlink(dir / "s", dir / "s" / "a" / "loop");
    auto relative = FindFilesRecursive(dir / "s", false);
    std::sort(relative.begin(), relative.end());
    EXPECT_EQ(relative, (std::vector<fs::path>{"a/b/y", "x"}));
    auto full = FindFilesRecursive(dir / "s", true);
    EXPECT_EQ(full.size(), 2u);
    for (const auto& p : full)
        EXPECT_TRUE(p.is_absolute());
}

}  // namespace
