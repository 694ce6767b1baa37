#include "support/RecordingAutomation.h"
#include "export/SlideBuilder.h"

#include "book/Book.h"
#include "book/Page.h"
#include "export/HtmlValueConversion.h"
#include "imaging/TextureFiles.h"
#include "support/ScratchFolder.h"
#include "text/HtmlParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace exporting;

namespace fs = std::filesystem;
using bookparser::CropRect;
using bookparser::Page;
using bookparser::PictureObject;
using bookparser::Rect;
using recording::Recorder;
using Log = std::vector<std::string>;

namespace {

constexpr int kTexture = 7000;  // a texture the library has
constexpr int kNoTexture = 1;  // a number it has not

struct BackgroundCase {
    const char* name;
    std::optional<std::uint32_t> fill;
    std::optional<int> texture;
    const char* failing;  // call made to fail with E_FAIL, or nullptr
    Log calls;  // "{texture}" stands for the texture file to use
};

void PrintTo(const BackgroundCase& c, std::ostream* os) { *os << c.name; }

class Background : public ::testing::TestWithParam<BackgroundCase> {};

TEST_P(Background, Calls)
{
    const BackgroundCase& c = GetParam();
    const testsupport::ScratchFolder textures("slide");
    Recorder recorder;
    if (c.failing)
        recorder.Fail(c.failing, engine::E_FAIL);
    SlideBuilder(textures.Path()).BuildSlide(Page(c.fill, c.texture, {}), *recording::MakeSlide(recorder));

    std::string texture;
    if (c.texture == kTexture) {
        texture = imaging::GetTextureFile(kTexture, textures.Path()).string();
        if (c.fill)
            texture = imaging::GetTintedTextureFile(texture, BookColorToColorref(*c.fill), textures.Path()).string();
        EXPECT_TRUE(fs::is_regular_file(texture));
    }
    Log expected;
    for (std::string call : c.calls) {
        if (const auto at = call.find("{texture}"); at != std::string::npos)
            call.replace(at, 9, texture);
        expected.push_back(call);
    }
    EXPECT_EQ(recorder.log, expected);
}

const Log Start = {"slide.SetFollowMasterBackground(0)", "slide.BackgroundFill() = background1"};
const Log Solid = {"background1.Solid()", "background1.ForeColor() = color1"};

Log operator+(Log a, const Log& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Background,
    ::testing::Values(
        BackgroundCase{"NothingGivesWhite", {}, {}, nullptr, Start + Solid + Log{"color1.SetRGB(0xFFFFFF)", "slide.Shapes() = shapes1"}},
        BackgroundCase{"FillColourBytesReversed", 0x0000FFu, {}, nullptr, Start + Solid + Log{"color1.SetRGB(0xFF0000)", "slide.Shapes() = shapes1"}},
        BackgroundCase{"TopByteDropped", 0xAA123456u, {}, nullptr, Start + Solid + Log{"color1.SetRGB(0x563412)", "slide.Shapes() = shapes1"}},
        BackgroundCase{"TextureAsPicture", {}, kTexture, nullptr, Start + Log{"background1.UserPicture(\"{texture}\")", "slide.Shapes() = shapes1"}},
        BackgroundCase{"TextureTintedByFillColour", 0x3366CCu, kTexture, nullptr,
                       Start + Log{"background1.UserPicture(\"{texture}\")", "slide.Shapes() = shapes1"}},
        BackgroundCase{"TextureWithoutImageNoFillCall", 0x3366CCu, kNoTexture, nullptr,
                       Start + Log{"slide.Shapes() = shapes1"}},
        BackgroundCase{"FailingTextureFillIgnored", {}, kTexture, "UserPicture", Start + Log{"background1.UserPicture(\"{texture}\") FAILED", "slide.Shapes() = shapes1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildSlide, FailingSolidBackgroundPassesOn)
{
    const testsupport::ScratchFolder textures("slide");
    Recorder recorder;
    recorder.Fail("Solid", engine::E_FAIL);
    EXPECT_THROW(SlideBuilder(textures.Path()).BuildSlide(Page({}, {}, {}), *recording::MakeSlide(recorder)),
                 engine::ComError);
}

TEST(BuildSlide, OtherErrorsOfATextureFillPassOn)
{
    const testsupport::ScratchFolder textures("slide");
    Recorder recorder;
    recorder.Fail("UserPicture", 0);
    EXPECT_THROW(SlideBuilder(textures.Path()).BuildSlide(Page({}, kTexture, {}), *recording::MakeSlide(recorder)),
                 std::runtime_error);
}

struct PictureCase {
    const char* name;
    Rect rect;
    std::optional<CropRect> crop;
    float nativeWidth, nativeHeight;
    Log calls;
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

class PlacePicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PlacePicture, Calls)
{
    const PictureCase& c = GetParam();
    Recorder recorder;
    recorder.nativeWidth = c.nativeWidth;
    recorder.nativeHeight = c.nativeHeight;
    const testsupport::ScratchFolder textures("slide");
    SlideBuilder(textures.Path()).PlacePicture(PictureObject(c.rect, "pic.png", c.crop), *recording::MakeShapes(recorder));
    EXPECT_EQ(recorder.log, c.calls);
}

Log Cropped(const std::string& left, const std::string& right, const std::string& top, const std::string& bottom)
{
    return {"shapes.AddPicture(\"pic.png\", 0, -1, 0, 0, -1, -1) = pictureShape1",
            "pictureShape1.ScaleWidth(1, -1, 0)", "pictureShape1.ScaleHeight(1, -1, 0)",
            "pictureShape1.Width()", "pictureShape1.Height()",
            "pictureShape1.SetWidth(200.5)", "pictureShape1.SetHeight(150)",
            "pictureShape1.SetLeft(10)", "pictureShape1.SetTop(20.25)",
            "pictureShape1.PictureFormat() = picture1",
            "picture1.SetCropLeft(" + left + ")", "picture1.SetCropRight(" + right + ")",
            "picture1.SetCropTop(" + top + ")", "picture1.SetCropBottom(" + bottom + ")"};
}

const Rect kRect{10, 20.25, 200.5, 150};

INSTANTIATE_TEST_SUITE_P(
    Crops, PlacePicture,
    ::testing::Values(
        PictureCase{"NoCropPlacedAtItsRectangle", kRect, {}, 400, 300, {"shapes.AddPicture(\"pic.png\", 0, -1, 10, 20.25, 200.5, 150) = pictureShape1"}},
        PictureCase{"WholeImageCropsNothing", kRect, CropRect{0, 0, 1, 1}, 400, 300, Cropped("0", "0", "0", "0")},
        PictureCase{"QuarterEachSideOf400Points", kRect, CropRect{0.25, 0, 0.5, 1}, 400, 300,
                    Cropped("100", "100", "0", "0")},
        PictureCase{"FractionsOfTheNativeSize", kRect, CropRect{0.1, 0.2, 0.3, 0.4}, 333, 100,
                    Cropped("33.2999992", "199.800003", "20", "40")}),
    [](const auto& info) { return std::string(info.param.name); });

std::unique_ptr<bookparser::BasePageObject> Picture(const char* path)
{
    return std::make_unique<PictureObject>(Rect{1, 2, 3, 4}, path, std::nullopt);
}

std::unique_ptr<bookparser::BasePageObject> Text(const std::string& html)
{
    auto text = htmlparser::CreateFormattedText();
    htmlparser::CHtmlParser().Parse(html, *text);
    return std::make_unique<bookparser::TextObject>(Rect{1, 2, 3, 4}, std::move(text));
}

TEST(BuildSlide, AutomationErrorSkipsOnlyThatObject)
{
    std::vector<std::unique_ptr<bookparser::BasePageObject>> objects;
    objects.push_back(Picture(""));  // a missing file: adding it fails
    objects.push_back(Text("<p><font size=\"0\">a</font></p><p>b</p>"));  // the size is rejected
    objects.push_back(Picture("b.png"));
    objects.push_back(Text("<p>c</p>"));
    const testsupport::ScratchFolder textures("slide");
    Recorder recorder;
    recorder.Fail("AddPicture", engine::E_FILE_NOT_FOUND, 1);
    recorder.Fail("SetSize", engine::E_INVALIDARG);
    SlideBuilder(textures.Path()).BuildSlide(Page({}, {}, std::move(objects)), *recording::MakeSlide(recorder));

    Log placed;
    for (const std::string& call : recorder.log)
        if (call.find(".Add") != std::string::npos || call.find("FAILED") != std::string::npos || call.find(".InsertAfter(\"") != std::string::npos)
            placed.push_back(call);
    EXPECT_EQ(placed, (Log{"shapes1.AddPicture(\"\", 0, -1, 1, 2, 3, 4) FAILED",
                           "shapes1.AddTextbox(1, 1, 2, 3, 4) = textbox1", "range1.InsertAfter(\"a\") = range2",
                           "font1.SetSize(0) FAILED",
                           "shapes1.AddPicture(\"b.png\", 0, -1, 1, 2, 3, 4) = pictureShape1",
                           "shapes1.AddTextbox(1, 1, 2, 3, 4) = textbox2", "range3.InsertAfter(\"c\") = range4",
                           "range3.InsertAfter(\"\\r\\n\") = range5"}));
}

TEST(BuildSlide, OtherErrorsOfAnObjectPassOn)
{
    std::vector<std::unique_ptr<bookparser::BasePageObject>> objects;
    objects.push_back(Picture("a.png"));
    objects.push_back(Picture("b.png"));
    const testsupport::ScratchFolder textures("slide");
    Recorder recorder;
    recorder.Fail("AddPicture", 0, 1);
    EXPECT_THROW(SlideBuilder(textures.Path()).BuildSlide(Page({}, {}, std::move(objects)), *recording::MakeSlide(recorder)),
                 std::runtime_error);
    EXPECT_EQ(recorder.Count("shapes1.AddPicture(\"b.png\", 0, -1, 1, 2, 3, 4) = pictureShape1"), 0);
}

}  // namespace

// Backgrounds made ahead, tints side by side, are the files and calls the
// slides would have made one by one.
TEST(PrepareBackgrounds, GivesWhatEachSlideWouldMake)
{
    const testsupport::ScratchFolder book("book"), ahead("ahead"), onDemand("on-demand");
    std::ofstream xml(book / "book");
    xml << "<book>";
    const char* pages[] = {"<fillColor color=\"255\"/><texture id=\"bpage1\"/>", "<texture id=\"bpage2\"/>",
                           "<fillColor color=\"65280\"/><texture id=\"bpage1\"/>", "<fillColor color=\"255\"/>",
                           "<fillColor color=\"255\"/><texture id=\"bpage1\"/>", "<fillColor color=\"16711680\"/><texture id=\"bpage2\"/>",
                           "<fillColor color=\"1\"/><texture id=\"no such texture\"/>"};
    for (const char* background : pages)
        xml << "<page pageType=\"whiteSheet\"><background>" << background << "</background></page>";
    xml << "</book>";
    xml.close();
    const bookparser::Book parsed(book.Path());

    const auto build = [&](const fs::path& folder, bool prepare) {
        Recorder recorder;
        const SlideBuilder builder(folder);
        if (prepare)
            builder.PrepareBackgrounds(parsed);
        for (std::size_t i = 0; i < parsed.GetPageCount(); ++i)
            builder.BuildSlide(parsed.GetPage(i), *recording::MakeSlide(recorder));
        std::string log;
        for (const std::string& call : recorder.log)
            log += call + "\n";
        for (std::size_t at; (at = log.find(folder.string())) != std::string::npos;)
            log.replace(at, folder.string().size(), "{folder}");
        return log;
    };
    EXPECT_EQ(build(ahead.Path(), true), build(onDemand.Path(), false));
    std::map<std::string, std::string> aheadFiles, onDemandFiles;
    for (auto [folder, files] : {std::pair{&ahead.Path(), &aheadFiles}, std::pair{&onDemand.Path(), &onDemandFiles}})
        for (const auto& entry : fs::directory_iterator(*folder))
            (*files)[entry.path().filename()] = testsupport::ReadFileBytes(entry.path());
    EXPECT_EQ(aheadFiles.size(), 6u);  // bpage1 grey, bpage2 and its grey, three tints
    EXPECT_EQ(aheadFiles, onDemandFiles);
}
