#include "book/BookReader.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;

namespace {

std::unique_ptr<xmlbook::Book> Read(const std::string& xml) {
    const testsupport::ScratchFolder folder("xmlbook");
    return bookparser::ReadBookDocument(folder.Write("book", xml));
}

const xmlbook::CT_TextObject& FirstText(const xmlbook::Book& book) {
    return dynamic_cast<const xmlbook::CT_TextObject&>(book.page().front().content()->pageObject().front());
}

}  // namespace

TEST(XmlBookTest, EmptyBookTakesDefaults) {
    const auto book = Read("<book/>");
    EXPECT_TRUE(book->page().empty());
    EXPECT_TRUE(book->textures().empty());
    EXPECT_FALSE(book->title().present());
    EXPECT_EQ(static_cast<float>(book->pageAspectRatio()), 0.7071f);
}

TEST(XmlBookTest, SimpleValues) {
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

TEST(XmlBookTest, EscapedAndCdataHtmlAreTheSame) {
    const std::string head = "<book><page pageType=\"none\"><background/><content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"><htmlText>";
    const std::string tail = "</htmlText></textObject></content></page></book>";
    const auto escaped = Read(head + "&lt;p&gt;&lt;font&gt;a &amp;amp; b&lt;/font&gt;&lt;/p&gt;" + tail);
    const auto cdata = Read(head + "<![CDATA[<p><font>a &amp; b</font></p>]]>" + tail);
    EXPECT_EQ(FirstText(*escaped).htmlText(), FirstText(*cdata).htmlText());
    EXPECT_EQ(FirstText(*cdata).htmlText(), "<p><font>a &amp; b</font></p>");
}

TEST(XmlBookTest, TexturesAreReadAndChecked) {
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
