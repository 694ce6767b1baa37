#include "text/FormattedTextImpl.h"
#include "text/HtmlParser.h"
#include "text/HtmlWriter.h"

#include "text/ModelDump.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include "support/CaseNames.h"

using namespace htmlparser;

namespace {

TEST(Attributes, AddFoldsNameAndReplacesInPlace)
{
    CAttributes attributes;
    attributes.Add("Color", "#FF0000");
    attributes.Add("size", "1");
    IAttribute* replaced = attributes.Add("COLOR", "#00FF00");
    ASSERT_EQ(attributes.GetCount(), 2u);
    EXPECT_EQ(replaced, attributes.GetItem(0));
    EXPECT_EQ(attributes.GetItem(0)->GetName(), "color");
    EXPECT_EQ(attributes.GetItem(0)->GetValue(), "#00FF00");
    EXPECT_TRUE(attributes.Contains("cOlOr"));
    EXPECT_EQ(attributes.Get("SIZE")->GetValue(), "1");
}

TEST(Attributes, NonAsciiNamesFold)
{
    CAttributes attributes;
    attributes.Add("\xD0\x96\xC3\x89", "v");  // Cyrillic Zhe, Latin E acute
    EXPECT_EQ(attributes.GetItem(0)->GetName(), "\xD0\xB6\xC3\xA9");
    EXPECT_TRUE(attributes.Contains("\xD0\xB6\xC3\x89"));
}

TEST(Attributes, Failures)
{
    CAttributes attributes;
    attributes.Add("face", "x");
    try {
        attributes.Add("", "v");
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "attribute name must be a non-empty string");
    }
    try {
        attributes.Get("size");
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "attribute with the specified name not found");
    }
    EXPECT_THROW(attributes.GetItem(0)->SetName(""), std::invalid_argument);
    EXPECT_THROW(CAttribute("", "v"), std::invalid_argument);
    EXPECT_THROW(attributes.GetItem(1), std::out_of_range);
    attributes.Clear();
    EXPECT_EQ(attributes.GetCount(), 0u);
    EXPECT_FALSE(attributes.Contains("face"));
}

struct LinkCase {
    const char* link;
    const char* url;
    const char* mail;
    const char* event;
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << testnames::Name(c.link); }

class SetLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SetLink, SortsByPrefix)
{
    CFontStyle style;
    style.SetLink("http://old");
    style.SetLink(GetParam().link);
    EXPECT_EQ(style.GetUrl(), GetParam().url);
    EXPECT_EQ(style.GetMailLink(), GetParam().mail);
    EXPECT_EQ(style.GetEventLink(), GetParam().event);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, SetLink, ::testing::Values(LinkCase{"mailto:a@b", "", "mailto:a@b", ""}, LinkCase{"event:go", "", "", "event:go"}, LinkCase{"EVENT:go", "EVENT:go", "", ""}, LinkCase{"mailto", "mailto", "", ""}, LinkCase{"", "", "", ""}, LinkCase{"http://x", "http://x", "", ""}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.link); });

// Copies of a style share its link until one of them changes it.
TEST(FontStyle, CopiesKeepTheirOwnLinks)
{
    CFontStyle original;
    original.SetLink("http://x");
    CFontStyle copy = original;
    copy.SetTarget("_blank");
    copy.SetLink("mailto:a@b");
    EXPECT_EQ(original.GetUrl(), "http://x");
    EXPECT_EQ(original.GetTarget(), "");
    EXPECT_EQ(copy.GetUrl(), "");
    EXPECT_EQ(copy.GetMailLink(), "mailto:a@b");
    EXPECT_EQ(copy.GetTarget(), "_blank");
}

TEST(FontTags, AddCopyCopiesAttributesOnly)
{
    CFontTags tags;
    IFontTag* source = tags.Add();
    source->GetAttributes().Add("face", "Arial");
    source->GetAttributes().Add("size", "12");
    source->GetTextRanges().Add("text");
    IFontTag* copy = tags.AddCopy(*source);
    ASSERT_EQ(tags.GetCount(), 2u);
    EXPECT_EQ(texttest::Attrs(copy->GetAttributes()), "{face=Arial;size=12;}");
    EXPECT_EQ(copy->GetTextRanges().GetCount(), 0u);
}

struct HtmlCase {
    const char* html;
    const char* written;
    const char* plain;
};

void PrintTo(const HtmlCase& c, std::ostream* os) { *os << testnames::MarkupWords(c.html); }

class WriteAndPlain : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(WriteAndPlain, ToHtmlAndPlainText)
{
    auto model = CreateFormattedText();
    CHtmlParser().Parse(GetParam().html, *model);
    EXPECT_EQ(CHtmlWriter().ToHtml(*model), GetParam().written);
    EXPECT_EQ(model->GetPlainText(), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteAndPlain, ::testing::Values(HtmlCase{"", "", ""}, HtmlCase{"<p>a</p>", "<textformat><p><font>a</font></p></textformat>", "a"}, HtmlCase{"<p>x<br>y</p>", "<textformat><p><font>x<br>y</font></p></textformat>", "x\ny"}, HtmlCase{"<li><p>a</p><p>b</p></li>", "<textformat><li><p><font>a</font></p><p><font>b</font></p></li></textformat>", "a\nb"}, HtmlCase{"<li><p></p><p>b</p></li>", "<textformat><li><p></p><p><font>b</font></p></li></textformat>", "b"}, HtmlCase{"<p>a</p><p>b</p>", "<textformat><p><font>a</font></p></textformat><textformat><p><font>b</font></p></textformat>", "a\nb"}, HtmlCase{"<textformat><p>a</p><p>b</p></textformat>", "<textformat><p><font>a</font></p><p><font>b</font></p></textformat>", "ab"}, HtmlCase{"<li Type=\"1\"><font Face=\"F\">a</font></li>", "<textformat><li type=\"1\"><font face=\"F\">a</font></li></textformat>", "a"}, HtmlCase{"<p><a href=\"U\" target=\"T\"><b><i><u>t</u></i></b></a></p>", "<textformat><p><font><a href=\"U\" target=\"T\"><i><b><u>t</u></b></i></a></font></p></textformat>", "t"}, HtmlCase{"<p><a href=\"mailto:m\">t</a></p>", "<textformat><p><font><a href=\"mailto:m\" target=\"\">t</a></font></p></textformat>", "t"}),
                         [](const auto& info) { return testnames::Name(testnames::MarkupWords(info.param.html), info.index); });

TEST(WriterLinks, EventLinkIsWrittenAsHref)
{
    auto model = CreateFormattedText();
    CHtmlParser().Parse("<p><a href=\"event:e\">x</a></p>", *model);
    EXPECT_EQ(CHtmlWriter().ToHtml(*model), "<textformat><p><font><a href=\"event:e\" target=\"\">x</a></font></p></textformat>");
}

TEST(Clone, IsIndependentAndEqual)
{
    auto model = CreateFormattedText();
    CHtmlParser().Parse("<textformat leading=\"2\"><li><p><font color=\"#1\">&amp;<b>x</b><font size=\"3\">y</font></font></p><font>w</font></li><p>z</p></textformat>", *model);
    auto clone = model->Clone();
    EXPECT_EQ(texttest::Dump(*clone), texttest::Dump(*model));
    EXPECT_NE(texttest::Dump(*clone).find("&amp;"), std::string::npos);
    model->GetTextFormats().Clear();
    EXPECT_EQ(clone->GetTextFormats().GetCount(), 1u);
}

TEST(Clone, UnwritableModelGivesCloneError)
{
    // A text holding markup characters cannot be read back.
    CFormattedText model;
    model.GetTextFormats().Add()->GetLists().Add()->GetParagraphs().Add(true)->GetFontTags().Add()->GetTextRanges().Add("<x");
    try {
        model.Clone();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error cloning formatted text");
    }
}

TEST(Parse, ReusedTargetIsReplaced)
{
    auto model = CreateFormattedText();
    CHtmlParser parser;
    parser.Parse("<p>a</p><p>b</p>", *model);
    parser.Parse("<p>c</p>", *model);
    EXPECT_EQ(model->GetPlainText(), "c");
}

}  // namespace

// Short lists are searched in order, long ones through a map filled as the
// list grows: both must find exactly the names attributes were added with.
class AttributeLookup : public ::testing::TestWithParam<int> {};

TEST_P(AttributeLookup, FindsTheNamesAddedWith)
{
    const int count = GetParam();
    CAttributes attributes;
    for (int i = 0; i < count; ++i)
        attributes.Add("A" + std::to_string(i), "v");
    attributes.GetItem(1)->SetName("renamed");  // not re-indexed
    for (int i = 0; i < count; ++i) {
        attributes.Add("a" + std::to_string(i), std::to_string(i));
        attributes.Add("b" + std::to_string(i), "late");  // appended after lookups
    }
    ASSERT_EQ(attributes.GetCount(), std::size_t(2 * count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(attributes.Get("A" + std::to_string(i))->GetValue(), std::to_string(i));
        EXPECT_EQ(attributes.Get("B" + std::to_string(i))->GetValue(), "late");
    }
    EXPECT_EQ(attributes.GetItem(1)->GetName(), "renamed");
    EXPECT_FALSE(attributes.Contains("renamed"));
    EXPECT_FALSE(attributes.Contains("c0"));
}

INSTANTIATE_TEST_SUITE_P(ListLengths, AttributeLookup, ::testing::Values(2, 8, 9, 40),
                         [](const auto& info) { return "added_" + std::to_string(info.param); });
