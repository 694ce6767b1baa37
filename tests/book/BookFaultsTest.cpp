#include "book/Book.h"
#include "book/BookReader.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace fs = std::filesystem;
using bookparser::Book;

namespace {

class BookFaults : public ::testing::Test {
protected:
    BookFaults() { dir_.Write("img/a.png", "x"); }
    Book Load(const std::string& pages)
    {
        dir_.Write("book", "<book>" + pages + "</book>");
        return Book(dir_.Path());
    }
    const fs::path& Dir() const { return dir_.Path(); }
    void RemoveFolder() { dir_.Remove(); }

private:
    testsupport::ScratchFolder dir_{"book-faults"};
};

std::string Text(const std::string& x)
{
    return "<textObject x=\"" + x + "\" y=\"0\" width=\"1\" height=\"1\"><htmlText>a</htmlText></textObject>";
}
std::string ColourPage(const std::string& colour, const std::string& content = "")
{
    return "<page pageType=\"cover\"><background><fillColor color=\"" + colour + "\"/></background><content>" + content + "</content></page>";
}

struct NumberCase {
    const char* name;
    const char* value;
    double left;  // NaN: malformed
    std::uint32_t colour;  // 0: malformed
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.name; }

class MalformedNumbers : public BookFaults, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(MalformedNumbers, GiveOneFixedValue)
{
    const NumberCase& c = GetParam();
    const Book book = Load(ColourPage(c.value, Text(c.value)));
    EXPECT_EQ(book.GetPage(0).GetFillColor(), c.colour);
    const double left = book.GetPage(0).GetObject(0).GetRect().left;
    if (std::isnan(c.left))
        EXPECT_TRUE(std::isnan(left)) << left;
    else
        EXPECT_DOUBLE_EQ(left, c.left);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
INSTANTIATE_TEST_SUITE_P(
    All, MalformedNumbers,
    ::testing::Values(NumberCase{"Empty", "", kNaN, 0}, NumberCase{"Blank", " \t", kNaN, 0},
                      NumberCase{"MinusOne", "-1", 0, 0}, NumberCase{"Letters", "abc", kNaN, 0},
                      NumberCase{"Sign", "-", kNaN, 0}, NumberCase{"Unit", "1px", kNaN, 0},
                      NumberCase{"TooBigForColour", "4294967296", 424, 0},
                      NumberCase{"PaddedOne", " 1 ", 424, 1}, NumberCase{"PlusOne", "+1", 424, 1},
                      NumberCase{"Exponent", "1e0", 424, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BookFaults, LeadingSeparatorNamesAFileOfThePackage)
{
    for (const std::string path : {"/img/a.png", "\\img\\a.png", "//img/a.png", "/img/../img/a.png"}) {
        const Book book = Load("<page pageType=\"cover\"><background/><content><pictureObject x=\"0\" y=\"0\" "
                               "width=\"1\" height=\"1\" path=\""
                               + path + "\"/></content></page>");
        EXPECT_EQ(static_cast<const bookparser::PictureObject&>(book.GetPage(0).GetObject(0)).GetPath(),
                  Dir() / "img" / "a.png")
            << path;
    }
    const Book book = Load("<page pageType=\"cover\"><background/><content><pictureObject x=\"0\" y=\"0\" "
                           "width=\"1\" height=\"1\" path=\"/../img/a.png\"/></content></page>");
    EXPECT_TRUE(static_cast<const bookparser::PictureObject&>(book.GetPage(0).GetObject(0)).GetPath().empty());
}

// A repeated single element ends the visit of its parent's children unread,
// however malformed it is.
TEST_F(BookFaults, RepeatedMalformedElementIsLeftUnread)
{
    const std::string picture = "<pictureObject x=\"0\" y=\"0\" width=\"1\" height=\"1\" path=\"img/a.png\">"
                                "<cropRect x=\"0\" y=\"0\" width=\"0.5\" height=\"1\"/><cropRect/></pictureObject>";
    const Book book = Load(
        "<page pageType=\"cover\"><background/><background><fillColor/></background><content>" + Text("0") + "</content></page>"
                                                                                                             "<page pageType=\"cover\"><background><fillColor color=\"5\"/><fillColor/></background>"
                                                                                                             "<content>"
        + picture + "</content><content><pageObject/></content></page>"
                    "<page pageType=\"cover\"><background/><content><textObject x=\"0\" y=\"0\" width=\"1\" height=\"1\">"
                    "<htmlText>a</htmlText><htmlText><p/></htmlText></textObject></content></page>");
    ASSERT_EQ(book.GetPageCount(), 3u);
    EXPECT_EQ(book.GetPage(0).GetObjectCount(), 0u);
    EXPECT_EQ(book.GetPage(1).GetFillColor(), 5u);
    ASSERT_EQ(book.GetPage(1).GetObjectCount(), 1u);
    const auto& crop = static_cast<const bookparser::PictureObject&>(book.GetPage(1).GetObject(0)).GetCrop();
    ASSERT_TRUE(crop);
    EXPECT_DOUBLE_EQ(crop->width, 0.5);
    EXPECT_EQ(book.GetPage(2).GetObjectCount(), 1u);
}

TEST_F(BookFaults, NestingUpToTheCapReads)
{
    // Inside <book>: the root is the first level.
    std::string open, close;
    for (unsigned i = 2; i < bookparser::kMaxBookNesting; ++i)
        open += "<x>", close += "</x>";
    std::string siblings;
    for (unsigned i = 0; i < 4 * bookparser::kMaxBookNesting; ++i)
        siblings += "<textures/>";
    EXPECT_EQ(Load("<page pageType=\"cover\"><background/></page><textures>" + siblings + "</textures>" + open + "<x/>" + close).GetPageCount(), 1u);
    EXPECT_THROW(Load(open + "<x><x/></x>" + close), xml_schema::parsing);
}

// Two million levels: refused quickly, where the parser alone would take
// many minutes. The alarm is only a guard against a hang.
TEST_F(BookFaults, DeeplyNestedBookFailsQuickly)
{
    constexpr std::size_t kLevels = 2'000'000;
    std::string xml;
    xml.reserve(kLevels * 7);
    for (std::size_t i = 0; i < kLevels; ++i)
        xml += "<a>";
    for (std::size_t i = 0; i < kLevels; ++i)
        xml += "</a>";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::alarm(120);
            int code = 1;
            try {
                Load(xml);
            } catch (const xml_schema::parsing&) {
                code = 0;
            }
            RemoveFolder();
            std::_Exit(code);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
