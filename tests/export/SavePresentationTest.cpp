#include "export/ConversionErrors.h"
#include "export/EngineDescription.h"
#include "export/SavePresentation.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace engine;

namespace {

struct Scratch {
    fs::path path;
    Scratch()
    {
        std::string p = (fs::temp_directory_path() / "tralvex-save-XXXXXX").string();
        path = ::mkdtemp(p.data());
    }
    ~Scratch() { fs::remove_all(path); }
};

// Saves succeed only inside one folder; every attempt is recorded.
class FakePresentation : public IPresentation {
public:
    explicit FakePresentation(fs::path writable) : m_writable(std::move(writable)) {}
    std::unique_ptr<IPageSetup> PageSetup() override { return nullptr; }
    std::unique_ptr<ISlides> Slides() override { return nullptr; }
    bool SaveAs(const fs::path& path, int format, int embedFonts) noexcept override
    {
        attempts.push_back(path.string());
        EXPECT_EQ(format, 24);
        EXPECT_EQ(embedFonts, 0);
        if (path.parent_path() != m_writable)
            return false;
        std::ofstream(path) << "pptx";
        return true;
    }
    bool SaveAsReplacing(const fs::path& path, int format) noexcept override
    {
        replacing.push_back(path.string());
        return SaveAs(path, format, 0);
    }
    void SetTitle(const std::string&) override {}
    void Close() override {}

    std::vector<std::string> attempts;
    std::vector<std::string> replacing;

private:
    fs::path m_writable;
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
    Scratch s;
    std::ofstream(s.path / "Lesson.pptx") << "old";
    FakePresentation presentation(s.path);
    const fs::path saved = SavePresentation(presentation, s.path / "Lesson.mordx", {});
    EXPECT_EQ(saved, s.path / "Lesson (2).pptx");
    std::ifstream old(s.path / "Lesson.pptx");
    std::string content;
    old >> content;
    EXPECT_EQ(content, "old");
}

TEST(SavePresentation, OutputFolderWins)
{
    Scratch s;
    fs::create_directory(s.path / "out");
    FakePresentation presentation(s.path / "out");
    EXPECT_EQ(SavePresentation(presentation, s.path / "src" / "a.b.mordx", s.path / "out"), s.path / "out" / "a.b.pptx");
}

TEST(SavePresentation, FailedSaveAsksUntilCancelled)
{
    Scratch s;
    HomeOverride home(s.path);
    fs::create_directories(s.path / "Documents");
    std::ofstream(s.path / "Documents" / "Lesson.pptx") << "x";
    FakePresentation presentation(s.path / "chosen");
    std::vector<fs::path> proposals;
    int asked = 0;
    const SaveDialog dialog = [&](const fs::path& proposed, const fs::path&) -> std::optional<fs::path> {
        proposals.push_back(proposed);
        if (++asked == 1)
            return s.path / "also-readonly" / "x.pptx";  // this save fails too
        return std::nullopt;
    };
    EXPECT_THROW(SavePresentation(presentation, s.path / "ro" / "Lesson.mordx", {}, dialog), UserCancelledError);
    ASSERT_EQ(proposals.size(), 2u);
    EXPECT_EQ(proposals[0], s.path / "Documents" / "Lesson (2).pptx");
    EXPECT_EQ(proposals[1], s.path / "Documents" / "Lesson (2).pptx");
    EXPECT_EQ(presentation.attempts,
              (std::vector<std::string>{(s.path / "ro" / "Lesson.pptx").string(),
                                        (s.path / "also-readonly" / "x.pptx").string()}));
}

TEST(SavePresentation, DialogChoiceIsSaved)
{
    Scratch s;
    HomeOverride home(s.path);
    FakePresentation presentation(s.path / "chosen");
    fs::create_directory(s.path / "chosen");
    const auto saved = SavePresentation(presentation, s.path / "ro" / "Lesson.mordx", {},
                                        [&](const fs::path&, const fs::path&) { return s.path / "chosen" / "mine.pptx"; });
    EXPECT_EQ(saved, s.path / "chosen" / "mine.pptx");
    EXPECT_EQ(presentation.replacing, std::vector<std::string>{saved.string()});
}

TEST(SavePresentation, OnlyAChosenPathReplaces)
{
    Scratch s;
    HomeOverride home(s.path);
    fs::create_directory(s.path / "chosen");
    FakePresentation presentation(s.path / "chosen");
    std::ofstream(s.path / "chosen" / "Lesson.pptx") << "old";
    fs::path failed;
    const auto saved = SavePresentation(presentation, s.path / "chosen" / "Lesson.mordx", s.path / "missing",
                                        [&](const fs::path&, const fs::path& f) {
                                            failed = f;
                                            return s.path / "chosen" / "Lesson.pptx";
                                        });
    EXPECT_EQ(failed, s.path / "missing" / "Lesson.pptx");
    EXPECT_EQ(saved, s.path / "chosen" / "Lesson.pptx");
    EXPECT_EQ(presentation.replacing, std::vector<std::string>{saved.string()});
}

TEST(SavePresentation, WithoutDesktopOneLineNamesTheFolder)
{
    Scratch s;
    HomeOverride home(s.path);
    FakePresentation presentation(s.path / "nowhere");
    std::ostringstream captured;
    std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
    EXPECT_THROW(SavePresentation(presentation, s.path / "gone" / "Lesson.mordx", {}), UserCancelledError);
    std::cerr.rdbuf(previous);
    EXPECT_EQ(captured.str(), "The presentation could not be saved in \"" + (s.path / "gone").string()
                                  + "\": No such file or directory\n");
}

// Someone else takes the name just before the save.
class RacedPresentation : public FakePresentation {
public:
    using FakePresentation::FakePresentation;
    bool SaveAs(const fs::path& path, int format, int embedFonts) noexcept override
    {
        if (races-- > 0) {
            std::ofstream(path) << "theirs";
            attempts.push_back(path.string());
            return false;
        }
        return FakePresentation::SaveAs(path, format, embedFonts);
    }
    int races = 2;
};

TEST(SavePresentation, NameTakenMeanwhileTakesTheNextOne)
{
    Scratch s;
    RacedPresentation presentation(s.path);
    bool asked = false;
    const auto saved = SavePresentation(presentation, s.path / "Lesson.mordx", {}, [&](const fs::path&, const fs::path&) {
        asked = true;
        return std::optional<fs::path>();
    });
    EXPECT_EQ(saved, s.path / "Lesson (3).pptx");
    EXPECT_FALSE(asked);
}

class FakeApplication : public IApplication {
public:
    std::string Version() const override { return "16.0"; }
    std::string Build() const override { return "4266"; }
    std::unique_ptr<IPresentations> Presentations() override { return nullptr; }
};

TEST(DescribePowerPoint, FillsTemplate)
{
    FakeApplication app;
    EXPECT_EQ(DescribePowerPoint(app), "16.0, Build: 4266 " + EngineSystemType());
    EXPECT_EQ(EngineSystemType(), sizeof(void*) == 8 ? "64-bit" : "32-bit");
}

}  // namespace
