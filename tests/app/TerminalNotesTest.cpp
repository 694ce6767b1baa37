// The lines a person at a terminal reads about a mistaken command line, and
// the program writing them only when standard error is a terminal.
#include "app/TerminalNotes.h"
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace app;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

using Args = std::vector<std::string>;

// Made in the current folder first: a file "book.mordx", a folder "lib", a
// folder "-lib" and a file "-x".
void MakeFolderContent(const ScratchFolder& dir)
{
    dir.Write("book.mordx", "zip");
    dir.Write("-x", "zip");
    fs::create_directory(dir / "lib");
    fs::create_directory(dir / "-lib");
}

struct NoteCase {
    const char* name;
    Args arguments;
    Args notes;
};

void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }

class CommandLineNotesTest : public ::testing::TestWithParam<NoteCase> {};

TEST_P(CommandLineNotesTest, NameEachMistake)
{
    ScratchFolder dir;
    MakeFolderContent(dir);
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const Args notes = CommandLineNotes(GetParam().arguments);
    fs::current_path(previous);
    EXPECT_EQ(notes, GetParam().notes);
}

const std::string kJobs = "--jobs needs a number from 1 to 128";

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineNotesTest,
    ::testing::Values(
        NoteCase{"no_arguments", {}, {}},
        NoteCase{"existing_book", {"book.mordx"}, {}},
        NoteCase{"typo", {"histroy.mordx"}, {"no such file: histroy.mordx"}},
        NoteCase{"newline_in_name_stays_one_line", {"a\nb"}, {"no such file: a\\x0Ab"}},
        NoteCase{"unknown_option", {"--bogus"}, {"unknown option --bogus"}},
        NoteCase{"dash_file_is_a_book", {"-x"}, {}},
        NoteCase{"second_book", {"book.mordx", "b.mordx"}, {"only the first book is converted; for several, use --silent"}},
        NoteCase{"second_book_of_missing_first", {"a.mordx", "b.mordx"}, {"no such file: a.mordx"}},
        NoteCase{"silent_alone", {"--silent"}, {"--silent needs two folders: SOURCE OUTPUT"}},
        NoteCase{"silent_one_folder", {"--silent", "--jobs", "2", "lib"}, {"--silent needs two folders: SOURCE OUTPUT"}},
        NoteCase{"batch", {"--silent", "lib", "out"}, {}},
        NoteCase{"batch_options_first", {"--silent", "--jobs", "2", "--resume", "lib", "out"}, {}},
        NoteCase{"batch_jobs_between", {"--silent", "lib", "--jobs=128", "out"}, {}},
        NoteCase{"batch_dash_folder", {"--silent", "-lib", "out"}, {}},
        NoteCase{"missing_source", {"--silent", "nosuch", "out"}, {"no such folder: nosuch"}},
        NoteCase{"source_is_a_file", {"--silent", "book.mordx", "out"}, {"not a folder: book.mordx"}},
        NoteCase{"output_is_a_file", {"--silent", "lib", "book.mordx"}, {"not a folder: book.mordx"}},
        NoteCase{"jobs_zero", {"--silent", "lib", "out", "--jobs", "0"}, {kJobs + ": 0"}},
        NoteCase{"jobs_word", {"--silent", "--jobs", "x", "lib", "out"}, {kJobs + ": x"}},
        NoteCase{"jobs_without_value", {"--silent", "lib", "out", "--jobs"}, {kJobs}},
        NoteCase{"jobs_empty_value", {"--silent", "lib", "out", "--jobs="}, {kJobs}},
        NoteCase{"jobs_too_many", {"--silent", "lib", "out", "--jobs=129"}, {kJobs + ": 129"}},
        NoteCase{"unknown_batch_option", {"--silent", "--bogus", "lib", "out"}, {"unknown option --bogus"}},
        NoteCase{"third_folder", {"--silent", "lib", "out", "more"}, {"only SOURCE and OUTPUT are used; ignored: more"}},
        NoteCase{"every_mistake_its_line", {"--silent", "-y", "nosuch", "--jobs", "0", "book.mordx"}, {"unknown option -y", kJobs + ": 0", "no such folder: nosuch", "not a folder: book.mordx"}}),
    testnames::ByName());

TEST(WriteCommandLineNotes, OnlyOnATerminalEachOnItsLine)
{
    std::ostringstream terminal, other;
    WriteCommandLineNotes({"no such file: a", "b"}, terminal, true);
    WriteCommandLineNotes({"no such file: a", "b"}, other, false);
    EXPECT_EQ(terminal.str(), "tralvex: no such file: a\ntralvex: b\n");
    EXPECT_EQ(other.str(), "");
}

// Runs the program in folder with standard error on a pseudo-terminal or a
// pipe; what it wrote there.
std::string StandardError(const Args& arguments, const fs::path& folder, bool terminal)
{
    int reader = -1, writer = -1;
    if (terminal) {
        reader = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (reader < 0 || ::grantpt(reader) != 0 || ::unlockpt(reader) != 0)
            throw std::runtime_error("no pseudo-terminal");
        writer = ::open(::ptsname(reader), O_RDWR | O_NOCTTY);
    } else {
        int ends[2];
        if (::pipe(ends) != 0)
            throw std::runtime_error("no pipe");
        reader = ends[0];
        writer = ends[1];
    }
    const std::string program = TRALVEX_BINARY_DIR "/tralvex";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TMPDIR", folder.c_str(), 1);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
            ::unsetenv(name);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(writer, STDERR_FILENO);
        ::close(writer);
        ::close(reader);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(writer);
    // A terminal's reader gets EIO once the program's end is closed.
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(reader);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return text;
}

struct ProgramCase {
    Args arguments;
    std::string line;
};

void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.line; }

class ProgramOnATerminal : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramOnATerminal, SaysWhatHappenedOnlyThere)
{
    ScratchFolder dir;
    MakeFolderContent(dir);
    const std::string onTerminal = StandardError(GetParam().arguments, dir.Path(), true);
    EXPECT_NE(onTerminal.find(GetParam().line + "\r\n"), std::string::npos) << onTerminal;
    const std::string onPipe = StandardError(GetParam().arguments, dir.Path(), false);
    EXPECT_EQ(onPipe.find("tralvex: "), std::string::npos) << onPipe;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgramOnATerminal,
    ::testing::Values(ProgramCase{{"histroy.mordx"}, "tralvex: no such file: histroy.mordx"},
                      ProgramCase{{"--bogus"}, "tralvex: unknown option --bogus"},
                      ProgramCase{{"--silent", "lib", "book.mordx"}, "tralvex: not a folder: book.mordx"}),
    [](const auto& info) { return testnames::Name(info.param.arguments[0], info.index); });

}  // namespace
