#include "book/Book.h"
#include "book/BookReader.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

namespace fs = std::filesystem;
using bookparser::Book;
using testsupport::ScratchFolder;

namespace {

std::string Page(const std::string& inner, const std::string& type = "whiteSheet")
{
    return "<page pageType=\"" + type + "\"><background/>" + inner + "</page>";
}
std::string BookXml(const std::string& pages, const std::string& attributes = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<book" + attributes + ">" + pages + "</book>";
}
const std::string kText = "<textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"><htmlText>&lt;p&gt;&lt;font&gt;a&lt;/font&gt;&lt;/p&gt;</htmlText></textObject>";

}  // namespace

class BookFixture : public ::testing::Test {
protected:
    ScratchFolder dir;
    Book Load(const std::string& xml)
    {
        dir.Write("book", xml);
        return Book(dir.Path());
    }
};

TEST_F(BookFixture, MissingDescriptionIsNotABook)
{
    dir.Write("book.xml", BookXml(""));
    EXPECT_THROW(Book{dir.Path()}, bookparser::UnknownFileTypeError);
}

TEST_F(BookFixture, FolderNamedBookFailsToParse)
{
    fs::create_directory(dir.Path() / "book");
    EXPECT_THROW(Book{dir.Path()}, xml_schema::parsing);
}

TEST_F(BookFixture, StructuralErrors)
{
    EXPECT_THROW(Load("<Book/>"), xml_schema::unexpected_element);
    EXPECT_THROW(Load("<book xmlns=\"urn:x\"/>"), xml_schema::unexpected_element);
    EXPECT_THROW(Load("<book>&undefined;</book>"), xml_schema::parsing);
    EXPECT_THROW(Load(""), xml_schema::parsing);
    EXPECT_THROW(Load(BookXml("<page pageType=\"none\"/>")), xml_schema::expected_element);
    EXPECT_THROW(Load(BookXml("<page><background/></page>")), xml_schema::expected_attribute);
    for (const char* type : {"Cover", " cover", "cover ", "NONE"}) {
        EXPECT_THROW(Load(BookXml(Page("", type))), xml_schema::unexpected_enumerator) << type;
    }
    EXPECT_THROW(Load(BookXml(Page("<content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></content>"))),
                 xml_schema::expected_element);
    EXPECT_THROW(Load(BookXml(Page("<content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"><htmlText><p/></htmlText></textObject></content>"))),
                 xml_schema::expected_text_content);
    EXPECT_THROW(Load(BookXml(Page("<content><pageObject xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"CT_Nothing\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></content>"))),
                 xml_schema::no_type_info);
    EXPECT_THROW(Load(BookXml(Page("<content><pageObject xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"q:CT_TextObject\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></content>"))),
                 xml_schema::no_prefix_mapping);
    EXPECT_THROW(Load(BookXml(Page("<content><pageObject xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xsi:type=\"xs:string\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></content>"))),
                 xml_schema::not_derived);
}

TEST_F(BookFixture, PageSizes)
{
    struct Case {
        std::string attribute;
        int width, height;
    };
    for (const Case& c : {Case{"", 424, 600}, Case{" pageAspectRatio=\"1.4143\"", 600, 424},
                          Case{" pageAspectRatio=\"0.8889\"", 476, 535}, Case{" pageAspectRatio=\"1\"", 504, 504},
                          Case{" pageAspectRatio=\"0.705\"", 424, 601}, Case{" pageAspectRatio=\"0\"", 424, 600},
                          Case{" pageAspectRatio=\" -1 \"", 424, 600}}) {
        const Book book = Load(BookXml("", c.attribute));
        EXPECT_EQ(book.GetPageSize(), std::make_pair(c.width, c.height)) << c.attribute;
    }
    for (const char* bad : {" pageAspectRatio=\"0.75\"", " pageAspectRatio=\"NaN\"", " pageAspectRatio=\"INF\""}) {
        EXPECT_THROW(Load(BookXml("", bad)), std::runtime_error) << bad;
    }
}

TEST_F(BookFixture, PagesBackgroundsAndMemberOrder)
{
    const Book book = Load(BookXml(
        "<page pageType=\"none\"><background/></page>"
        "<page pageType=\"cover\"><content/><background><texture id=\"bcover1\"/><fillColor color=\" 4294901760 \"/></background></page>"
        "<page pageType=\"whiteSheet\"><background><texture id=\"nope\"/></background></page>"
        "<page pageType=\"whiteSheet\"><background/><background/><content>"
            + kText + "</content></page>",
        " pageAspectRatio=\"1\""));
    ASSERT_EQ(book.GetPageCount(), 3u);
    EXPECT_EQ(book.GetPage(0).GetFillColor(), 0xFFFF0000u);
    EXPECT_EQ(book.GetPage(0).GetTexture(), 7125);  // grayscale: the page has a fill colour
    EXPECT_EQ(book.GetPage(1).GetTexture(), std::nullopt);
    EXPECT_EQ(book.GetPage(1).GetFillColor(), std::nullopt);
    // The repeated background ended the visit: the content was never read.
    EXPECT_EQ(book.GetPage(2).GetObjectCount(), 0u);
    EXPECT_THROW(book.GetPage(3), std::out_of_range);
}

TEST_F(BookFixture, CrlfReadsLikeLf)
{
    std::string xml = BookXml(Page("<content>" + kText + "</content>") + "\n" + Page(""));
    const Book lf = Load(xml);
    std::string crlf;
    for (char c : xml) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const Book withCr = Load(crlf);
    ASSERT_EQ(withCr.GetPageCount(), lf.GetPageCount());
    const auto& text = static_cast<const bookparser::TextObject&>(withCr.GetPage(0).GetObject(0));
    EXPECT_EQ(text.GetFormattedText().GetPlainText(), "a");
}

TEST_F(BookFixture, ObjectsKindsAndGeometry)
{
    dir.Write("img\\sub/a.png", "x");  // a file with a backslash in its name is not what is meant
    dir.Write("img/sub/a.png", "x");
    const Book book = Load(BookXml(Page(
        "<content xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
        "<textObject x=\"1.2\" y=\" 0.5 \" width=\"-0.5\" height=\"0.25\" horizontalAutoSize=\"yes\"><htmlText><![CDATA[<p><font>b</font></p>]]></htmlText></textObject>"
        "<pictureObject x=\"-0.25\" y=\"0\" width=\"1.5\" height=\"1\" path=\"img\\sub\\a.png\"><cropRect x=\"-1\" y=\"0.5\" width=\"1.5\" height=\"0.5\"/></pictureObject>"
        "<pictureObject x=\"-0.25\" y=\"0\" width=\"1.5\" height=\"1\" path=\"img/sub/a.png\"/>"
        "<pageObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>"
        "<pageObject xsi:type=\"CT_PictureObject\" x=\"0\" y=\"0\" width=\"1\" height=\"1\" path=\"missing.png\"><cropRect x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></pageObject>"
        "<textObject xsi:type=\"CT_PictureObject\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>"
        "<note/>"
        + kText + "</content>")));
    const bookparser::Page& page = book.GetPage(0);
    ASSERT_EQ(page.GetObjectCount(), 5u);  // plain pageObject skipped, objects after <note> ignored

    const auto& text = static_cast<const bookparser::TextObject&>(page.GetObject(0));
    ASSERT_EQ(text.GetType(), bookparser::PageObjectType::Text);
    EXPECT_DOUBLE_EQ(text.GetRect().left, 424);
    EXPECT_DOUBLE_EQ(text.GetRect().top, 300);
    EXPECT_DOUBLE_EQ(text.GetRect().width, 0);
    EXPECT_DOUBLE_EQ(text.GetRect().height, 150);
    EXPECT_EQ(text.GetFormattedText().GetPlainText(), "b");

    const auto& cropped = static_cast<const bookparser::PictureObject&>(page.GetObject(1));
    ASSERT_EQ(cropped.GetType(), bookparser::PageObjectType::Picture);
    EXPECT_DOUBLE_EQ(cropped.GetRect().left, -0.25 * 424);
    EXPECT_DOUBLE_EQ(cropped.GetRect().width, 1.5 * 424);
    EXPECT_EQ(cropped.GetPath(), dir.Path() / "img/sub/a.png");
    ASSERT_TRUE(cropped.GetCrop().has_value());
    EXPECT_DOUBLE_EQ(cropped.GetCrop()->x, 0);
    EXPECT_DOUBLE_EQ(cropped.GetCrop()->y, 0.5);
    EXPECT_DOUBLE_EQ(cropped.GetCrop()->width, 1);

    const auto& plain = static_cast<const bookparser::PictureObject&>(page.GetObject(2));
    EXPECT_DOUBLE_EQ(plain.GetRect().left, 0);
    EXPECT_DOUBLE_EQ(plain.GetRect().width, 424);
    EXPECT_FALSE(plain.GetCrop().has_value());

    const auto& missing = static_cast<const bookparser::PictureObject&>(page.GetObject(3));
    ASSERT_EQ(missing.GetType(), bookparser::PageObjectType::Picture);
    EXPECT_TRUE(missing.GetPath().empty());
    EXPECT_FALSE(missing.GetCrop().has_value());

    EXPECT_EQ(page.GetObject(4).GetType(), bookparser::PageObjectType::Picture);
    EXPECT_TRUE(static_cast<const bookparser::PictureObject&>(page.GetObject(4)).GetPath().empty());
    EXPECT_THROW(page.GetObject(5), std::out_of_range);
}

TEST_F(BookFixture, PicturePathsOutsideThePackageAreMissing)
{
    ScratchFolder outside;
    outside.Write("secret.png", "x");
    fs::create_symlink(outside.Path() / "secret.png", dir.Path() / "link.png");
    const std::string escape = "../" + outside.Path().filename().string() + "/secret.png";
    for (const std::string& path : {escape, (outside.Path() / "secret.png").string(), std::string("/etc/passwd"),
                                    std::string("link.png"), std::string(""), std::string("."),
                                    std::string("C:\\x.png")}) {
        const Book book = Load(BookXml(Page("<content><pictureObject x=\"0\" y=\"0\" width=\"1\" height=\"1\" path=\"" + path + "\"/></content>")));
        EXPECT_TRUE(static_cast<const bookparser::PictureObject&>(book.GetPage(0).GetObject(0)).GetPath().empty())
            << path;
    }
}

TEST_F(BookFixture, HtmlErrorFailsTheBook)
{
    EXPECT_THROW(Load(BookXml(Page("<content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\"><htmlText>&lt;p&gt;</htmlText></textObject></content>"))),
                 std::runtime_error);
}

TEST_F(BookFixture, SchemaLocationIsNotLoaded)
{
    const Book book = Load(
        "<book xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"file:///nonexistent/x.xsd\"/>");
    EXPECT_EQ(book.GetPageCount(), 0u);
}

TEST_F(BookFixture, ExternalEntityIsNotPulledIn)
{
    const std::string doc =
        "<?xml version=\"1.0\"?><!DOCTYPE book [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<book><page pageType=\"cover\"><background/><content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\">"
        "<htmlText>&lt;p&gt;&lt;font&gt;&x;&lt;/font&gt;&lt;/p&gt;</htmlText></textObject></content></page></book>";
    try {
        const Book book = Load(doc);
        const auto& text = static_cast<const bookparser::TextObject&>(book.GetPage(0).GetObject(0));
        EXPECT_EQ(text.GetFormattedText().GetPlainText().find("root:"), std::string::npos);
    } catch (const xml_schema::parsing&) {
        SUCCEED();  // refusing the document is just as good
    }
    // An external DTD is not fetched either (it does not exist: fetching would fail the parse).
    EXPECT_NO_THROW(Load("<?xml version=\"1.0\"?><!DOCTYPE book SYSTEM \"file:///nonexistent/book.dtd\"><book/>"));
}

TEST_F(BookFixture, EntityBombsFailFast)
{
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE book [<!ENTITY l0 \"lollollollol\">";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><book title=\"&l9;\"/>";
    EXPECT_THROW(Load(laughs), xml_schema::parsing);

    // One big entity referenced many times.
    std::string quadratic = "<?xml version=\"1.0\"?><!DOCTYPE book [<!ENTITY big \"" + std::string(200000, 'a') + "\">]><book title=\"";
    for (int i = 0; i < 900; ++i)
        quadratic += "&big;";
    quadratic += "\"/>";
    EXPECT_THROW(Load(quadratic), xml_schema::parsing);

    // Ordinary documents with a few small entities still read.
    const Book book = Load("<?xml version=\"1.0\"?><!DOCTYPE book [<!ENTITY r \"1\">]><book pageAspectRatio=\"&r;\"/>");
    EXPECT_EQ(book.GetPageSize(), std::make_pair(504, 504));
}
