// Exact text of the package parts, from model data in.
#include "export/engine/package/ContentTypes.h"
#include "export/engine/package/Relationships.h"
#include "export/engine/parts/PartWriters.h"

#include <gtest/gtest.h>

#include <functional>
#include <pwd.h>
#include <unistd.h>

using namespace engine;
using namespace engine::detail;

namespace {

constexpr std::string_view kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kRoot = "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                          "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const std::string kTreeStart =
    "<p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
    "<a:ext cx=\"0\" cy=\"0\"/><a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"0\" cy=\"0\"/></a:xfrm></p:grpSpPr>";

// The nine text style levels of the master's styles and the presentation's
// default text style.
std::string Levels()
{
    std::string levels;
    for (int level = 1; level <= 9; ++level) {
        const std::string tag = "a:lvl" + std::to_string(level) + "pPr";
        levels += "<" + tag + " marL=\"" + std::to_string(457200 * (level - 1)) + "\" algn=\"l\" defTabSz=\"914400\" rtl=\"0\" eaLnBrk=\"1\" latinLnBrk=\"0\" hangingPunct=\"1\">"
                                                                                  "<a:defRPr sz=\"1800\" kern=\"1200\"><a:solidFill><a:schemeClr val=\"tx1\"/></a:solidFill>"
                                                                                  "<a:latin typeface=\"+mn-lt\"/><a:ea typeface=\"+mn-ea\"/><a:cs typeface=\"+mn-cs\"/></a:defRPr></"
                  + tag + ">";
    }
    return levels;
}

std::string Times(int n, const std::string& text)
{
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

const std::string kPlaceholderFill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";

std::string Body(const std::string& part)
{
    EXPECT_EQ(part.substr(0, kDecl.size()), kDecl);
    return part.substr(kDecl.size());
}

struct PartCase {
    const char* name;
    std::function<std::string()> write;
    std::string expected;  // without the declaration
};

void PrintTo(const PartCase& c, std::ostream* os) { *os << c.name; }

class PartText : public ::testing::TestWithParam<PartCase> {};

TEST_P(PartText, IsExactly) { EXPECT_EQ(Body(GetParam().write()), GetParam().expected); }

std::string CaseName(const ::testing::TestParamInfo<PartCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Parts, PartText, ::testing::Values(PartCase{"Relationships", [] {
                                                                         Relationships r;
                                                                         EXPECT_EQ(r.Add(rel::kSlideLayout, "../slideLayouts/slideLayout1.xml"), "rId1");
                                                                         EXPECT_EQ(r.Add(rel::kImage, "../media/a&b.png"), "rId2");
                                                                         return r.Write();
                                                                     },
                                                                     "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                                                     "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideLayout\" Target=\"../slideLayouts/slideLayout1.xml\"/>"
                                                                     "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" Target=\"../media/a&amp;b.png\"/>"
                                                                     "</Relationships>"},
                                                            PartCase{"ContentTypesDefaultsSortedOverridesInOrder", [] {
                                                                         ContentTypes t;
                                                                         t.AddDefault("xml", "application/xml");
                                                                         t.AddDefault("png", "image/png");
                                                                         t.AddOverride("/b.xml", "type/b");
                                                                         t.AddOverride("/a.xml", "type/a");
                                                                         return t.Write();
                                                                     },
                                                                     "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                                                                     "<Default Extension=\"png\" ContentType=\"image/png\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                                                                     "<Override PartName=\"/b.xml\" ContentType=\"type/b\"/><Override PartName=\"/a.xml\" ContentType=\"type/a\"/></Types>"},
                                                            PartCase{"CorePropertiesWithTitle", [] { return WriteCoreProperties({"Tom & \"Jerry\"\x01", "2023-11-14T22:13:20Z", "Ann <Example>"}); }, "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                                                                                                                                                                                                      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                                                                                                                                                                                                      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:title>Tom &amp; \"Jerry\"</dc:title>"
                                                                                                                                                                                                      "<dc:creator>Ann &lt;Example&gt;</dc:creator><dcterms:created xsi:type=\"dcterms:W3CDTF\">2023-11-14T22:13:20Z</dcterms:created>"
                                                                                                                                                                                                      "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">2023-11-14T22:13:20Z</dcterms:modified></cp:coreProperties>"},
                                                            PartCase{"CorePropertiesWithoutTitle", [] { return WriteCoreProperties({"", "2000-01-01T00:00:00Z", ""}); }, "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                                                                                                                                                                         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                                                                                                                                                                         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                                                                                                                                                                         "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2000-01-01T00:00:00Z</dcterms:created>"
                                                                                                                                                                         "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">2000-01-01T00:00:00Z</dcterms:modified></cp:coreProperties>"},
                                                            PartCase{"AppProperties", [] { return WriteAppProperties(3); }, "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
                                                                                                                            "<Application>Tralvex</Application><Slides>3</Slides></Properties>"},
                                                            PartCase{"PresentationWithSlides", [] { return WritePresentation({424, 600, "rId1", {"rId2", "rId3"}}); }, "<p:presentation " + kRoot + " saveSubsetFonts=\"1\"><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/>"
                                                                                                                                                                                                    "</p:sldMasterIdLst><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/><p:sldId id=\"257\" r:id=\"rId3\"/></p:sldIdLst>"
                                                                                                                                                                                                    "<p:sldSz cx=\"5384800\" cy=\"7620000\"/><p:notesSz cx=\"6858000\" cy=\"9144000\"/>"
                                                                                                                                                                                                    "<p:defaultTextStyle>"
                                                                                                                                                                           + Levels() + "</p:defaultTextStyle></p:presentation>"},
                                                            PartCase{"PresentationProperties", [] { return WritePresProps(); }, "<p:presentationPr " + kRoot + "/>"}, PartCase{"ViewProperties", [] { return WriteViewProps(); }, "<p:viewPr " + kRoot + "/>"}, PartCase{"TableStyles", [] { return WriteTableStyles(); }, "<a:tblStyleLst xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                                                                                                                                                                                                                                                                                                           "def=\"{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}\"/>"},
                                                            PartCase{"Theme", [] { return WriteTheme(); }, "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Office Theme\"><a:themeElements>"
                                                                                                           "<a:clrScheme name=\"Office\"><a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
                                                                                                           "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1><a:dk2><a:srgbClr val=\"44546A\"/></a:dk2>"
                                                                                                           "<a:lt2><a:srgbClr val=\"E7E6E6\"/></a:lt2><a:accent1><a:srgbClr val=\"4472C4\"/></a:accent1>"
                                                                                                           "<a:accent2><a:srgbClr val=\"ED7D31\"/></a:accent2><a:accent3><a:srgbClr val=\"A5A5A5\"/></a:accent3>"
                                                                                                           "<a:accent4><a:srgbClr val=\"FFC000\"/></a:accent4><a:accent5><a:srgbClr val=\"5B9BD5\"/></a:accent5>"
                                                                                                           "<a:accent6><a:srgbClr val=\"70AD47\"/></a:accent6><a:hlink><a:srgbClr val=\"0563C1\"/></a:hlink>"
                                                                                                           "<a:folHlink><a:srgbClr val=\"954F72\"/></a:folHlink></a:clrScheme>"
                                                                                                           "<a:fontScheme name=\"Office\"><a:majorFont><a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>"
                                                                                                           "</a:majorFont><a:minorFont><a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:minorFont>"
                                                                                                           "</a:fontScheme><a:fmtScheme name=\"Office\"><a:fillStyleLst>"
                                                                                                               + Times(3, kPlaceholderFill) + "</a:fillStyleLst>"
                                                                                                                                              "<a:lnStyleLst><a:ln w=\"6350\">"
                                                                                                               + kPlaceholderFill + "</a:ln><a:ln w=\"12700\">" + kPlaceholderFill + "</a:ln><a:ln w=\"19050\">" + kPlaceholderFill + "</a:ln></a:lnStyleLst>"
                                                                                                                                                                                                                                      "<a:effectStyleLst>"
                                                                                                               + Times(3, "<a:effectStyle><a:effectLst/></a:effectStyle>") + "</a:effectStyleLst>"
                                                                                                                                                                             "<a:bgFillStyleLst>"
                                                                                                               + Times(3, kPlaceholderFill) + "</a:bgFillStyleLst></a:fmtScheme></a:themeElements></a:theme>"},
                                                            PartCase{"MasterWithItsLayout", [] { return WriteMaster("rId7"); }, "<p:sldMaster " + kRoot + "><p:cSld><p:bg><p:bgPr><a:solidFill><a:srgbClr val=\"FFFFFF\"/></a:solidFill>"
                                                                                                                                                          "<a:effectLst/></p:bgPr></p:bg><p:spTree>"
                                                                                                                                    + kTreeStart + "</p:spTree></p:cSld>"
                                                                                                                                                   "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" accent2=\"accent2\" "
                                                                                                                                                   "accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" accent6=\"accent6\" hlink=\"hlink\" folHlink=\"folHlink\"/>"
                                                                                                                                                   "<p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" r:id=\"rId7\"/></p:sldLayoutIdLst><p:txStyles>"
                                                                                                                                                   "<p:titleStyle>"
                                                                                                                                    + Levels() + "</p:titleStyle><p:bodyStyle>" + Levels() + "</p:bodyStyle>"
                                                                                                                                                                                             "<p:otherStyle>"
                                                                                                                                    + Levels() + "</p:otherStyle></p:txStyles></p:sldMaster>"},
                                                            PartCase{"BlankLayout", [] { return WriteLayout(); }, "<p:sldLayout " + kRoot + " type=\"blank\" preserve=\"1\"><p:cSld name=\"Blank\"><p:spTree>" + kTreeStart + "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>"}, PartCase{"SlideFollowingTheMaster", [] {
                                                                                                                                                                                                                                                                                                                                  return WriteSlide(Slide{}, {});
                                                                                                                                                                                                                                                                                                                              },
                                                                                                                                                                                                                                                                                                                              "<p:sld " + kRoot + "><p:cSld><p:spTree>" + kTreeStart + "</p:spTree></p:cSld>"
                                                                                                                                                                                                                                                                                                                                                                                       "<p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>"},
                                                            PartCase{"SlideWithColourAndAnEmptyTextBox", [] {
                                                                         Slide slide;
                                                                         slide.followMaster = false;
                                                                         slide.background.kind = Fill::Kind::Solid;
                                                                         slide.background.color = 0x0000FF;  // COLORREF red
                                                                         auto box = std::make_shared<Shape>();
                                                                         box->id = 2;
                                                                         box->frame = {1, 2, 3, 4};
                                                                         box->fill.visible = false;
                                                                         box->lineVisible = false;
                                                                         box->content = TextBox{};
                                                                         slide.shapes.push_back(box);
                                                                         return WriteSlide(slide, {});
                                                                     },
                                                                     "<p:sld " + kRoot + "><p:cSld><p:bg><p:bgPr><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill><a:effectLst/>"
                                                                                         "</p:bgPr></p:bg><p:spTree>"
                                                                         + kTreeStart + "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"TextBox 1\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr>"
                                                                                        "<p:spPr><a:xfrm><a:off x=\"12700\" y=\"25400\"/><a:ext cx=\"38100\" cy=\"50800\"/></a:xfrm>"
                                                                                        "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom><a:noFill/><a:ln><a:noFill/></a:ln></p:spPr>"
                                                                                        "<p:txBody><a:bodyPr wrap=\"square\" lIns=\"91440\" tIns=\"45720\" rIns=\"91440\" bIns=\"45720\" rtlCol=\"0\">"
                                                                                        "<a:spAutoFit/></a:bodyPr><a:lstStyle/><a:p><a:endParaRPr lang=\"en-US\" dirty=\"0\"/></a:p></p:txBody></p:sp>"
                                                                                        "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>"}),
                         CaseName);

// Text bodies: runs, line breaks, paragraph properties and the end marks.
struct TextCase {
    const char* name;
    std::function<void(TextBody&)> build;
    std::string paragraphs;  // the a:p elements
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextBodyText : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextBodyText, IsExactly)
{
    TextBox box;
    box.autoSize = AutoSize::None;
    box.insets = {4, 3, 3, 3};
    GetParam().build(box.text);
    std::string out;
    XmlWriter x(out);
    WriteTextBody(x, box);
    EXPECT_EQ(Body(out), "<p:txBody><a:bodyPr wrap=\"square\" lIns=\"50800\" tIns=\"38100\" rIns=\"38100\" bIns=\"38100\" "
                         "rtlCol=\"0\"><a:noAutofit/></a:bodyPr><a:lstStyle/>"
                             + GetParam().paragraphs + "</p:txBody>");
}

INSTANTIATE_TEST_SUITE_P(Bodies, TextBodyText, ::testing::Values(TextCase{"RunsSplitWhereTheirPropertiesDiffer", [](TextBody& t) {
                                                                              t.Insert(0, u"ab<c");
                                                                              t.ApplyRuns(1, 2, [](RunProps& p) { p.bold = true; p.size = 12.5f; p.color = 0x112233; p.name = "Arial"; });
                                                                          },
                                                                          "<a:p><a:r><a:rPr lang=\"en-US\" dirty=\"0\"/><a:t>a</a:t></a:r>"
                                                                          "<a:r><a:rPr lang=\"en-US\" sz=\"1250\" b=\"1\" dirty=\"0\"><a:solidFill><a:srgbClr val=\"332211\"/></a:solidFill>"
                                                                          "<a:latin typeface=\"Arial\"/></a:rPr><a:t>b&lt;</a:t></a:r>"
                                                                          "<a:r><a:rPr lang=\"en-US\" dirty=\"0\"/><a:t>c</a:t></a:r><a:endParaRPr lang=\"en-US\" dirty=\"0\"/></a:p>"},
                                                                 TextCase{"LineBreakAndParagraphProperties", [](TextBody& t) {
                                                                              t.Insert(0, u"x\u000By\r");
                                                                              t.ApplyRuns(0, 4, [](RunProps& p) { p.italic = false; p.underline = Underline::Single; p.kerning = 0; p.spacing = 1.5f; });
                                                                              t.Paragraph(0).alignment = Alignment::Justify;
                                                                              t.Paragraph(1).spaceWithin = 1.02f;
                                                                          },
                                                                          "<a:p><a:pPr algn=\"just\"/><a:r><a:rPr lang=\"en-US\" i=\"0\" u=\"sng\" kern=\"0\" spc=\"150\" dirty=\"0\"/><a:t>x</a:t></a:r>"
                                                                          "<a:br><a:rPr lang=\"en-US\" i=\"0\" u=\"sng\" kern=\"0\" spc=\"150\" dirty=\"0\"/></a:br>"
                                                                          "<a:r><a:rPr lang=\"en-US\" i=\"0\" u=\"sng\" kern=\"0\" spc=\"150\" dirty=\"0\"/><a:t>y</a:t></a:r>"
                                                                          "<a:endParaRPr lang=\"en-US\" i=\"0\" u=\"sng\" kern=\"0\" spc=\"150\" dirty=\"0\"/></a:p>"
                                                                          "<a:p><a:pPr><a:lnSpc><a:spcPct val=\"102000\"/></a:lnSpc></a:pPr>"
                                                                          "<a:endParaRPr lang=\"en-US\" i=\"0\" u=\"sng\" kern=\"0\" spc=\"150\" dirty=\"0\"/></a:p>"},
                                                                 TextCase{"ForbiddenCharactersDroppedLoneSurrogateReplaced", [](TextBody& t) {
                                                                              t.Insert(0, std::u16string(u"a\u0001b") + char16_t(0xD800) + u"\uFFFE");
                                                                          },
                                                                          "<a:p><a:r><a:rPr lang=\"en-US\" dirty=\"0\"/><a:t>ab\xEF\xBF\xBD\xEF\xBF\xBD</a:t></a:r>"
                                                                          "<a:endParaRPr lang=\"en-US\" dirty=\"0\"/></a:p>"}),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// The author is the person who converted, as the password database names
// them, not the program (which the application property names).
TEST(CoreProperties, AuthorIsTheUsersFullNameElseTheLoginName)
{
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const std::string gecos = user->pw_gecos ? user->pw_gecos : "";
    const std::string fullName = gecos.substr(0, gecos.find(','));
    EXPECT_EQ(DocumentAuthor(), fullName.empty() ? std::string(user->pw_name) : fullName);
    EXPECT_NE(WriteAppProperties(1).find("<Application>Tralvex</Application>"), std::string::npos);
}

// Runs: appending and formatting touch only the runs at the range's ends.
TEST(TextRuns, FormattingARangeSplitsAtMostTwoRuns)
{
    TextBody t;
    t.Insert(0, u"abcdef");
    ASSERT_EQ(t.Runs().size(), 1u);
    t.ApplyRuns(2, 2, [](RunProps& p) { p.bold = true; });
    ASSERT_EQ(t.Runs().size(), 3u);
    EXPECT_EQ(t.Runs()[1].start, 2u);
    EXPECT_EQ(t.Runs()[1].length, 2u);
    t.ApplyRuns(2, 2, [](RunProps& p) { p.bold.reset(); });  // equal again: joined
    EXPECT_EQ(t.Runs().size(), 1u);
    t.Insert(6, u"g\rh");
    t.ApplyRuns(0, 9, [](RunProps& p) { p.size = 9; });
    EXPECT_EQ(t.Runs().size(), 1u);
    EXPECT_EQ(t.Paragraphs().size(), 2u);
    EXPECT_EQ(t.ParagraphOf(7), 0u);  // the mark belongs to the paragraph it ends
    EXPECT_EQ(t.ParagraphOf(8), 1u);
    t.Erase(5, 3);  // "f", "g" and the mark
    EXPECT_EQ(t.Paragraphs().size(), 1u);
    EXPECT_EQ(t.Chars(), u"abcdeh");
}

#ifndef NDEBUG
TEST(XmlWriterDeathTest, EndTagMustMatchItsStartTag)
{
    EXPECT_DEATH({
        std::string out;
        XmlWriter x(out);
        x.Start("a").Start("b").End("a");
    },
                 "end tag");
}
#endif

}  // namespace
