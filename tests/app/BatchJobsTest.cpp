// Batch runs of several books at once give what a sequential run gives.
#include "app/Batch.h"
#include "app/BatchProgress.h"
#include "app/ConversionJob.h"
#include "app/RunModes.h"
#include "export/SavePresentation.h"
#include "support/RecordingAutomation.h"
#include "support/ScratchFolder.h"
#include "TestBooks.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>
#include "support/CaseNames.h"

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using namespace std::chrono_literals;

namespace {

// Every file of the folder by name ("log" for the log, whose number varies),
// without the record of converted books, which lists them as they finish.
std::map<std::string, std::string> Tree(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("converted", 0) == 0)
            continue;
        files[name.rfind("log", 0) == 0 ? "log" : name] = ReadFileBytes(e.path());
    }
    return files;
}

// Real conversions, except that "crash*" crashes and the first book listed
// of each name takes its time, so that later books with that name finish
// first.
BatchJob SlowFirstJob(const fs::path& src)
{
    return [src](const fs::path& source, const fs::path& work, const fs::path& out, const SaveTurns& turns) {
        if (source.filename().string().rfind("crash", 0) == 0)
            std::raise(SIGSEGV);
        for (const fs::path& file : FindFilesRecursive(src, true)) {
            if (OutputNameKey(file) == OutputNameKey(source)) {
                if (file == source)
                    std::this_thread::sleep_for(400ms);
                break;
            }
        }
        return RunConversionJob(source, work, out, SaveServices{{}, turns});
    };
}

TEST(BatchJobs, ParallelRunEqualsSequentialRun)
{
    ScratchFolder dir;
    ::setenv("SOURCE_DATE_EPOCH", "1600000000", 1);
    const fs::path src = dir / "src";
    for (const char* sub : {"a", "b", "c", "d/e"})
        fs::create_directories(src / sub);
    WriteTestBook(src / "a" / "Lesson.mordx", 5);
    WriteTestBook(src / "b" / "Lesson.mordx", 2);
    WriteTestBook(src / "c" / "Lesson (2).mordx", 3);
    WriteTestBook(src / "d" / "e" / "Lesson.mordx", 4);
    WriteTestBook(src / "d" / "Other.mordx", 1);
    WriteTestBook(src / "c" / "Other.mordx", 6);
    std::ofstream(src / "b" / "broken.mordx") << "not a zip";
    std::ofstream(src / "d" / "notes.txt") << "text";
    WriteTestBook(src / "c" / "crash.mordx", 1);

    RunBatch(src.string(), (dir / "one").string(), SlowFirstJob(src), BatchOptions{1});
    RunBatch(src.string(), (dir / "four").string(), SlowFirstJob(src), BatchOptions{4});
    const auto sequential = Tree(dir / "one"), parallel = Tree(dir / "four");
    EXPECT_EQ(sequential.size(), 7u);  // six presentations and the log
    EXPECT_TRUE(sequential == parallel);
    for (const auto& [name, bytes] : sequential)
        EXPECT_EQ(parallel.count(name), 1u) << name;
    EXPECT_EQ(parallel.at("log"), sequential.at("log"));
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST(BatchJobs, HangingBookDoesNotHoldUpTheOthers)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "hang.mordx") << "x";
    for (const char* name : {"a", "b", "c", "d", "e"})
        std::ofstream(dir / "src" / (std::string(name) + ".mordx")) << "x";
    const BatchJob job = [](const fs::path& source, const fs::path&, const fs::path& out, const SaveTurns&) {
        if (source.stem() == "hang")
            for (;;)
                ::pause();
        std::ofstream(out / (source.stem().string() + ".out")) << "converted";
        return out / (source.stem().string() + ".out");
    };
    std::thread run([&] { RunBatch((dir / "src").string(), (dir / "out").string(), job, BatchOptions{2, 6s}); });
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    auto othersDone = [&] {
        for (const char* name : {"a", "b", "c", "d", "e"})
            if (!fs::exists(dir / "out" / (std::string(name) + ".out")))
                return false;
        return true;
    };
    while (!othersDone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(othersDone()) << "the other books waited for the hanging one";
    run.join();
    const auto log = Tree(dir / "out").at("log");
    EXPECT_NE(log.find("hang.mordx\r\n\tError description: (timeout) the conversion did not finish within 6 seconds\r\n"),
              std::string::npos)
        << log;
}

// Saving always fails here, so every book asks; the dialog records when it
// is open.

TEST(BatchJobs, OneSaveDialogAtATime)
{
    ScratchFolder dir;
    fs::create_directories(dir / "src");
    for (const char* name : {"a", "b", "c", "d"})
        std::ofstream(dir / "src" / (std::string(name) + ".mordx")) << "x";
    const fs::path record = dir / "dialogs";
    const BatchJob job = [record](const fs::path& source, const fs::path&, const fs::path& out,
                                  const SaveTurns& turns) {
        recording::Recorder recorder;
        recorder.Fail("SaveAs", engine::E_FAIL);
        recorder.Fail("SaveAsReplacing", engine::E_FAIL);
        SavePresentation(
            *recording::MakePresentation(recorder), source, out, [record](const fs::path&, const SaveFailure&) {
                const int fd = ::open(record.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
                [[maybe_unused]] auto written = ::write(fd, "(", 1);
                std::this_thread::sleep_for(100ms);
                written = ::write(fd, ")", 1);
                ::close(fd);
                return std::optional<fs::path>();
            },
            turns);
        return fs::path();
    };
    RunBatch((dir / "src").string(), (dir / "out").string(), job, BatchOptions{4});
    EXPECT_EQ(ReadFileBytes(record), "()()()()");
}

struct KeyCase {
    const char* source;
    const char* key;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.source; }

class OutputNameKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(OutputNameKeyTest, StripsNumberEndings)
{
    EXPECT_EQ(OutputNameKey(GetParam().source), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Names, OutputNameKeyTest,
                         ::testing::Values(KeyCase{"/a/Lesson.mordx", "Lesson"},
                                           KeyCase{"/a/Lesson (2).mordx", "Lesson"},
                                           KeyCase{"/a/Lesson (2) (13).mordx", "Lesson"},
                                           KeyCase{"/a/Lesson(2).mordx", "Lesson(2)"},
                                           KeyCase{"/a/Lesson (x).mordx", "Lesson (x)"},
                                           KeyCase{"/a/ (2).b.mordx", " (2).b"}),
                         [](const auto& info) { return testnames::Name(info.param.source, info.index); });

struct JobsCase {
    std::vector<std::string> arguments;
    unsigned jobs;
    bool resume = false;
};

// The arguments after "--silent", as typed.
std::string AfterSilent(const JobsCase& c)
{
    std::string text;
    for (std::size_t i = 1; i < c.arguments.size(); ++i)
        text += (i > 1 ? " " : "") + c.arguments[i];
    return text;
}

void PrintTo(const JobsCase& c, std::ostream* os) { *os << AfterSilent(c); }

class ParseJobsTest : public ::testing::TestWithParam<JobsCase> {};

TEST_P(ParseJobsTest, ReadsTheOptionsAnywhereAfterSilent)
{
    EXPECT_EQ(ParseJobs(GetParam().arguments), GetParam().jobs);
    EXPECT_EQ(ParseBatchOptions(GetParam().arguments).resume, GetParam().resume);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseJobsTest,
    ::testing::Values(JobsCase{{"--silent", "s", "o", "--jobs", "4"}, 4}, JobsCase{{"--silent", "s", "o"}, 0},
                      JobsCase{{"--silent", "s", "o", "--jobs"}, 0}, JobsCase{{"--silent", "s", "o", "--jobs", "0"}, 0},
                      JobsCase{{"--silent", "s", "o", "--jobs", "-2"}, 0},
                      JobsCase{{"--silent", "s", "o", "--jobs", "3x"}, 0},
                      JobsCase{{"--silent", "s", "o", "-j", "3"}, 0},
                      JobsCase{{"--silent", "s", "o", "--jobs", "100000"}, 128},
                      JobsCase{{"--silent", "s", "o", "--jobs=3"}, 3},
                      JobsCase{{"--silent", "s", "o", "--resume", "--jobs", "2"}, 2, true},
                      JobsCase{{"--silent", "s", "o", "--jobs=5", "--resume"}, 5, true},
                      JobsCase{{"--silent", "s", "o", "--resume"}, 0, true},
                      JobsCase{{"--silent", "--jobs", "2", "s", "o"}, 2},
                      JobsCase{{"--silent", "--resume", "--jobs=6", "s", "o"}, 6, true},
                      JobsCase{{"--silent", "s", "--jobs", "7", "o", "--resume"}, 7, true}),
    [](const auto& info) {
        std::string words = AfterSilent(info.param);
        for (auto at = words.find("--"); at != std::string::npos; at = words.find("--"))
            words.erase(at, 2);
        return testnames::Readable(words);
    });

TEST(BatchProgress, LineInPlaceThenSummaryOnlyWhenEnabled)
{
    std::ostringstream shown, hidden;
    BatchProgress on(shown, true, 2), off(hidden, false, 2);
    for (BatchProgress* p : {&on, &off}) {
        p->BookFinished(false);
        p->BookFinished(true);
        p->Finish("/out/log7.txt");
    }
    EXPECT_EQ(hidden.str(), "");
    EXPECT_EQ(shown.str(), "\r1 of 2 books, 0 failed, 0:00:00\033[K\r2 of 2 books, 1 failed, 0:00:00\033[K"
                           "\rConverted 1 of 2 books, 1 failed, in 0:00:00; log: /out/log7.txt\033[K\n");
}

}  // namespace
