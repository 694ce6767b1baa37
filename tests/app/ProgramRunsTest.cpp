// The program itself, run as users run it: many at once, with a closed
// standard output, and interrupted.
#include "support/ScratchFolder.h"
#include "TestBooks.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

struct Launch {
    std::vector<std::string> arguments;
    fs::path tmp;
    int standardOutput = -1;  // /dev/null unless given
    int standardError = -1;  // /dev/null unless given
    bool ownProcessGroup = false;
    rlim_t addressSpace = RLIM_INFINITY;
};

pid_t Start(const Launch& launch)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (launch.ownProcessGroup)
        ::setpgid(0, 0);
    ::setenv("TMPDIR", launch.tmp.c_str(), 1);
    ::setenv("SOURCE_DATE_EPOCH", "1600000000", 1);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
        ::unsetenv(name);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(launch.standardOutput >= 0 ? launch.standardOutput : null, STDOUT_FILENO);
    ::dup2(launch.standardError >= 0 ? launch.standardError : null, STDERR_FILENO);
    const rlimit limit{launch.addressSpace, launch.addressSpace};
    ::setrlimit(RLIMIT_AS, &limit);
    const std::string program = TRALVEX_BINARY_DIR "/tralvex";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : launch.arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

int Wait(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

fs::path WorkingFolderBase(const fs::path& tmp)
{
    return tmp / ("Veltrana-" + std::to_string(::geteuid()));
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasUnfinishedSave(const fs::path& folder)
{
    for (const auto& name : Names(folder))
        if (name.rfind(".~tralvex-", 0) == 0)
            return true;
    return false;
}

bool Unpacking(const fs::path& base)
{
    std::error_code ec;
    for (const auto& name : Names(base))
        if (!fs::is_empty(base / name, ec))
            return true;
    return false;
}

std::string Numbered(int n, const char* extension)
{
    return std::string("b").append(std::to_string(n)).append(extension);
}

TEST(ProgramRuns, SimultaneousRunsKeepTheirBooksApart)
{
    ScratchFolder dir;
    fs::create_directories(dir / "books");
    WriteTestBook(dir / "books" / "same.mordx", 3);
    std::vector<pid_t> runs;
    for (int pages = 1; pages <= 12; ++pages)
        WriteTestBook(dir / "books" / Numbered(pages, ".mordx"), pages);
    for (int pages = 1; pages <= 12; ++pages)
        runs.push_back(Start({{(dir / "books" / Numbered(pages, ".mordx")).string()}, dir / "tmp"}));
    for (int i = 0; i < 6; ++i)
        runs.push_back(Start({{(dir / "books" / "same.mordx").string()}, dir / "tmp"}));
    for (pid_t pid : runs)
        EXPECT_EQ(Wait(pid), 0);

    for (int pages = 1; pages <= 12; ++pages)
        EXPECT_EQ(SlideCount(dir / "books" / Numbered(pages, ".pptx")), pages) << pages;
    for (const std::string name : {"same.pptx", "same (2).pptx", "same (3).pptx", "same (4).pptx", "same (5).pptx",
                                   "same (6).pptx"})
        EXPECT_EQ(SlideCount(dir / "books" / name), 3) << name;
    EXPECT_EQ(Names(dir / "books").size(), 13u + 12u + 6u);
    EXPECT_TRUE(Names(WorkingFolderBase(dir / "tmp")).empty());
}

TEST(ProgramRuns, ClosedStandardOutputIsNotFatal)
{
    ScratchFolder dir;
    WriteTestBook(dir / "book.mordx", 2);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    const pid_t pid = Start({{(dir / "book.mordx").string()}, dir / "tmp", pipeFds[1]});
    ::close(pipeFds[1]);
    const int status = Wait(pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(SlideCount(dir / "book.pptx"), 2);
}

struct InterruptCase {
    const char* name;
    int signal;
    const char* point;  // "unpacking", "saving", or a delay in milliseconds
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class Interrupted : public ::testing::TestWithParam<InterruptCase> {};

// Waits until the point is reached; false if the run ended first.
bool ReachPoint(pid_t pid, const std::string& point, const fs::path& base, const fs::path& output)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    if (point != "unpacking" && point != "saving") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(point)));
        return true;
    }
    while (std::chrono::steady_clock::now() < deadline) {
        if (point == "unpacking" ? Unpacking(base) : HasUnfinishedSave(output))
            return true;
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return false;
        std::this_thread::yield();
    }
    return false;
}

TEST_P(Interrupted, SingleFileLeavesNothingBehind)
{
    const InterruptCase& c = GetParam();
    ScratchFolder dir;
    fs::create_directories(dir / "books");
    WriteTestBook(dir / "books" / "big.mordx", 4, 1600, true);
    const pid_t pid = Start({{(dir / "books" / "big.mordx").string()}, dir / "tmp"});
    ASSERT_TRUE(ReachPoint(pid, c.point, WorkingFolderBase(dir / "tmp"), dir / "books")) << "point not reached";
    ::kill(pid, c.signal);
    const int status = Wait(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    EXPECT_TRUE(Names(WorkingFolderBase(dir / "tmp")).empty());
    const auto left = Names(dir / "books");
    // Either no presentation, or a whole one.
    if (left.size() == 2) {
        EXPECT_EQ(SlideCount(dir / "books" / "big.pptx"), 4);
    } else {
        EXPECT_EQ(left, std::vector<std::string>{"big.mordx"});
    }
}

// A batch of books of two pages each, "book<i>.mordx" in src, two at a time
// into out, in a process group of its own.
Launch LibraryBatch(const ScratchFolder& dir, int books)
{
    fs::create_directories(dir / "src");
    for (int i = 0; i < books; ++i)
        WriteTestBook(dir / "src" / ("book" + std::to_string(i) + ".mordx"), 2, 1500);
    Launch launch{{"--silent", (dir / "src").string(), (dir / "out").string(), "--jobs", "2"}, dir / "tmp"};
    launch.ownProcessGroup = true;
    return launch;
}

// What a batch wrote into the folder besides its logs and records.
std::vector<std::string> Presentations(const fs::path& folder)
{
    std::vector<std::string> names = Names(folder);
    std::erase_if(names, [](const std::string& name) {
        return name.rfind("log", 0) == 0 || name.rfind("converted", 0) == 0;
    });
    return names;
}

TEST_P(Interrupted, BatchLeavesNothingBehind)
{
    const InterruptCase& c = GetParam();
    ScratchFolder dir;
    // Enough books that the run is still going at every point, also on a fast machine.
    Launch launch = LibraryBatch(dir, 12);
    const pid_t pid = Start(launch);
    ASSERT_TRUE(ReachPoint(pid, c.point, WorkingFolderBase(dir / "tmp"), dir / "out")) << "point not reached";
    ::kill(pid, c.signal);
    const int status = Wait(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    EXPECT_EQ(::kill(-pid, 0), -1) << "a conversion process outlived the run";
    EXPECT_TRUE(Names(WorkingFolderBase(dir / "tmp")).empty());
    for (const auto& name : Presentations(dir / "out"))
        EXPECT_EQ(SlideCount(dir / "out" / name), 2) << name;
}

// kill -9 of the batch (or the OOM killer) cannot clean up; its children die
// with it, and a run with --resume finishes the library: one presentation
// per book, no "(2)" copy, no working file left.
class Killed : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(Killed, BatchThenResumedConvertsEveryBookOnce)
{
    const InterruptCase& c = GetParam();
    // Children whose parent dies come to this test, which can then tell
    // whether they are still running.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ScratchFolder dir;
    Launch launch = LibraryBatch(dir, 8);
    const pid_t pid = Start(launch);
    ASSERT_TRUE(ReachPoint(pid, c.point, WorkingFolderBase(dir / "tmp"), dir / "out")) << "point not reached";
    ::kill(pid, c.signal);
    Wait(pid);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::kill(-pid, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(::kill(-pid, 0), -1) << "a conversion process outlived its killed parent";

    launch.arguments.push_back("--resume");
    EXPECT_EQ(Wait(Start(launch)), 0);
    const std::vector<std::string> presentations = Presentations(dir / "out");
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i)
        expected.push_back("book" + std::to_string(i) + ".pptx");
    EXPECT_EQ(presentations, expected);
    for (const auto& name : expected)
        EXPECT_EQ(SlideCount(dir / "out" / name), 2) << name;
    EXPECT_TRUE(Names(WorkingFolderBase(dir / "tmp")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Points, Interrupted,
    ::testing::Values(InterruptCase{"SIGINT_while_unpacking", SIGINT, "unpacking"},
                      InterruptCase{"SIGTERM_while_saving", SIGTERM, "saving"},
                      InterruptCase{"SIGHUP_while_saving", SIGHUP, "saving"},
                      InterruptCase{"SIGTERM_at_start", SIGTERM, "0"},
                      InterruptCase{"SIGINT_after_150ms", SIGINT, "150"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Points, Killed,
    ::testing::Values(InterruptCase{"while_saving", SIGKILL, "saving"}, InterruptCase{"at_start", SIGKILL, "0"},
                      InterruptCase{"after_150ms", SIGKILL, "150"}),
    [](const auto& info) { return std::string(info.param.name); });

// The interruption cleanup needs a thread; a tight memory limit must not
// stop the program before it starts. What does not fit fails the book.
TEST(ProgramRuns, TightAddressSpaceLimitIsNoCrash)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    ScratchFolder dir;
    fs::create_directories(dir / "src");
    WriteTestBook(dir / "src" / "book.mordx", 1);
    Launch launch{{"--silent", (dir / "src").string(), (dir / "out").string()}, dir / "tmp"};
    launch.addressSpace = 192 << 20;  // the program with its built-in textures needs about 150 MB to start
    const int status = Wait(Start(launch));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string log;
    for (const auto& name : Names(dir / "out"))
        if (name.rfind("log", 0) == 0)
            log = testsupport::ReadFileBytes(dir / "out" / name);
    EXPECT_TRUE(SlideCount(dir / "out" / "book.pptx") == 1 || log.find("out of memory") != std::string::npos) << log;
}

}  // namespace
