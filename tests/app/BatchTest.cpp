#include "app/Batch.h"
#include "app/ConversionJob.h"
#include "app/DescribeException.h"
#include "app/PackageScreen.h"
#include "export/ConversionErrors.h"
#include "text/LineEscaping.h"
#include "text/Unicode.h"
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;

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
fs::path FakeJob(const fs::path& source, const fs::path& work, const fs::path& out, const SaveTurns& = {})
{
    EXPECT_TRUE(fs::is_directory(work));
    const std::string name = source.filename().string();
    if (name.rfind("bad", 0) == 0)
        throw UnknownFileTypeError();
    if (name.rfind("crash", 0) == 0) {
        std::signal(SIGSEGV, SIG_DFL);  // the sanitizer's handler would turn the crash into an exit
        std::raise(SIGSEGV);
    }
    const fs::path written = out / (source.stem().string() + ".out");
    std::ofstream(written) << "converted";
    return written;
}

// Children run side by side: each call is one appending write.
void AppendCall(const fs::path& calls, const fs::path& source)
{
    files::Fd fd(::open(calls.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    files::WriteAll(fd.Get(), source.filename().string() + ";");
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
                                      "Error during processing file - "
                                          + (dir / "src" / "sub" / "bad.txt").string() + "\r\n"
                                                                                         "\tError description: (class UnknownFileTypeError) not a book package\r\n"
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

// A folder that cannot be opened, and one that fails half-way (as a broken
// mount does), are failures of their own; the walk goes on past both.
TEST(Batch, UnreadableFoldersAreLoggedAndTheWalkGoesOn)
{
    ScratchFolder dir;
    for (const char* name : {"a.mordx", "locked/x.mordx", "half/b.mordx", "z/c.mordx"})
        dir.Write(fs::path("src") / name, "x");
    const auto reader = [&](const fs::path& folder, std::vector<fs::directory_entry>& entries) {
        if (folder.filename() == "locked")
            throw fs::filesystem_error("cannot read", folder, std::make_error_code(std::errc::permission_denied));
        for (const auto& e : fs::directory_iterator(folder))
            entries.push_back(e);
        if (folder.filename() == "half")
            throw fs::filesystem_error("cannot read", folder, std::make_error_code(std::errc::io_error));
    };
    ::testing::internal::CaptureStderr();
    RunBatch((dir / "src").string(), (dir / "out").string(), FakeJob, BatchOptions{1, std::chrono::minutes(1), false, reader});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    for (const char* name : {"a.out", "b.out", "c.out"})
        EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
    const std::string log = ReadFileBytes(Logs(dir / "out").at(0));
    EXPECT_EQ(log.rfind("Start processing. 3 files\r\n", 0), 0u) << log;
    for (const auto& [folder, reason] : {std::pair{"locked", "Permission denied"}, std::pair{"half", "Input/output error"}}) {
        EXPECT_NE(log.find("Error during processing file - " + (dir / "src" / folder).string()
                           + "\r\n\tError description: (unreadable folder) the folder cannot be read: " + reason + "\r\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(errors.find((dir / "src" / folder).string() + "\" cannot be read: " + reason), std::string::npos) << errors;
    }
}

// A file name cannot forge a log line: control characters and bytes that are
// not UTF-8 are escaped, and the log stays one line of UTF-8 per entry.
TEST(Batch, NamesAreEscapedInTheLogAndTheRecord)
{
    ScratchFolder dir;
    const std::string forged = "bad\nError during processing file - x\r";
    dir.Write(fs::path("src") / forged, "x");
    dir.Write(fs::path("src") / "bad\xFF\tname", "x");
    dir.Write(fs::path("src") / "good\nbook.mordx", "x");
    RunBatch((dir / "src").string(), (dir / "out").string(), FakeJob);
    const std::string log = ReadFileBytes(Logs(dir / "out").at(0));
    EXPECT_TRUE(unicode::IsValidUtf8(log));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << log;
    EXPECT_NE(log.find("- " + (dir / "src").string() + "/bad\\x0AError during processing file - x\\x0D\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("/bad\\xFF\\x09name\r\n"), std::string::npos) << log;
    const std::string record = ReadFileBytes(dir / "out" / ("converted" + Logs(dir / "out").at(0).stem().string().substr(3) + ".tsv"));
    EXPECT_EQ(record, lineescaping::Escape((dir / "src" / "good\nbook.mordx").string()) + "\t"
                          + lineescaping::Escape((dir / "out" / "good\nbook.out").string()) + "\n");
}

// Runs a batch in a child where no file can grow beyond bytes, as on a full
// disk; what it wrote on standard error (through a pipe, which the limit
// does not cut).
std::string RunBatchOnFullDisk(const fs::path& source, const fs::path& output, rlim_t bytes)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDERR_FILENO);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RunBatch(source.string(), output.string(), FakeJob, BatchOptions{1});
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string errors;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        errors.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return errors;
}

// The log and the record fail exactly when the output folder does; one line
// on standard error says so, with the reason.
TEST(Batch, LogThatCannotBeWrittenIsReported)
{
    ScratchFolder dir;
    dir.Write("src/a.mordx", "x");
    dir.Write("src/bad.mordx", "x");
    ::testing::internal::CaptureStderr();
    ProcessingLog log;
    log.Open("/proc/self", 1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("the log cannot be created in \"/proc/self\": "),
              std::string::npos);
    // A full disk: a log that cannot grow past its first line.
    const std::string errors = RunBatchOnFullDisk(dir / "src", dir / "out", 40);
    EXPECT_NE(errors.find(".txt\" cannot be written: File too large"), std::string::npos) << errors;
    EXPECT_NE(errors.find(".tsv\" cannot be written: File too large"), std::string::npos) << errors;
}

// A book already converted, with its presentation still there, is skipped
// with --resume; one whose presentation is gone is converted again.
TEST(Batch, ResumeSkipsRecordedBooks)
{
    ScratchFolder dir;
    for (const char* name : {"a.mordx", "sub/b.mordx", "c.mordx"})
        dir.Write(fs::path("src") / name, "x");
    const BatchJob counting = [&](const fs::path& source, const fs::path& work, const fs::path& out, const SaveTurns&) {
        AppendCall(dir / "calls", source);
        return FakeJob(source, work, out);
    };
    RunBatch((dir / "src").string(), (dir / "out").string(), counting, BatchOptions{2});
    fs::remove(dir / "out" / "b.out");
    dir.Write("src/d.mordx", "x");
    dir.Write("calls", "");
    BatchOptions resume{2};
    resume.resume = true;
    RunBatch((dir / "src").string(), (dir / "out").string(), counting, resume);
    std::string second = ReadFileBytes(dir / "calls");
    EXPECT_TRUE(second == "b.mordx;d.mordx;" || second == "d.mordx;b.mordx;") << second;
    dir.Write("calls", "");
    RunBatch((dir / "src").string(), (dir / "out").string(), counting, resume);
    EXPECT_EQ(ReadFileBytes(dir / "calls"), "");
    // Into the source folder itself: the presentations written are no books
    // to convert either.
    RunBatch((dir / "src").string(), (dir / "src").string(), counting, BatchOptions{2});
    dir.Write("calls", "");
    RunBatch((dir / "src").string(), (dir / "src").string(), counting, resume);
    // (Logs and records are files too; without a screen the job sees them.)
    const std::string calls = ReadFileBytes(dir / "calls");
    EXPECT_EQ(calls.find(".mordx"), std::string::npos) << calls;
    EXPECT_EQ(calls.find(".out"), std::string::npos) << calls;
}

// What has no end-of-archive record is decided without a process, with the
// description the job would give.
TEST(Batch, NonPackagesCostNoProcess)
{
    ScratchFolder dir;
    dir.Write("src/notes.txt", "text");
    dir.Write("src/broken.mordx", "text");
    dir.Write("src/empty.mordx", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    const BatchJob job = [&](const fs::path& source, const fs::path& work, const fs::path& out, const SaveTurns&) {
        AppendCall(dir / "calls", source);
        return FakeJob(source, work, out);
    };
    RunBatch((dir / "src").string(), (dir / "out").string(), job, BatchOptions{1}, false, ScreenNonPackage);
    EXPECT_EQ(ReadFileBytes(dir / "calls"), "empty.mordx;");
    const std::string log = ReadFileBytes(Logs(dir / "out").at(0));
    EXPECT_NE(log.find("notes.txt\r\n\tError description: (class UnknownFileTypeError) not a zip archive\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("broken.mordx\r\n\tError description: (class FileCorruptedError) not a zip archive\r\n"),
              std::string::npos)
        << log;
}

struct ScreenCase {
    const char* name;
    std::string bytes;
    bool screened;  // decided without the job
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class PackageScreenTest : public ::testing::TestWithParam<ScreenCase> {};

// The screen decides only what the job would refuse, and says what the job
// says: the log reads the same with and without it.
TEST_P(PackageScreenTest, SaysWhatTheJobSays)
{
    ScratchFolder dir;
    const fs::path file = dir.Write(GetParam().name, GetParam().bytes);
    fs::create_directory(dir / "work");
    std::string job;
    try {
        RunConversionJob(file, dir / "work", dir.Path());
    } catch (...) {
        job = DescribeException(std::current_exception(), true);
    }
    const auto screen = ScreenNonPackage(file);
    EXPECT_EQ(screen.has_value(), GetParam().screened);
    if (screen) {
        EXPECT_EQ(*screen, job);
    }
}

const std::string kEndRecord = std::string("PK\x05\x06", 4) + std::string(18, '\0');

INSTANTIATE_TEST_SUITE_P(Files, PackageScreenTest, ::testing::Values(ScreenCase{"text.txt", "some text", true}, ScreenCase{"text.mordx", "some text", true}, ScreenCase{"empty.mordx", "", true}, ScreenCase{"truncated.mordx", std::string("PK\x03\x04", 4) + std::string(100, 'x'), true}, ScreenCase{"no_entries.mordx", kEndRecord, false}, ScreenCase{"end_record_deep_in_a_comment.txt", std::string(1000, 'x') + kEndRecord + std::string(60000, 'c'), false}, ScreenCase{"end_record_too_far.txt", kEndRecord + std::string(70000, 'c'), true}),
                         [](const auto& info) { return testnames::Name(info.param.name); });

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
    ::testing::internal::CaptureStderr();
    ProcessingLog log;
    log.Open("/nonexistent-folder-for-tralvex-tests", 1);
    EXPECT_TRUE(log.GetPath().empty());
    log.WriteLine("dropped");  // must not fail
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("No such file or directory"), std::string::npos);
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
