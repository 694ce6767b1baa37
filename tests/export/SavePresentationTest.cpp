#include "export/ConversionErrors.h"
#include "export/EngineDescription.h"
#include "export/OutputPath.h"
#include "export/SavePresentation.h"
#include "text/LineEscaping.h"

#include "support/RecordingAutomation.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace exporting;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;
using namespace engine;
using recording::Args;
using recording::Recorder;

namespace {

// The recording presentation, whose saves succeed only inside one folder
// (writing a file there) and fail elsewhere as a read-only folder does.
class FakePresentation {
public:
    explicit FakePresentation(fs::path writable)
    {
        recorder.save = [writable = std::move(writable)](const fs::path& path) {
            if (path.parent_path() != writable) {
                errno = EACCES;
                return false;
            }
            std::ofstream(path) << "pptx";
            return true;
        };
    }
    operator IPresentation&() { return *m_presentation; }

    // The log entry of a save of path: "SaveAs" in the format and without
    // fonts, or "SaveAsReplacing" in the format.
    static std::string SaveAs(const fs::path& path) { return "presentation.SaveAs(" + Args(path.string(), 24, 0) + ")"; }
    static std::string Replacing(const fs::path& path)
    {
        return "presentation.SaveAsReplacing(" + Args(path.string(), 24) + ")";
    }

    Recorder recorder;

private:
    std::unique_ptr<IPresentation> m_presentation = recording::MakePresentation(recorder);
};

class HomeOverride {
public:
    explicit HomeOverride(const fs::path& home)
    {
        if (const char* h = std::getenv("HOME"))
            m_old = h;
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    ~HomeOverride() { ::setenv("HOME", m_old.c_str(), 1); }

private:
    std::string m_old;
};

TEST(SavePresentation, NextToSourceWithUniqueName)
{
    const ScratchFolder s("save");
    std::ofstream(s.Path() / "Lesson.pptx") << "old";
    FakePresentation presentation(s.Path());
    const fs::path saved = SavePresentation(presentation, s.Path() / "Lesson.mordx", {});
    EXPECT_EQ(saved, s.Path() / "Lesson (2).pptx");
    EXPECT_EQ(testsupport::ReadFileBytes(s.Path() / "Lesson.pptx"), "old");
}

TEST(SavePresentation, OutputFolderWins)
{
    const ScratchFolder s("save");
    fs::create_directory(s.Path() / "out");
    FakePresentation presentation(s.Path() / "out");
    EXPECT_EQ(SavePresentation(presentation, s.Path() / "src" / "a.b.mordx", s.Path() / "out"), s.Path() / "out" / "a.b.pptx");
}

TEST(SavePresentation, FailedSaveAsksUntilCancelled)
{
    const ScratchFolder s("save");
    HomeOverride home(s.Path());
    fs::create_directories(s.Path() / "Documents");
    std::ofstream(s.Path() / "Documents" / "Lesson.pptx") << "x";
    FakePresentation presentation(s.Path() / "chosen");
    std::vector<fs::path> proposals;
    std::vector<SaveFailure> failures;
    int asked = 0;
    const SaveDialog dialog = [&](const fs::path& proposed, const SaveFailure& failure) -> std::optional<fs::path> {
        proposals.push_back(proposed);
        failures.push_back(failure);
        if (++asked == 1)
            return s.Path() / "also-readonly" / "x.pptx";  // this save fails too
        return std::nullopt;
    };
    const fs::path source = s.Path() / "ro" / "Lesson.mordx";
    try {
        SavePresentation(presentation, source, {}, dialog);
        ADD_FAILURE() << "not cancelled";
    } catch (const SaveFailedError&) {
        ADD_FAILURE() << "a cancelled dialog is no failure to save";
    } catch (const UserCancelledError&) {
    }
    ASSERT_EQ(proposals.size(), 2u);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].source, source);
    EXPECT_EQ(failures[0].failed, s.Path() / "ro" / "Lesson.pptx");
    EXPECT_EQ(failures[0].reason, "Permission denied");
    EXPECT_EQ(failures[1].failed, s.Path() / "also-readonly" / "x.pptx");
    EXPECT_EQ(failures[1].reason, "Permission denied");
    EXPECT_EQ(proposals[0], s.Path() / "Documents" / "Lesson (2).pptx");
    EXPECT_EQ(proposals[1], s.Path() / "Documents" / "Lesson (2).pptx");
    EXPECT_EQ(presentation.recorder.log,
              (std::vector<std::string>{FakePresentation::SaveAs(s.Path() / "ro" / "Lesson.pptx"),
                                        FakePresentation::Replacing(s.Path() / "also-readonly" / "x.pptx")}));
}

TEST(SavePresentation, DialogChoiceIsSaved)
{
    const ScratchFolder s("save");
    HomeOverride home(s.Path());
    FakePresentation presentation(s.Path() / "chosen");
    fs::create_directory(s.Path() / "chosen");
    const auto saved = SavePresentation(presentation, s.Path() / "ro" / "Lesson.mordx", {},
                                        [&](const fs::path&, const SaveFailure&) { return s.Path() / "chosen" / "mine.pptx"; });
    EXPECT_EQ(saved, s.Path() / "chosen" / "mine.pptx");
    EXPECT_EQ(presentation.recorder.log.back(), FakePresentation::Replacing(saved));
    EXPECT_EQ(presentation.recorder.Count(FakePresentation::Replacing(saved)), 1);
}

TEST(SavePresentation, OnlyAChosenPathReplaces)
{
    const ScratchFolder s("save");
    HomeOverride home(s.Path());
    fs::create_directory(s.Path() / "chosen");
    FakePresentation presentation(s.Path() / "chosen");
    std::ofstream(s.Path() / "chosen" / "Lesson.pptx") << "old";
    fs::path failed;
    const auto saved = SavePresentation(presentation, s.Path() / "chosen" / "Lesson.mordx", s.Path() / "missing",
                                        [&](const fs::path&, const SaveFailure& f) {
                                            failed = f.failed;
                                            return s.Path() / "chosen" / "Lesson.pptx";
                                        });
    EXPECT_EQ(failed, s.Path() / "missing" / "Lesson.pptx");
    EXPECT_EQ(saved, s.Path() / "chosen" / "Lesson.pptx");
    EXPECT_EQ(presentation.recorder.log,
              (std::vector<std::string>{FakePresentation::SaveAs(s.Path() / "missing" / "Lesson.pptx"),
                                        FakePresentation::Replacing(saved)}));
}

// The reason is the save's own, not that of anything looked at afterwards
// (the missing folder); a line break in a name does not make two lines.
TEST(SavePresentation, WithoutDesktopOneLineNamesBookPathAndReason)
{
    const ScratchFolder s("save");
    HomeOverride home(s.Path());
    FakePresentation presentation(s.Path() / "nowhere");
    const fs::path source = s.Path() / "gone" / "Les\nson.mordx", failed = s.Path() / "gone" / "Les\nson.pptx";
    std::ostringstream captured;
    std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
    std::string error;
    try {
        SavePresentation(presentation, source, {});
    } catch (const SaveFailedError& e) {
        error = e.what();
    }
    std::cerr.rdbuf(previous);
    EXPECT_EQ(captured.str(), "The presentation of \"" + lineescaping::Escape(source.string())
                                  + "\" could not be saved as \"" + lineescaping::Escape(failed.string())
                                  + "\": Permission denied\n");
    EXPECT_EQ(error, "the presentation could not be saved as \"" + failed.string() + "\": Permission denied");
}

// Someone else takes the name just before the save, twice.
TEST(SavePresentation, NameTakenMeanwhileTakesTheNextOne)
{
    const ScratchFolder s("save");
    FakePresentation presentation(s.Path());
    presentation.recorder.save = [races = 2](const fs::path& path) mutable {
        std::ofstream(path) << (races-- > 0 ? "theirs" : "pptx");
        return races < 0;
    };
    bool asked = false;
    const auto saved = SavePresentation(presentation, s.Path() / "Lesson.mordx", {}, [&](const fs::path&, const SaveFailure&) {
        asked = true;
        return std::optional<fs::path>();
    });
    EXPECT_EQ(saved, s.Path() / "Lesson (3).pptx");
    EXPECT_FALSE(asked);
}

// A name over the folder's limit (255 bytes here) cannot be saved: the stem
// gives way, never in the middle of a character.
TEST(MakeUniqueOutputPath, LongStemsAreShortenedToFit)
{
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
    auto a = [](std::size_t n) { return std::string(n, 'a'); };
    auto times = [](const std::string& s, int n) {
        std::string out;
        while (n-- > 0)
            out += s;
        return out;
    };
    struct Case {
        std::string stem, first, second;
    };
    const Case cases[] = {
        {"Lesson", "Lesson.pptx", "Lesson (2).pptx"},
        {a(250), a(250) + ".pptx", a(246) + " (2).pptx"},
        {a(251), a(250) + ".pptx", a(246) + " (2).pptx"},
        {a(245) + e, a(245) + e + ".pptx", a(245) + " (2).pptx"},
        {a(248) + euro, a(248) + ".pptx", a(246) + " (2).pptx"},
        {a(244) + smile + "b", a(244) + smile + "b.pptx", a(244) + " (2).pptx"},
        {times(e, 125), times(e, 125) + ".pptx", times(e, 123) + " (2).pptx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem.size());
        const ScratchFolder s("long");
        const fs::path first = MakeUniqueOutputPath(s.Path(), c.stem);
        EXPECT_EQ(first, s.Path() / c.first);
        testsupport::WriteFileBytes(first, "x");
        EXPECT_EQ(MakeUniqueOutputPath(s.Path(), c.stem), s.Path() / c.second);
    }
}

// The bitness comes from the program file itself: the class byte of its ELF
// header (1: 32-bit, 2: 64-bit).
TEST(DescribePowerPoint, NamesVersionBuildAndTheBitnessOfTheProgram)
{
    std::ifstream self("/proc/self/exe", std::ios::binary);
    char header[5] = {};
    ASSERT_TRUE(self.read(header, sizeof header));
    ASSERT_EQ(std::string(header + 1, 3), "ELF");
    const std::string bitness = header[4] == 2 ? "64-bit" : "32-bit";
    Recorder recorder;
    const auto application = recording::MakeApplication(recorder);
    EXPECT_EQ(DescribePowerPoint(*application), "16.0, Build: 4266 " + bitness);
    EXPECT_EQ(EngineSystemType(), bitness);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"application.Version()", "application.Build()"}));
}

}  // namespace
