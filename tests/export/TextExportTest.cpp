#include "support/RecordingAutomation.h"
#include "export/TextExport.h"

#include "text/HtmlParser.h"

#include <gtest/gtest.h>

using namespace exporting;

using recording::Recorder;
using Log = std::vector<std::string>;

namespace {

std::unique_ptr<htmlparser::IFormattedText> Parse(const std::string& html)
{
    auto text = htmlparser::CreateFormattedText();
    htmlparser::CHtmlParser().Parse(html, *text);
    return text;
}

// The calls between taking the text range and measuring it: what the
// paragraphs wrote.
Log ParagraphCalls(const std::string& html)
{
    Recorder recorder;
    ExportFormattedText(0, 0, 100, 100, *Parse(html), *recording::MakeShapes(recorder));
    Log calls = recorder.From("range1.InsertAfter");
    calls.erase(std::find(calls.begin(), calls.end(), "range1.Length()"), calls.end());
    return calls;
}

TEST(ExportTextObject, ExactCallSequence)
{
    Recorder recorder;
    ExportFormattedText(10, 20, 300.5f, 100,
                        *Parse("<p align=\"center\"><font face=\"Arial\" size=\"12.5\" color=\"#ff8000\">"
                               "<b>ab</b></font></p><p>c</p>"),
                        *recording::MakeShapes(recorder));
    const Log expected = {
        "shapes.AddTextbox(1, 10, 20, 300.5, 100) = textbox1",
        "textbox1.Fill() = fill1",
        "fill1.SetVisible(0)",
        "textbox1.Line() = line1",
        "line1.SetVisible(0)",
        "textbox1.TextFrame() = frame1",
        "frame1.SetMarginLeft(4)",
        "frame1.SetMarginRight(3)",
        "frame1.SetMarginTop(3)",
        "frame1.SetMarginBottom(3)",
        "frame1.TextRange() = range1",
        "range1.InsertAfter(\"ab\") = range2",
        "range2.Font() = font1",
        "font1.SetBold(-1)",
        "font1.SetItalic(0)",
        "font1.SetUnderlineStyle(0)",
        "font1.SetKerning(0)",
        "font1.SetSpacing(0)",
        "font1.SetName(\"Arial\")",
        "font1.SetSize(12.5)",
        "font1.Fill() = fill2",
        "fill2.Solid()",
        "fill2.ForeColor() = color1",
        "color1.SetRGB(0x0080FF)",
        "range1.InsertAfter(\"\\r\\n\") = range3",
        "range3.ParagraphFormat() = paragraph1",
        "paragraph1.SetAlignment(2)",
        "range1.InsertAfter(\"c\") = range4",
        "range4.Font() = font2",
        "font2.SetBold(0)",
        "font2.SetItalic(0)",
        "font2.SetUnderlineStyle(0)",
        "font2.SetKerning(0)",
        "font2.SetSpacing(0)",
        "range1.InsertAfter(\"\\r\\n\") = range5",
        // "ab", mark, "c", mark: the last mark is character 5.
        "range1.Length()",
        "range1.Characters(5, -1) = range6",
        "range6.Delete()",
        "range1.ParagraphFormat() = paragraph2",
        "paragraph2.SetSpaceWithin(1.01999998)",
        "frame1.SetAutoSize(0)",
    };
    EXPECT_EQ(recorder.log, expected);
}

struct ParagraphCase {
    const char* name;
    const char* html;
    Log calls;
};

void PrintTo(const ParagraphCase& c, std::ostream* os) { *os << c.name; }

// The font calls of a run without a font tag.
Log Run(const std::string& text, int range, int font, const char* bold = "0", const char* italic = "0",
        const char* underline = "0")
{
    const std::string r = "range" + std::to_string(range), f = "font" + std::to_string(font);
    return {"range1.InsertAfter(\"" + text + "\") = " + r, r + ".Font() = " + f, f + ".SetBold(" + bold + ")",
            f + ".SetItalic(" + italic + ")", f + ".SetUnderlineStyle(" + underline + ")", f + ".SetKerning(0)",
            f + ".SetSpacing(0)"};
}

Log operator+(Log a, const Log& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string Mark = "range1.InsertAfter(\"\\r\\n\") = ";

class ExportParagraphCalls : public ::testing::TestWithParam<ParagraphCase> {};

TEST_P(ExportParagraphCalls, AsWritten)
{
    EXPECT_EQ(ParagraphCalls(GetParam().html), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportParagraphCalls,
    ::testing::Values(
        ParagraphCase{"PlainRunNoAlignmentCall", "<p>x</p>", Run("x", 2, 1) + Log{Mark + "range3"}},
        ParagraphCase{"StylesAlwaysSet", "<p><b><i><u>x</u></i></b></p>",
                      Run("x", 2, 1, "-1", "-1", "2") + Log{Mark + "range3"}},
        ParagraphCase{"AlignCaseFolded", "<p align=\"CENTER\">x</p>",
                      Run("x", 2, 1) + Log{Mark + "range3", "range3.ParagraphFormat() = paragraph1", "paragraph1.SetAlignment(2)"}},
        ParagraphCase{"UnknownAlignIsLeft", "<p align=\"middle\">x</p>",
                      Run("x", 2, 1) + Log{Mark + "range3", "range3.ParagraphFormat() = paragraph1", "paragraph1.SetAlignment(1)"}},
        ParagraphCase{"EmptyParagraphKeepsAlignment", "<p align=\"justify\"></p>",
                      Log{Mark + "range2", "range2.ParagraphFormat() = paragraph1", "paragraph1.SetAlignment(4)"}},
        ParagraphCase{"FaceOnlyNameAfterSpacing", "<p><font FACE=\" Times \">x</font></p>",
                      Run("x", 2, 1) + Log{"font1.SetName(\" Times \")", Mark + "range3"}},
        ParagraphCase{"SizeWithUnitReadsNumber", "<p><font size=\"12px\">x</font></p>",
                      Run("x", 2, 1) + Log{"font1.SetSize(12)", Mark + "range3"}},
        ParagraphCase{"SizeWithoutNumberIsZero", "<p><font size=\"abc\">x</font></p>",
                      Run("x", 2, 1) + Log{"font1.SetSize(0)", Mark + "range3"}},
        ParagraphCase{"ColourNameIsBlack", "<p><font color=\"red\">x</font></p>",
                      Run("x", 2, 1) + Log{"font1.Fill() = fill2", "fill2.Solid()", "fill2.ForeColor() = color1", "color1.SetRGB(0x000000)", Mark + "range3"}},
        ParagraphCase{"FontTagAppliesToEveryRun", "<p><font face=\"A\">x<b>y</b></font></p>",
                      Run("x", 2, 1) + Log{"font1.SetName(\"A\")"} + Run("y", 3, 2, "-1") + Log{"font2.SetName(\"A\")", Mark + "range4"}},
        ParagraphCase{"EntitiesDecodedOnce", "<p>a &amp;lt; b &#65;</p>",
                      Run("a &lt; b &#65;", 2, 1) + Log{Mark + "range3"}},
        ParagraphCase{"LineBreakStaysInParagraph", "<p>a<br>b</p>", Run("a\\vb", 2, 1) + Log{Mark + "range3"}},
        ParagraphCase{"LinkIsPlainText", "<p><a href=\"http://x\">t</a></p>", Run("t", 2, 1) + Log{Mark + "range3"}},
        ParagraphCase{"ListItemIsParagraph", "<li><font>x</font></li>", Run("x", 2, 1) + Log{Mark + "range3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportTextObject, TwoParagraphsLoseOnlyTheLastBreak)
{
    Recorder recorder;
    ExportFormattedText(0, 0, 1, 1, *Parse("<p>one</p><p>two</p>"), *recording::MakeShapes(recorder));
    // "one", mark, "two", mark: 8 characters, the mark after "two" goes.
    EXPECT_EQ(recorder.Count("range1.Characters(8, -1) = range6"), 1);
    EXPECT_EQ(recorder.Count("range6.Delete()"), 1);
}

TEST(ExportTextObject, RejectedValueEndsTheTextBoxAtThatRun)
{
    Recorder recorder;
    recorder.Fail("SetSize", engine::E_INVALIDARG);
    EXPECT_THROW(ExportFormattedText(0, 0, 1, 1, *Parse("<p><font size=\"0\">a</font>b</p>"),
                                     *recording::MakeShapes(recorder)),
                 engine::ComError);
    EXPECT_EQ(recorder.log.back(), "font1.SetSize(0) FAILED");
}

}  // namespace
