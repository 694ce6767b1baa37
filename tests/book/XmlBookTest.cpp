#include "book/BookReader.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;

namespace {

std::unique_ptr<xmlbook::Book> Read(const std::string& xml)
{
    const testsupport::ScratchFolder folder("xmlbook");
    return bookparser::ReadBookDocument(folder.Write("book", xml));
}

const xmlbook::CT_TextObject& FirstText(const xmlbook::Book& book)
{
    return dynamic_cast<const xmlbook::CT_TextObject&>(book.page().front().content()->pageObject().front());
}

}  // namespace

TEST(XmlBookTest, EmptyBookTakesDefaults)
{
    const auto book = Read("<book/>");
    EXPECT_TRUE(book->page().empty());
    EXPECT_TRUE(book->textures().empty());
    EXPECT_FALSE(book->title().present());
    EXPECT_EQ(static_cast<float>(book->pageAspectRatio()), 0.7071f);
}

TEST(XmlBookTest, SimpleValues)
{
    const auto book = Read(
        "<book title=\" T \"><page pageType=\"cover\"><background><fillColor color=\"16711680\"/>"
        "<texture id=\"{bcover1}\"/></background><content>"
        "<textObject x=\" 0.5 \" y=\"NaN\" width=\"-INF\" height=\"1\" horizontalAutoSize=\"yes\" verticalAutoSize=\" 1 \">"
        "<htmlText>&lt;p&gt;x&lt;/p&gt;</htmlText></textObject></content></page></book>");
    EXPECT_EQ(book->title().get(), " T ");
    const auto& page = book->page().front();
    EXPECT_EQ(page.pageType(), xmlbook::ST_PageType::cover);
    EXPECT_EQ(page.background().fillColor()->color(), 0xFF0000u);
    EXPECT_EQ(page.background().texture()->id(), "{bcover1}");
    const auto& text = FirstText(*book);
    EXPECT_FLOAT_EQ(text.x(), 0.5f);
    EXPECT_TRUE(std::isnan(static_cast<float>(text.y())));
    EXPECT_TRUE(std::isinf(static_cast<float>(text.width())));
    EXPECT_FALSE(text.horizontalAutoSize().get());
    EXPECT_TRUE(text.verticalAutoSize().get());
    EXPECT_EQ(text.htmlText(), "<p>x</p>");
}

TEST(XmlBookTest, EscapedAndCdataHtmlAreTheSame)
{
    const std::string head = "<book><page pageType=\"none\"><background/><content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"><htmlText>";
    const std::string tail = "</htmlText></textObject></content></page></book>";
    const auto escaped = Read(head + "&lt;p&gt;&lt;font&gt;a &amp;amp; b&lt;/font&gt;&lt;/p&gt;" + tail);
    const auto cdata = Read(head + "<![CDATA[<p><font>a &amp; b</font></p>]]>" + tail);
    EXPECT_EQ(FirstText(*escaped).htmlText(), FirstText(*cdata).htmlText());
    EXPECT_EQ(FirstText(*cdata).htmlText(), "<p><font>a &amp; b</font></p>");
}

TEST(XmlBookTest, TexturesAreReadAndChecked)
{
    const auto book = Read(
        "<book><textures><texture id=\"t\" name=\"n\"><icon src=\"i.png\"/><imageSet><main src=\"m.png\"/></imageSet>"
        "</texture></textures></book>");
    ASSERT_EQ(book->textures().size(), 1u);
    EXPECT_EQ(book->textures().front().texture().front().imageSet().main().src(), "m.png");
    EXPECT_THROW(Read("<book><textures><texture id=\"t\"><imageSet><main src=\"m\"/></imageSet><icon src=\"i\"/></texture></textures></book>"),
                 xml_schema::expected_attribute);
    EXPECT_THROW(Read("<book><textures><texture id=\"t\" name=\"n\"><imageSet/><icon src=\"i\"/></texture></textures></book>"),
                 xml_schema::expected_element);
}

// Pages are taken from the document while it is parsed; the tree must be the
// one the whole document gives: the root's children are read in order until
// one is neither a page nor textures.
struct PageOrderCase {
    std::string name;
    std::string body;
    std::vector<std::string> pageTypes;
};
void PrintTo(const PageOrderCase& c, std::ostream* os)
{
    std::string types;
    for (const std::string& type : c.pageTypes)
        types += (types.empty() ? "" : " ") + type;
    *os << (types.empty() ? "no page" : types);
}

class PageOrderTest : public ::testing::TestWithParam<PageOrderCase> {};

TEST_P(PageOrderTest, PagesAreThoseTheTreeReads)
{
    const auto book = Read("<book pageAspectRatio=\"2\">" + GetParam().body + "</book>");
    std::vector<std::string> types;
    for (const xmlbook::Page& page : book->page())
        types.push_back(page.pageType());
    EXPECT_EQ(types, GetParam().pageTypes);
    EXPECT_EQ(static_cast<float>(book->pageAspectRatio()), 2.0f);
}

const std::string kCover = "<page pageType=\"cover\"><background/></page>";
const std::string kSheet = "<page pageType=\"whiteSheet\"><background/></page>";

INSTANTIATE_TEST_SUITE_P(
    Streamed, PageOrderTest,
    ::testing::Values(
        PageOrderCase{"in_order", kCover + kSheet + kCover, {"cover", "whiteSheet", "cover"}},
        PageOrderCase{"textures_between", kCover + "<textures/>" + kSheet, {"cover", "whiteSheet"}},
        PageOrderCase{"text_comment_pi_between", kCover + " x <!--c--><?pi d?>" + kSheet, {"cover", "whiteSheet"}},
        PageOrderCase{"stops_at_other_element", kCover + "<other/>" + kSheet, {"cover"}},
        PageOrderCase{"stops_at_page_in_a_namespace",
                      kCover + "<n:page xmlns:n=\"urn:n\" pageType=\"cover\"><background/></n:page>" + kSheet,
                      {"cover"}},
        PageOrderCase{"broken_page_after_other_element_is_never_read", "<other/><page/>", {}},
        PageOrderCase{"page_inside_page_content_is_not_a_page",
                      "<page pageType=\"cover\"><background/><content><page pageType=\"none\"><background/></page>"
                      "</content></page>",
                      {"cover"}}),
    [](const auto& info) { return info.param.name; });

TEST(XmlBookTest, StreamedPagesFailAsTheWholeTreeWould)
{
    EXPECT_THROW(Read("<book>" + kCover + "<page><background/></page>" + kSheet + "</book>"), xml_schema::expected_attribute);
    // A document that is not well-formed fails as such, whatever its pages.
    EXPECT_THROW(Read("<book><page><background/></page>" + kSheet + "<page"), xml_schema::parsing);
    EXPECT_THROW(Read("<pages>" + kCover + "</pages>"), xml_schema::unexpected_element);
    const auto malformed = Read("<book><page pageType=\"cover\"><background><fillColor color=\"x\"/></background>"
                                "<content><pictureObject x=\"?\" y=\"0\" width=\"1\" height=\"1\"/></content></page></book>");
    EXPECT_EQ(malformed->page().front().background().fillColor()->color(), 0u);
    EXPECT_TRUE(std::isnan(static_cast<float>(malformed->page().front().content()->pageObject().front().x())));
}

TEST(XmlBookTest, TextSplitByReferencesCommentsAndCdataIsOneString)
{
    const auto book = Read("<book><page pageType=\"cover\"><background/><content><textObject x=\"0\" y=\"0\" width=\"1\" "
                           "height=\"1\"><htmlText>a&lt;b<!--c-->d<![CDATA[<e>]]>&#65;&amp;<?pi x?>z</htmlText>"
                           "</textObject></content></page></book>");
    EXPECT_EQ(FirstText(*book).htmlText(), "a<bd<e>A&z");
}
