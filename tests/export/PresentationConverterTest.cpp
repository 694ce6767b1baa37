#include "export/RecordingAutomation.h"
#include "export/PresentationConverter.h"

#include "book/Book.h"
#include "export/ConversionErrors.h"
#include "export/EngineDescription.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;
using recording::Recorder;
using Log = std::vector<std::string>;

namespace {

// Writes an unpacked book of the given pages into the working folder; its folder.
fs::path WriteBook(const testsupport::ScratchFolder& folder, const std::string& pages)
{
    folder.Write("book-files/book", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><book pageAspectRatio=\"0.7071\" "
                                    "title=\"Lesson &amp; more\">" + pages + "</book>");
    return folder / "book-files";
}

const std::string kRedPage =
    "<page pageType=\"whiteSheet\"><background><fillColor color=\"16711680\"/></background><content/></page>";

// Converts with the recording application; the failure configured first.
struct Conversion {
    explicit Conversion(const std::string& pages = kRedPage) : book(WriteBook(scratch, pages)) {}
    fs::path Run()
    {
        PresentationConverter converter(scratch.Path(), scratch.Path() / "out",
                                        [this] { return recording::MakeApplication(recorder); });
        return converter.Convert(book, scratch.Path() / "lesson.mordx");
    }
    testsupport::ScratchFolder scratch{"convert"};
    bookparser::Book book;
    Recorder recorder;
};

TEST(Convert, CallsInOrder)
{
    Conversion c;
    EXPECT_EQ(c.Run(), c.scratch.Path() / "out" / "lesson.pptx");
    const std::string saved = (c.scratch.Path() / "out" / "lesson.pptx").string();
    EXPECT_EQ(c.recorder.log,
              (Log{"application.Version()", "application.Build()",
                   "application.Presentations() = presentations1", "presentations1.Add(0) = presentation1",
                   "presentation1.SetTitle(\"Lesson & more\")", "presentation1.PageSetup() = pageSetup1", "pageSetup1.SetSlideWidth(424)",
                   "pageSetup1.SetSlideHeight(600)", "presentation1.Slides() = slides1",
                   "slides1.Add(1, 12) = slide1", "slide1.SetFollowMasterBackground(0)",
                   "slide1.BackgroundFill() = background1", "background1.Solid()",
                   "background1.ForeColor() = color1", "color1.SetRGB(0x0000FF)", "slide1.Shapes() = shapes1",
                   "presentation1.SaveAs(\"" + saved + "\", 24, 0)", "presentation1.Close()"}));
}

TEST(Convert, BookWithoutPagesStillSaved)
{
    Conversion c("");
    c.Run();
    EXPECT_EQ(c.recorder.From("presentation1.Slides()"),
              (Log{"presentation1.Slides() = slides1",
                   "presentation1.SaveAs(\"" + (c.scratch.Path() / "out" / "lesson.pptx").string() + "\", 24, 0)",
                   "presentation1.Close()"}));
}

TEST(Convert, SlidesAddedInPageOrder)
{
    Conversion c(kRedPage + kRedPage + kRedPage);
    c.Run();
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(c.recorder.Count("slides1.Add(" + std::to_string(i) + ", 12) = slide" + std::to_string(i)), 1);
}

enum class Outcome { Saved, Corrupted, CorruptedUndescribed, Cancelled };

struct FailureCase {
    const char* name;
    const char* failing;  // fails with E_FAIL; "!" prefix: a non-COM error
    Outcome outcome;
    int closes;  // times the presentation is closed
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ConvertFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConvertFailure, Outcome)
{
    const FailureCase& p = GetParam();
    Conversion c;
    const std::string failing = p.failing;
    if (failing[0] == '!')
        c.recorder.Fail(failing.substr(1), 0);
    else
        c.recorder.Fail(failing, engine::E_FAIL);
    const std::string description = "16.0, Build: 4266 " + EngineSystemType();
    try {
        c.Run();
        EXPECT_EQ(p.outcome, Outcome::Saved);
    } catch (const FileCorruptedError& e) {
        EXPECT_TRUE(p.outcome == Outcome::Corrupted || p.outcome == Outcome::CorruptedUndescribed);
        EXPECT_EQ(e.GetPowerPointDescription(), p.outcome == Outcome::Corrupted ? description : "");
    } catch (const UserCancelledError&) {
        EXPECT_EQ(p.outcome, Outcome::Cancelled);
    }
    EXPECT_EQ(c.recorder.Count("presentation1.Close()") + c.recorder.Count("presentation1.Close() FAILED"),
              p.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConvertFailure,
    ::testing::Values(
        FailureCase{"VersionUnreadableNoDescription", "Version", Outcome::CorruptedUndescribed, 0},
        FailureCase{"BuildUnreadableNoDescription", "Build", Outcome::CorruptedUndescribed, 0},
        FailureCase{"NoPresentationsCollection", "Presentations", Outcome::Corrupted, 0},
        FailureCase{"PresentationNotCreated", "presentations1.Add", Outcome::Corrupted, 0},
        FailureCase{"SlideWidthRejected", "SetSlideWidth", Outcome::Corrupted, 1},
        FailureCase{"SlideHeightRejected", "SetSlideHeight", Outcome::Corrupted, 1},
        FailureCase{"SlideNotAdded", "slides1.Add", Outcome::Corrupted, 1},
        FailureCase{"SolidBackgroundFails", "Solid", Outcome::Corrupted, 1},
        FailureCase{"NonAutomationErrorInASlide", "!SetFollowMasterBackground", Outcome::Corrupted, 1},
        FailureCase{"SaveFailsAndNobodyToAsk", "SaveAs", Outcome::Cancelled, 1},
        FailureCase{"FailingCloseIsNotAFailure", "Close", Outcome::Saved, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Convert, EngineThatCannotStartIsNotInstalled)
{
    Conversion c;
    PresentationConverter throwing(c.scratch.Path(), {}, []() -> std::unique_ptr<engine::IApplication> {
        throw engine::ComError(engine::E_FAIL);
    });
    EXPECT_THROW(throwing.Convert(c.book, c.scratch.Path() / "lesson.mordx"), PptNotInstalledError);
    PresentationConverter absent(c.scratch.Path(), {}, [] { return std::unique_ptr<engine::IApplication>(); });
    EXPECT_THROW(absent.Convert(c.book, c.scratch.Path() / "lesson.mordx"), PptNotInstalledError);
}

}  // namespace
