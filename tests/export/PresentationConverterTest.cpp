#include "support/RecordingAutomation.h"
#include "export/PresentationConverter.h"

#include "book/Book.h"
#include "export/ConversionErrors.h"
#include "export/EngineDescription.h"
#include "imaging/TextureFiles.h"
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

using namespace exporting;

namespace fs = std::filesystem;
using recording::Recorder;
using Log = std::vector<std::string>;

namespace {

// Writes an unpacked book of the given pages into the working folder; its folder.
fs::path WriteBook(const testsupport::ScratchFolder& folder, const std::string& pages)
{
    folder.Write("book-files/book", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><book pageAspectRatio=\"0.7071\" "
                                    "title=\"Lesson &amp; more\">"
                                        + pages + "</book>");
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

enum class Outcome { Saved,
                     Corrupted,
                     CorruptedUndescribed,
                     Cancelled };

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

// A failed build says why: what the engine reported, or what ran out. A
// full disk fails the book wherever a background is written, also in the
// tints made side by side, instead of leaving a slide untextured or grey.
enum class Disk { Free,
                  Full,
                  FullOnceGreyWritten };

struct ReasonCase {
    const char* name;
    std::string pages;
    const char* failing;  // as in ConvertFailure; nullptr for none
    Disk disk;
    const char* reason;
};

void PrintTo(const ReasonCase& c, std::ostream* os) { *os << c.name; }

class ConvertFailureReason : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(ConvertFailureReason, Reason)
{
    const ReasonCase& p = GetParam();
    Conversion c(p.pages);
    if (p.failing && p.failing[0] == '!')
        c.recorder.Fail(p.failing + 1, 0);
    else if (p.failing)
        c.recorder.Fail(p.failing, engine::E_FAIL);
    const auto convert = [&] {
        if (p.disk == Disk::FullOnceGreyWritten) {
            fs::create_directories(c.scratch / "res_textures");
            for (std::size_t i = 0; i < c.book.GetPageCount(); ++i)
                imaging::GetTextureFile(*c.book.GetPage(i).GetTexture(), c.scratch / "res_textures");
        }
        if (p.disk != Disk::Free) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        try {
            c.Run();
        } catch (const FileCorruptedError& e) {
            std::fputs(e.what(), stderr);
            std::_Exit(e.GetPowerPointDescription().empty() ? 2 : 0);
        }
        std::_Exit(1);
    };
    EXPECT_EXIT(convert(), ::testing::ExitedWithCode(0), p.reason);
}

std::string TexturedPages(const std::vector<const char*>& colours)
{
    std::string pages;
    for (const char* colour : colours) {
        pages += "<page pageType=\"whiteSheet\"><background>";
        if (*colour)
            pages += "<fillColor color=\"" + std::string(colour) + "\"/>";
        pages += "<texture id=\"bcover1\"/></background><content/></page>";
    }
    return pages;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ConvertFailureReason,
    ::testing::Values(
        ReasonCase{"automation_error", kRedPage, "slides1.Add", Disk::Free,
                   "the presentation could not be built: recorded failure of Add"},
        ReasonCase{"other_error", kRedPage, "!SetFollowMasterBackground", Disk::Free,
                   "the presentation could not be built: recorded failure of SetFollowMasterBackground"},
        ReasonCase{"texture_on_a_full_disk", TexturedPages({""}), nullptr, Disk::Full,
                   "the file size limit was reached while writing a background texture"},
        ReasonCase{"tints_side_by_side_on_a_full_disk", TexturedPages({"255", "65280", "16711680", "1"}), nullptr,
                   Disk::FullOnceGreyWritten,
                   "the file size limit was reached while writing a background texture"}),
    testnames::ByName());

}  // namespace
