#include "export/engine/Engine.h"
#include "export/engine/package/SavePackage.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <zlib.h>
#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"
#include "support/ZipReader.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

using testsupport::ReadZip;

struct Doc {
    std::string text;
    rapidxml::xml_document<> doc;
    explicit Doc(std::string t) : text(std::move(t)) { doc.parse<0>(text.data()); }
};

// Every element with the given name below n, in document order.
void FindAll(rapidxml::xml_node<>* n, const char* name, std::vector<rapidxml::xml_node<>*>& out)
{
    for (auto* c = n->first_node(); c; c = c->next_sibling()) {
        if (c->type() != rapidxml::node_element)
            continue;
        if (std::strcmp(c->name(), name) == 0)
            out.push_back(c);
        FindAll(c, name, out);
    }
}
std::vector<rapidxml::xml_node<>*> All(Doc& d, const char* name)
{
    std::vector<rapidxml::xml_node<>*> out;
    FindAll(&d.doc, name, out);
    return out;
}
std::string Attr(rapidxml::xml_node<>* n, const char* name)
{
    auto* a = n ? n->first_attribute(name) : nullptr;
    return a ? a->value() : "";
}

fs::path WriteImage(const fs::path& file, unsigned w, unsigned h, unsigned dpm, FREE_IMAGE_FORMAT fif, int seed = 0)
{
    FIBITMAP* b = FreeImage_Allocate(int(w), int(h), 24);
    RGBQUAD c{BYTE(seed), BYTE(seed * 7), 200, 0};
    FreeImage_FillBackground(b, &c);
    FreeImage_SetDotsPerMeterX(b, dpm);
    FreeImage_SetDotsPerMeterY(b, dpm);
    FreeImage_Save(fif, b, file.c_str());
    FreeImage_Unload(b);
    return file;
}

// A picture that compresses to nothing less than its 3 MB of pixels.
fs::path WriteNoisePng(const fs::path& file)
{
    FIBITMAP* b = FreeImage_Allocate(1000, 1000, 24);
    std::uint32_t state = 12345;
    for (unsigned y = 0; y < 1000; ++y) {
        BYTE* line = FreeImage_GetScanLine(b, int(y));
        for (unsigned x = 0; x < 3000; ++x)
            line[x] = BYTE((state = state * 1103515245u + 12345u) >> 24);
    }
    FreeImage_Save(FIF_PNG, b, file.c_str(), PNG_Z_NO_COMPRESSION);
    FreeImage_Unload(b);
    return file;
}

// The project's package checker: schemas and package rules.
fs::path Validator()
{
    return fs::path(TRALVEX_SOURCE_DIR) / "tests" / "support" / "check_pptx.py";
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = StartApplication();
        pres = app->Presentations()->Add(msoFalse);
    }

    // Saves and returns the parts; checked: also runs the project's package
    // checker (schemas, package rules). The part writers' text is tested
    // exactly, so only the tests that write text, pictures, backgrounds and
    // an empty package run it.
    std::map<std::string, std::string> Save(bool checked = false)
    {
        const fs::path file = dir / "out.pptx";
        EXPECT_TRUE(pres->SaveAs(file));
        if (checked) {
            const std::string cmd = "python3 '" + Validator().string() + "' '" + file.string() + "'";
            EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
        return ReadZip(file);
    }

    const testsupport::ScratchFolder scratch{"engine"};
    const fs::path dir = scratch.Path();
    std::unique_ptr<IApplication> app;
    std::unique_ptr<IPresentation> pres;
};

TEST_F(Engine, TextBoxBuiltParagraphByParagraph)
{
    pres->PageSetup()->SetSlideWidth(424);
    pres->PageSetup()->SetSlideHeight(600);
    auto slide = pres->Slides()->Add(1, ppLayoutBlank);
    auto box = slide->Shapes()->AddTextbox(1, 10, 20, 300.5f, 100);
    box->Fill()->SetVisible(msoFalse);
    box->Line()->SetVisible(msoFalse);
    auto frame = box->TextFrame();
    frame->SetMarginLeft(4);
    frame->SetMarginRight(3);
    frame->SetMarginTop(3);
    frame->SetMarginBottom(3);
    auto r = frame->TextRange();
    auto a = r->InsertAfter("one & <two>");
    auto f = a->Font();
    f->SetBold(msoTrue);
    f->SetItalic(msoFalse);
    f->SetUnderlineStyle(msoUnderlineSingleLine);
    f->SetKerning(0);
    f->SetSpacing(0);
    f->SetName("Arial");
    f->SetSize(12.5f);
    f->Fill()->Solid();
    f->Fill()->ForeColor()->SetRGB(0x0080FF);
    r->InsertAfter("\r\n")->ParagraphFormat()->SetAlignment(ppAlignCenter);
    r->InsertAfter("x\x0By");
    r->InsertAfter("\r\n")->ParagraphFormat()->SetAlignment(ppAlignRight);
    const int n = r->Length();
    EXPECT_EQ(n, 11 + 1 + 3 + 1);
    r->Characters(n, -1)->Delete();
    r->ParagraphFormat()->SetSpaceWithin(1.02f);
    frame->SetAutoSize(ppAutoSizeNone);
    EXPECT_EQ(r->Text(), "one & <two>\rx\x0By");

    auto parts = Save(true);
    Doc d(parts.at("ppt/slides/slide1.xml"));
    auto ps = All(d, "a:p");
    ASSERT_EQ(ps.size(), 2u);
    EXPECT_EQ(Attr(ps[0]->first_node("a:pPr"), "algn"), "ctr");
    EXPECT_EQ(Attr(ps[1]->first_node("a:pPr"), "algn"), "r");
    for (auto* p : ps)
        EXPECT_EQ(Attr(p->first_node("a:pPr")->first_node("a:lnSpc")->first_node("a:spcPct"), "val"), "102000");
    auto runs = All(d, "a:r");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_STREQ(runs[0]->first_node("a:t")->value(), "one & <two>");
    auto* rpr = runs[0]->first_node("a:rPr");
    EXPECT_EQ(Attr(rpr, "b"), "1");
    EXPECT_EQ(Attr(rpr, "i"), "0");
    EXPECT_EQ(Attr(rpr, "u"), "sng");
    EXPECT_EQ(Attr(rpr, "kern"), "0");
    EXPECT_EQ(Attr(rpr, "sz"), "1250");
    EXPECT_EQ(Attr(rpr->first_node("a:latin"), "typeface"), "Arial");
    EXPECT_EQ(Attr(rpr->first_node("a:solidFill")->first_node("a:srgbClr"), "val"), "FF8000");
    EXPECT_EQ(Attr(runs[1]->first_node("a:rPr"), "b"), "1");  // taken from the text before it
    EXPECT_EQ(All(d, "a:br").size(), 1u);
    auto* body = All(d, "a:bodyPr").at(0);
    EXPECT_EQ(Attr(body, "wrap"), "square");
    EXPECT_EQ(Attr(body, "lIns"), "50800");
    EXPECT_EQ(Attr(body, "rIns"), "38100");
    EXPECT_NE(body->first_node("a:noAutofit"), nullptr);
    EXPECT_EQ(Attr(All(d, "p:cNvSpPr").at(0), "txBox"), "1");
    auto* ext = All(d, "a:ext").at(1);
    EXPECT_EQ(Attr(ext, "cx"), std::to_string(std::llround(300.5 * 12700)));
    Doc pd(parts.at("ppt/presentation.xml"));
    EXPECT_EQ(Attr(All(pd, "p:sldSz").at(0), "cx"), "5384800");
    EXPECT_EQ(Attr(All(pd, "p:sldSz").at(0), "cy"), "7620000");
}

TEST_F(Engine, InsertedTextAndMarksTakeThePropertiesBeforeThem)
{
    auto r = pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 100, 100)->TextFrame()->TextRange();
    auto first = r->InsertAfter("big");
    first->Font()->SetSize(30);
    first->Font()->SetName("Arial");
    first->ParagraphFormat()->SetAlignment(ppAlignRight);
    r->InsertAfter(" ");  // a run whose tag sets nothing
    r->InsertAfter("\r\n");  // splits the paragraph
    r->InsertAfter("\r\n");  // an empty paragraph
    r->InsertAfter("small")->Font()->SetSize(10);
    EXPECT_EQ(r->Characters(4, 1)->Font()->Size(), 30.0f);
    EXPECT_EQ(r->Characters(5, 1)->Font()->Name(), "Arial");
    auto parts = Save();
    Doc d(parts.at("ppt/slides/slide1.xml"));
    auto ps = All(d, "a:p");
    ASSERT_EQ(ps.size(), 3u);
    std::vector<std::string> ends, aligns;
    for (auto* p : ps) {
        ends.push_back(Attr(p->first_node("a:endParaRPr"), "sz"));
        aligns.push_back(Attr(p->first_node("a:pPr"), "algn"));
    }
    EXPECT_EQ(ends, (std::vector<std::string>{"3000", "3000", "1000"}));
    EXPECT_EQ(aligns, (std::vector<std::string>{"r", "r", "r"}));
    auto runs = All(d, "a:r");
    ASSERT_EQ(runs.size(), 2u);  // "big " is one run
    EXPECT_STREQ(runs[0]->first_node("a:t")->value(), "big ");
}

struct RangeCase {
    const char* text;
    int start, count;
    const char* expected;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << testnames::Name(c.text, "from", c.start, "count", c.count); }

class RangeArithmetic : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RangeArithmetic, CharactersCountUtf16Units)
{
    auto app = StartApplication();
    auto pres = app->Presentations()->Add();
    auto r = pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 100, 100)->TextFrame()->TextRange();
    r->InsertAfter(GetParam().text);
    EXPECT_EQ(r->Characters(GetParam().start, GetParam().count)->Text(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangeArithmetic, ::testing::Values(RangeCase{"abc", 1, 1, "a"}, RangeCase{"abc", 2, -1, "bc"}, RangeCase{"abc", 3, 10, "c"}, RangeCase{"abc", 5, -1, ""}, RangeCase{"a\r\nb", 2, 1, "\r"}, RangeCase{"a\nb\rc", 3, 1, "b"}, RangeCase{"\xF0\x9F\x98\x80x", 3, 1, "x"},  // an astral character is two units
                                                                   RangeCase{"\xC3\xA9t\xC3\xA9", 2, 2, "t\xC3\xA9"}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.text, "from", c.start, "count", c.count); });

TEST_F(Engine, RangeLengthsAndFormattingBounds)
{
    auto r = pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 100, 100)->TextFrame()->TextRange();
    auto a = r->InsertAfter("ab");
    auto b = r->InsertAfter("\r\n");
    EXPECT_EQ(b->Length(), 1);
    auto c = r->InsertAfter("cd");
    c->Font()->SetBold(msoTrue);
    EXPECT_EQ(a->Font()->Bold(), msoTriStateMixed);  // never set
    EXPECT_EQ(c->Font()->Bold(), msoTrue);
    EXPECT_EQ(r->Font()->Bold(), msoTriStateMixed);
    r->Characters(2, 2)->ParagraphFormat()->SetAlignment(ppAlignRight);  // "b" and its mark: one paragraph
    EXPECT_EQ(r->Characters(4, 1)->ParagraphFormat()->Alignment(), 0);
    r->Characters(2, 3)->ParagraphFormat()->SetAlignment(ppAlignJustify);  // touches both paragraphs
    EXPECT_EQ(r->Characters(5, 1)->ParagraphFormat()->Alignment(), ppAlignJustify);
    r->Characters(1, 1)->ParagraphFormat()->SetAlignment(ppAlignLeft);
    EXPECT_EQ(r->ParagraphFormat()->Alignment(), msoTriStateMixed);
    EXPECT_EQ(r->Characters(4, 1)->ParagraphFormat()->Alignment(), ppAlignJustify);
}

TEST_F(Engine, DeletingEveryMarkLeavesAValidBody)
{
    auto slide = pres->Slides()->Add(1, ppLayoutBlank);
    auto r = slide->Shapes()->AddTextbox(1, 0, 0, 100, 100)->TextFrame()->TextRange();
    r->InsertAfter("\r\n\r\n");
    r->Characters(1, -1)->Delete();
    EXPECT_EQ(r->Length(), 0);
    slide->Shapes()->AddTextbox(1, 0, 0, 100, 100);  // never given text
    auto parts = Save();
    Doc d(parts.at("ppt/slides/slide1.xml"));
    EXPECT_EQ(All(d, "a:p").size(), 2u);
}

TEST_F(Engine, ControlCharactersNeverReachTheXml)
{
    auto r = pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 100, 100)->TextFrame()->TextRange();
    r->InsertAfter(std::string("a\x01"
                               "b\x1F"
                               "c\"'",
                               7));
    auto parts = Save();
    Doc d(parts.at("ppt/slides/slide1.xml"));
    EXPECT_STREQ(All(d, "a:t").at(0)->value(), "abc\"'");
}

struct BadCall {
    const char* what;
    std::function<void(IPresentation&)> call;
    HRESULT hr;
};

TEST_F(Engine, RejectedCallsThrowTheirHresult)
{
    const fs::path missing = dir / "missing.png";
    const fs::path text = dir / "not-an-image.png";
    std::ofstream(text) << "hello";
    auto box = [](IPresentation& p) { return p.Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 10, 10); };
    const std::vector<BadCall> cases = {
        {"font size 0", [&](IPresentation& p) { box(p)->TextFrame()->TextRange()->Font()->SetSize(0); }, E_INVALIDARG},
        {"font size 4001", [&](IPresentation& p) { box(p)->TextFrame()->TextRange()->Font()->SetSize(4001); }, E_INVALIDARG},
        {"slide width 71", [](IPresentation& p) { p.PageSetup()->SetSlideWidth(71); }, E_INVALIDARG},
        {"slide height 4033", [](IPresentation& p) { p.PageSetup()->SetSlideHeight(4033); }, E_INVALIDARG},
        {"slide index 3", [](IPresentation& p) { p.Slides()->Add(3, ppLayoutBlank); }, E_INVALIDARG},
        {"missing picture", [&](IPresentation& p) { p.Slides()->Add(1, 12)->Shapes()->AddPicture(missing, 0, -1, 0, 0); }, E_FILE_NOT_FOUND},
        {"empty picture path", [&](IPresentation& p) { p.Slides()->Add(1, 12)->Shapes()->AddPicture("", 0, -1, 0, 0); }, E_FILE_NOT_FOUND},
        {"undecodable picture", [&](IPresentation& p) { p.Slides()->Add(1, 12)->Shapes()->AddPicture(text, 0, -1, 0, 0); }, E_FAIL},
        {"alignment 5", [&](IPresentation& p) { box(p)->TextFrame()->TextRange()->ParagraphFormat()->SetAlignment(5); }, E_INVALIDARG},
        {"character 0", [&](IPresentation& p) { box(p)->TextFrame()->TextRange()->Characters(0, 1); }, E_INVALIDARG},
        {"after close", [](IPresentation& p) { p.Close(); p.Slides(); }, E_POINTER},
    };
    for (const auto& c : cases) {
        auto p = app->Presentations()->Add();
        try {
            c.call(*p);
            ADD_FAILURE() << c.what << " did not throw";
        } catch (const ComError& e) {
            EXPECT_EQ(e.Error(), c.hr) << c.what;
        }
    }
}

TEST_F(Engine, CroppedPictureKeepsItsScale)
{
    // 800 x 400 pixels at 192 dpi: 300 x 150 points.
    const fs::path img = WriteImage(dir / "p.png", 800, 400, 7559, FIF_PNG);
    auto slide = pres->Slides()->Add(1, ppLayoutBlank);
    auto s = slide->Shapes()->AddPicture(img, msoFalse, msoTrue, 0, 0, -1, -1);
    s->ScaleWidth(1.0f, msoTrue, msoScaleFromTopLeft);
    s->ScaleHeight(1.0f, msoTrue, msoScaleFromTopLeft);
    const float w0 = s->Width(), h0 = s->Height();
    EXPECT_FLOAT_EQ(w0, 300);
    EXPECT_FLOAT_EQ(h0, 150);
    s->SetWidth(600);
    s->SetHeight(150);
    s->SetLeft(10);
    s->SetTop(20);
    auto pf = s->PictureFormat();
    pf->SetCropLeft(float(w0 * 0.25));
    pf->SetCropRight(float(w0 * (1 - 0.5 - 0.25)));
    pf->SetCropTop(0);
    pf->SetCropBottom(float(h0 * 0.5));
    EXPECT_FLOAT_EQ(s->Left(), 10 + 0.25f * 600);
    EXPECT_FLOAT_EQ(s->Width(), 300);
    EXPECT_FLOAT_EQ(s->Height(), 75);
    EXPECT_FLOAT_EQ(s->Top(), 20);
    EXPECT_THROW(pf->SetCropRight(300), ComError);  // nothing would stay visible
    EXPECT_THROW(s->TextFrame(), ComError);

    auto parts = Save(true);
    Doc d(parts.at("ppt/slides/slide1.xml"));
    auto* src = All(d, "a:srcRect").at(0);
    EXPECT_EQ(Attr(src, "l"), "25000");
    EXPECT_EQ(Attr(src, "r"), "25000");
    EXPECT_EQ(Attr(src, "b"), "50000");
    EXPECT_NE(All(d, "a:stretch").size(), 0u);
    EXPECT_EQ(Attr(All(d, "a:off").at(1), "x"), std::to_string(std::llround(160 * 12700.0)));
}

// A GIF has no resolution; a PNG without pHYs or a JPEG with density unit 0
// has none either.
fs::path WriteWithoutResolution(const fs::path& dir, const char* kind)
{
    const std::string k = kind;
    const fs::path file = dir / ("nodpi." + k);
    if (k == "bmp")
        return WriteImage(file, 96, 48, 0, FIF_BMP);
    if (k == "png")
        return WriteImage(file, 96, 48, 0, FIF_PNG);
    if (k == "jpg")
        return WriteImage(file, 96, 48, 0, FIF_JPEG);
    FIBITMAP* b = FreeImage_Allocate(96, 48, 8);
    FreeImage_Save(FIF_GIF, b, file.c_str());
    FreeImage_Unload(b);
    return file;
}

class NoResolution : public ::testing::TestWithParam<const char*> {};

TEST_P(NoResolution, IsTakenAt96Dpi)
{
    const testsupport::ScratchFolder dir("engine-dpi");
    auto pres = StartApplication()->Presentations()->Add();
    auto a = pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddPicture(WriteWithoutResolution(dir.Path(), GetParam()), 0, -1, 0, 0);
    EXPECT_FLOAT_EQ(a->Width(), 72);
    EXPECT_FLOAT_EQ(a->Height(), 36);
}

INSTANTIATE_TEST_SUITE_P(Formats, NoResolution, ::testing::Values("bmp", "png", "jpg", "gif"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(Engine, NativeSizeFollowsResolution)
{
    const fs::path dpi72 = WriteImage(dir / "b.jpg", 72, 36, 2835, FIF_JPEG);
    auto shapes = pres->Slides()->Add(1, ppLayoutBlank)->Shapes();
    auto b = shapes->AddPicture(dpi72, 0, -1, 0, 0, 144, -1);
    EXPECT_FLOAT_EQ(b->Height(), 72);
    Save();
}

TEST_F(Engine, BackgroundsAndSharedMedia)
{
    const fs::path t1 = WriteImage(dir / "t1.png", 16, 16, 0, FIF_PNG, 1);
    const fs::path t1copy = dir / "t1copy.png";
    fs::copy_file(t1, t1copy);
    const fs::path unused = WriteImage(dir / "u.png", 8, 8, 0, FIF_PNG, 2);
    auto s1 = pres->Slides()->Add(1, ppLayoutBlank);
    s1->SetFollowMasterBackground(msoFalse);
    s1->BackgroundFill()->UserPicture(t1);
    auto s2 = pres->Slides()->Add(2, ppLayoutBlank);
    s2->SetFollowMasterBackground(msoFalse);
    s2->BackgroundFill()->UserPicture(unused);
    s2->BackgroundFill()->Solid();
    s2->BackgroundFill()->ForeColor()->SetRGB(0x0000FF);
    s2->Shapes()->AddPicture(t1copy, 0, -1, 0, 0);
    auto parts = Save(true);
    int media = 0;
    for (auto& [name, data] : parts)
        media += name.rfind("ppt/media/", 0) == 0;
    EXPECT_EQ(media, 1);
    Doc d1(parts.at("ppt/slides/slide1.xml"));
    EXPECT_EQ(All(d1, "a:blipFill").size(), 1u);
    EXPECT_EQ(All(d1, "a:effectLst").size(), 1u);
    Doc d2(parts.at("ppt/slides/slide2.xml"));
    EXPECT_EQ(Attr(All(d2, "p:bgPr").at(0)->first_node("a:solidFill")->first_node("a:srgbClr"), "val"), "FF0000");
    Doc ct(parts.at("[Content_Types].xml"));
    for (auto* def : All(ct, "Default"))
        EXPECT_NE(Attr(def, "Extension"), "jpeg");
}

int MediaParts(const std::map<std::string, std::string>& parts)
{
    int media = 0;
    for (auto& [name, data] : parts)
        media += name.rfind("ppt/media/", 0) == 0;
    return media;
}

TEST_F(Engine, AFileRewrittenBetweenPlacementsIsReadAgain)
{
    const fs::path file = dir / "p.png";
    auto shapes = pres->Slides()->Add(1, ppLayoutBlank)->Shapes();
    WriteImage(file, 16, 16, 0, FIF_PNG, 1);
    shapes->AddPicture(file, 0, -1, 0, 0);
    WriteImage(file, 32, 16, 0, FIF_PNG, 2);
    EXPECT_FLOAT_EQ(shapes->AddPicture(file, 0, -1, 0, 0)->Width(), 24);
}

TEST_F(Engine, APictureChangedBeforeTheSaveFailsIt)
{
    const fs::path file = WriteImage(dir / "p.png", 16, 16, 0, FIF_PNG, 1);
    pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddPicture(file, 0, -1, 0, 0);
    WriteImage(file, 16, 16, 0, FIF_PNG, 2);  // the bytes it was added with are gone
    EXPECT_FALSE(pres->SaveAs(dir / "out.pptx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// Pictures a slide cannot hold as they are go in as lossless PNG with the
// same pixels and resolution (a WebP states none: 96 dpi).
struct PngCase {
    const char* name;
    FREE_IMAGE_FORMAT format;
    unsigned dotsPerMetre;
    float width;
};
void PrintTo(const PngCase& c, std::ostream* os) { *os << c.name; }
class StoredAsPng : public ::testing::TestWithParam<PngCase> {};

std::vector<std::uint32_t> Pixels32(FIBITMAP* dib)
{
    FIBITMAP* rgba = FreeImage_ConvertTo32Bits(dib);
    std::vector<std::uint32_t> pixels;
    for (unsigned y = 0; y < FreeImage_GetHeight(rgba); ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(FreeImage_GetScanLine(rgba, int(y)));
        pixels.insert(pixels.end(), line, line + FreeImage_GetWidth(rgba));
    }
    FreeImage_Unload(rgba);
    return pixels;
}

TEST_P(StoredAsPng, WithItsPixelsAndResolution)
{
    const testsupport::ScratchFolder scratch("engine-png");
    const fs::path& dir = scratch.Path();
    const fs::path file = WriteImage(dir / "picture", 40, 20, GetParam().dotsPerMetre, GetParam().format, 3);
    {
        auto pres = StartApplication()->Presentations()->Add();
        auto shapes = pres->Slides()->Add(1, ppLayoutBlank)->Shapes();
        EXPECT_FLOAT_EQ(shapes->AddPicture(file, 0, -1, 0, 0)->Width(), GetParam().width);
        shapes->AddPicture(file, 0, -1, 0, 0);
        ASSERT_TRUE(pres->SaveAs(dir / "out.pptx"));
    }
    const auto parts = ReadZip(dir / "out.pptx");
    EXPECT_EQ(MediaParts(parts), 1);
    ASSERT_EQ(parts.count("ppt/media/image1.png"), 1u);
    std::string png = parts.at("ppt/media/image1.png");
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    FIMEMORY* memory = FreeImage_OpenMemory(reinterpret_cast<BYTE*>(png.data()), DWORD(png.size()));
    FIBITMAP* stored = FreeImage_LoadFromMemory(FIF_PNG, memory);
    FIBITMAP* source = FreeImage_Load(GetParam().format, file.c_str());
    ASSERT_TRUE(stored && source);
    EXPECT_EQ(Pixels32(stored), Pixels32(source));
    if (GetParam().dotsPerMetre != 0)
        EXPECT_EQ(FreeImage_GetDotsPerMeterX(stored), GetParam().dotsPerMetre);
    else
        EXPECT_EQ(png.find("pHYs"), std::string::npos);
    FreeImage_Unload(stored);
    FreeImage_Unload(source);
    FreeImage_CloseMemory(memory);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"out.pptx", "picture"}));
}

INSTANTIATE_TEST_SUITE_P(Formats, StoredAsPng, ::testing::Values(PngCase{"Tiff", FIF_TIFF, 2835, 40}, PngCase{"Tiff300Dpi", FIF_TIFF, 11811, 9.6f}, PngCase{"Bmp", FIF_BMP, 11811, 9.6f}, PngCase{"WebP", FIF_WEBP, 0, 30}),
                         testnames::ByName());

// A picture stored as it is is never decoded: the pixel cap does not apply,
// to a JPEG or a PNG of 12000 x 12000 (its header says so).
TEST_F(Engine, PicturesOverThePixelCapAreStoredAsTheyAre)
{
    auto shapes = pres->Slides()->Add(1, ppLayoutBlank)->Shapes();
    for (const auto format : {FIF_JPEG, FIF_PNG}) {
        const bool jpeg = format == FIF_JPEG;
        const fs::path small = WriteImage(dir / (jpeg ? "small.jpg" : "small.png"), 16, 16, 11811, format);
        std::string bytes = testsupport::ReadFileBytes(small);
        const std::size_t size = jpeg ? bytes.find("\xFF\xC0") : bytes.find("IHDR");
        ASSERT_NE(size, std::string::npos);
        if (jpeg) {
            for (const std::size_t at : {size + 5, size + 7})
                bytes.replace(at, 2, "\x2E\xE0");  // 12000
        } else {
            for (const std::size_t at : {size + 4, size + 8})
                bytes.replace(at, 4, std::string("\0\0\x2E\xE0", 4));
            const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + size), 17);
            for (int i = 0; i < 4; ++i)
                bytes[size + 17 + i] = char(crc >> (24 - 8 * i));
        }
        const fs::path big = dir / (jpeg ? "big.jpg" : "big.png");
        std::ofstream(big, std::ios::binary) << bytes;
        auto picture = shapes->AddPicture(big, 0, -1, 0, 0);
        EXPECT_FLOAT_EQ(picture->Width(), 12000 * 72 / 300.0f) << format;
    }
    EXPECT_EQ(MediaParts(Save()), 2);
}

// Pictures the general decoder finds hard are still placed: colour of 16
// bits a sample becomes a PNG of its pixels; a bitmap with a header the
// decoder does not know (as ImageMagick writes them) goes in as it is.
TEST_F(Engine, UncommonBitmapsAreNotLost)
{
    FIBITMAP* deep = FreeImage_AllocateT(FIT_RGB16, 4, 2);
    auto* texel = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(deep, 0));
    texel[1] = {0xFFFF, 0x8000, 0};
    const fs::path tiff = dir / "deep.tif";
    ASSERT_TRUE(FreeImage_Save(FIF_TIFF, deep, tiff.c_str()));
    const std::vector<std::uint32_t> expected = Pixels32(deep);
    FreeImage_Unload(deep);
    // BITMAPV5HEADER, 2 x 1, 24 bits, one red and one blue pixel.
    std::string v5 = std::string("BM") + std::string(8, '\0') + std::string("\x8A\0\0\0\x7C\0\0\0\x02\0\0\0\x01\0\0\0\x01\0\x18\0", 20);
    v5 += std::string(124 - 16, '\0') + std::string("\0\0\xFF\xFF\0\0\0\0", 8);
    v5[2] = char(v5.size());
    const fs::path bmp = dir / "v5.bmp";
    std::ofstream(bmp, std::ios::binary) << v5;

    auto shapes = pres->Slides()->Add(1, ppLayoutBlank)->Shapes();
    shapes->AddPicture(tiff, 0, -1, 0, 0);
    shapes->AddPicture(bmp, 0, -1, 0, 0);
    const auto parts = Save();
    EXPECT_EQ(MediaParts(parts), 2);
    ASSERT_EQ(parts.count("ppt/media/image1.png"), 1u);
    std::string png = parts.at("ppt/media/image1.png");
    FIMEMORY* memory = FreeImage_OpenMemory(reinterpret_cast<BYTE*>(png.data()), DWORD(png.size()));
    FIBITMAP* stored = FreeImage_LoadFromMemory(FIF_PNG, memory);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(Pixels32(stored), expected);
    FreeImage_Unload(stored);
    FreeImage_CloseMemory(memory);
    ASSERT_EQ(parts.count("ppt/media/image2.bmp"), 1u);
    EXPECT_EQ(parts.at("ppt/media/image2.bmp"), v5);
}

TEST_F(Engine, NoSlidesStillSaves)
{
    auto parts = Save(true);
    EXPECT_EQ(parts.count("ppt/slides/slide1.xml"), 0u);
    Doc ct(parts.at("[Content_Types].xml"));
    for (auto* o : All(ct, "Override"))
        EXPECT_EQ(parts.count(Attr(o, "PartName").substr(1)), 1u) << Attr(o, "PartName");
}

TEST_F(Engine, SaveNeverReplacesAndFailsCleanly)
{
    const fs::path existing = dir / "existing.pptx";
    std::ofstream(existing) << "keep";
    EXPECT_FALSE(pres->SaveAs(existing));
    EXPECT_EQ(testsupport::ReadFileBytes(existing), "keep");
    EXPECT_FALSE(pres->SaveAs(dir / "missing" / "x.pptx"));
    EXPECT_FALSE(pres->SaveAs(dir / "x.ppt", 1));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Engine, SaveAsReplacingReplacesAtomically)
{
    const fs::path existing = dir / "existing.pptx";
    std::ofstream(existing) << "keep";
    ASSERT_TRUE(pres->SaveAsReplacing(existing));
    EXPECT_EQ(ReadZip(existing).count("ppt/presentation.xml"), 1u);
    EXPECT_FALSE(pres->SaveAsReplacing(dir / "missing" / "x.pptx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// The caller learns why a save failed from errno, even after the cleanup.
TEST_F(Engine, AFailedSaveLeavesItsReasonInErrno)
{
    std::ofstream(dir / "existing.pptx") << "keep";
    std::ofstream(dir / "plain") << "not a folder";
    const std::pair<fs::path, int> cases[] = {
        {dir / "existing.pptx", EEXIST}, {dir / "missing" / "x.pptx", ENOENT}, {dir / "plain" / "x.pptx", ENOTDIR}};
    for (const auto& [file, expected] : cases) {
        errno = 0;
        EXPECT_FALSE(pres->SaveAs(file));
        EXPECT_EQ(errno, expected) << file;
    }
}

// A save clears its folder of what killed saves left, and of nothing else.
TEST_F(Engine, ASaveRemovesTheLeftoversOfDeadSaves)
{
    const fs::path dead = scratch.Write(".~tralvex-0123456789abcdef", "half a package");
    const fs::path living = scratch.Write(".~tralvex-1111111111111111", "being written");
    const fs::path other = scratch.Write(".~tralvex-notours", "x");
    const testsupport::ScratchFolder elsewhere("engine-other");
    const fs::path away = elsewhere.Write(".~tralvex-0123456789abcdef", "another folder's");
    const int writer = ::open(living.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ASSERT_TRUE(pres->SaveAs(dir / "out.pptx"));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(living));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(away));
    ::close(writer);
    RemoveStaleSaveFiles(dir);
    EXPECT_FALSE(fs::exists(living));
    EXPECT_TRUE(fs::exists(away));
}

TEST_F(Engine, ASaveKilledWhileWritingLeavesOnlyWhatTheCleanupRemoves)
{
    const fs::path big = WriteNoisePng(dir / "big.png");
    pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddPicture(big, 0, -1, 0, 0);
    auto killedWhileSaving = [this] {
        // The write past the limit kills the process, as SIGKILL would.
        signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0}, lim{200000, 200000};
        setrlimit(RLIMIT_CORE, &noCore);
        setrlimit(RLIMIT_FSIZE, &lim);
        pres->SaveAs(dir / "killed.pptx");
        std::exit(0);
    };
    EXPECT_EXIT(killedWhileSaving(), ::testing::KilledBySignal(SIGXFSZ), "");
    auto leftovers = [this] {
        return std::count_if(fs::directory_iterator(dir), fs::directory_iterator(), [](const fs::directory_entry& e) {
            return e.path().filename().string().rfind(".~tralvex-", 0) == 0;
        });
    };
    EXPECT_EQ(leftovers(), 1);
    RemoveStaleSaveFiles(dir);
    EXPECT_EQ(leftovers(), 0);
    EXPECT_FALSE(fs::exists(dir / "killed.pptx"));
    EXPECT_TRUE(fs::exists(big));
}

template <int E>
int Fail(const char*, const char*)
{
    errno = E;
    return -1;
}
int Link(const char* from, const char* to) { return ::link(from, to); }

// Without exclusive renames and links the finished file still lands, and
// still never over a file that exists.
struct PlaceCase {
    const char* name;
    detail::NoReplaceCalls calls;
    bool existing;
    bool tempMissing;
    int expected;
};
void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }
class MoveIntoPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(MoveIntoPlace, NeverReplaces)
{
    const PlaceCase& c = GetParam();
    const testsupport::ScratchFolder scratch("place");
    const fs::path temp = scratch / ".~tralvex-0123456789abcdef", file = scratch / "out.pptx";
    if (!c.tempMissing)
        scratch.Write(temp.filename(), "new");
    if (c.existing)
        scratch.Write(file.filename(), "old");
    EXPECT_EQ(detail::MoveIntoPlace(temp.string(), file.string(), c.calls), c.expected);
    const bool moved = c.expected == 0;
    EXPECT_EQ(testsupport::ReadFileBytes(file), moved ? "new" : c.existing ? "old"
                                                                           : "");
    EXPECT_EQ(fs::exists(file), moved || c.existing);
    EXPECT_EQ(fs::exists(temp), !moved && !c.tempMissing);
}

INSTANTIATE_TEST_SUITE_P(Cases, MoveIntoPlace, ::testing::Values(PlaceCase{"system", detail::SystemNoReplaceCalls(), false, false, 0}, PlaceCase{"system_existing", detail::SystemNoReplaceCalls(), true, false, EEXIST}, PlaceCase{"link_only", {Fail<EINVAL>, Link}, false, false, 0}, PlaceCase{"link_only_existing", {Fail<EINVAL>, Link}, true, false, EEXIST}, PlaceCase{"neither", {Fail<EINVAL>, Fail<EPERM>}, false, false, 0}, PlaceCase{"neither_nosys", {Fail<ENOSYS>, Fail<EOPNOTSUPP>}, false, false, 0}, PlaceCase{"neither_existing", {Fail<EINVAL>, Fail<EPERM>}, true, false, EEXIST}, PlaceCase{"neither_rename_fails", {Fail<EINVAL>, Fail<EPERM>}, false, true, ENOENT}, PlaceCase{"other_error_is_final", {Fail<EACCES>, Link}, false, false, EACCES}, PlaceCase{"link_error_is_final", {Fail<EINVAL>, Fail<ENOSPC>}, false, false, ENOSPC}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Engine, SavedFileModeFollowsTheUmask)
{
    const std::pair<mode_t, fs::perms> cases[] = {{022, fs::perms(0644)}, {077, fs::perms(0600)}, {002, fs::perms(0664)}};
    for (const auto& [mask, expected] : cases) {
        const mode_t old = ::umask(mask);
        const fs::path file = dir / ("mode" + std::to_string(mask) + ".pptx");
        const bool saved = pres->SaveAs(file);
        ::umask(old);
        ASSERT_TRUE(saved);
        EXPECT_EQ(fs::status(file).permissions(), expected) << std::oct << mask;
    }
}

// The save fails for the full disk, says so in errno, and leaves nothing.
TEST_F(Engine, FullDiskLeavesNothing)
{
    const fs::path big = WriteNoisePng(dir / "big.png");
    pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddPicture(big, 0, -1, 0, 0);
    auto saveOnFullDisk = [this] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{200000, 200000};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::exit(pres->SaveAs(dir / "full.pptx") ? 0 : errno);
    };
    EXPECT_EXIT(saveOnFullDisk(), ::testing::ExitedWithCode(EFBIG), "");
    EXPECT_FALSE(fs::exists(dir / "full.pptx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Engine, SameInputGivesIdenticalBytes)
{
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    pres->Slides()->Add(1, ppLayoutBlank)->Shapes()->AddTextbox(1, 0, 0, 10, 10)->TextFrame()->TextRange()->InsertAfter("x");
    ASSERT_TRUE(pres->SaveAs(dir / "a.pptx"));
    ASSERT_TRUE(pres->SaveAs(dir / "b.pptx"));
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "a.pptx"), testsupport::ReadFileBytes(dir / "b.pptx"));
    Doc core(ReadZip(dir / "a.pptx").at("docProps/core.xml"));
    EXPECT_STREQ(All(core, "dcterms:created").at(0)->value(), "2023-11-14T22:13:20Z");
}

TEST(ComErrorTest, SystemMessages)
{
    EXPECT_EQ(SystemMessage(E_FAIL).value(), "Unspecified error");
    EXPECT_EQ(SystemMessage(E_INVALIDARG).value(), "The parameter is incorrect.");
    EXPECT_EQ(SystemMessage(E_POINTER).value(), "Invalid pointer");
    EXPECT_FALSE(SystemMessage(0x12345).has_value());
    EXPECT_EQ(ComError(E_POINTER).Error(), static_cast<HRESULT>(0x80004003u));
}

// The engine reports the version the build gives the project, and its fourth
// number as the build.
TEST(ApplicationTest, VersionIsTheProgramVersion)
{
    auto app = StartApplication();
    const std::string version = TRALVEX_PROJECT_VERSION;
    ASSERT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    EXPECT_EQ(app->Version(), version);
    EXPECT_EQ(app->Build(), version.substr(version.rfind('.') + 1));
}

}  // namespace

namespace {

// Run by its own CTest entry (label "slow"): LibreOffice must render one page
// per slide of a representative presentation.
TEST(LibreOfficeRender, OnePagePerSlide)
{
    if (!std::getenv("TRALVEX_RENDER_TEST"))
        GTEST_SKIP() << "run through the slow CTest entry";
    const testsupport::ScratchFolder scratch("engine-render");
    const fs::path& dir = scratch.Path();
    auto app = StartApplication();
    auto pres = app->Presentations()->Add();
    pres->PageSetup()->SetSlideWidth(424);
    pres->PageSetup()->SetSlideHeight(600);
    const fs::path img = WriteImage(dir / "p.png", 64, 32, 0, FIF_PNG, 3);
    for (int i = 1; i <= 3; ++i) {
        auto slide = pres->Slides()->Add(i, ppLayoutBlank);
        slide->SetFollowMasterBackground(msoFalse);
        if (i == 2)
            slide->BackgroundFill()->UserPicture(img);
        else {
            slide->BackgroundFill()->Solid();
            slide->BackgroundFill()->ForeColor()->SetRGB(0x00FFEE);
        }
        auto pic = slide->Shapes()->AddPicture(img, 0, -1, 0, 0, -1, -1);
        pic->PictureFormat()->SetCropLeft(8);
        auto box = slide->Shapes()->AddTextbox(1, 20, 300, 380, 100);
        box->Fill()->SetVisible(0);
        box->Line()->SetVisible(0);
        auto r = box->TextFrame()->TextRange();
        r->InsertAfter("Slide " + std::to_string(i))->Font()->SetSize(24);
        r->InsertAfter("\r\n");
        r->Characters(r->Length(), -1)->Delete();
        box->TextFrame()->SetAutoSize(0);
    }
    ASSERT_TRUE(pres->SaveAs(dir / "render.pptx"));
    const std::string profile = "file://" + (dir / "profile").string();
    const std::string cmd = "cd '" + dir.string() + "' && timeout 240 soffice -env:UserInstallation=" + profile + " --headless --convert-to pdf --outdir '" + dir.string() + "' render.pptx >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string info = "pdfinfo '" + (dir / "render.pdf").string() + "' | grep '^Pages:' > '" + (dir / "pages.txt").string() + "'";
    ASSERT_EQ(std::system(info.c_str()), 0);
    std::ifstream in(dir / "pages.txt");
    std::string label;
    int pages = 0;
    in >> label >> pages;
    EXPECT_EQ(pages, 3);
}

}  // namespace
