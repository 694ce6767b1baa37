#include "ui/RichText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace ui;

using namespace customcontrols::rtf;

namespace {

struct DocumentCase {
    const char* name;
    TextItem item;
    std::optional<Colour> linkColour;
    std::string expected;
};

void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }
class ItemDocumentTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ItemDocumentTest, StreamsTheDocument)
{
    EXPECT_EQ(ItemDocument(GetParam().item, GetParam().linkColour), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemDocumentTest,
    ::testing::Values(
        DocumentCase{"Plain", SPlainText{"Hi"}, {}, R"({\rtf1\u72?\u105?})"},
        DocumentCase{"Coloured", SColoredText{"A", 0x414141}, {}, R"({\rtf1{\colortbl;\red65\green65\blue65;}\cf1\u65?\cf0})"},
        DocumentCase{"ColourComponentsLowByteRed", SColoredText{"A", 0x993300}, {}, R"({\rtf1{\colortbl;\red0\green51\blue153;}\cf1\u65?\cf0})"},
        DocumentCase{"BoldItalic", SFormattedText{{{"B", 3}}}, {}, R"({\rtf1\b\i\u66?\b0\i0})"},
        DocumentCase{"RunsWithUnderline", SFormattedText{{{"a", 4}, {"b", 0}, {"c", 5}}}, {}, R"({\rtf1\ul\u97?\ul0\u98?\b\ul\u99?\b0\ul0})"},
        DocumentCase{"HighCodeUnitsNegative", SPlainText{"\xEF\xBB\xBF\xC3\xA9"}, {}, R"({\rtf1\u-257?\u233?})"},
        DocumentCase{"Surrogates", SPlainText{"\xF0\x9F\x98\x80"}, {}, R"({\rtf1\u-10179?\u-8704?})"},
        DocumentCase{"LinkWithoutColour", SHyperlink{"b", "a"}, {}, R"({\rtf1{\field{\*\fldinst{HYPERLINK "\u97?"}}{\fldrslt{\u98?}}}})"},
        DocumentCase{"LinkColouredAndUnderlined", SHyperlink{"b", "a"}, 0xCC6600,
                     R"({\rtf1{\colortbl;\red0\green102\blue204;}{\field{\*\fldinst{HYPERLINK "\u97?"}}{\fldrslt{\ul\cf1\u98?\cf0\ul0}}}})"},
        DocumentCase{"Empty", SPlainText{""}, {}, R"({\rtf1})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfWriter, LinkWithQuoteIsRefused)
{
    try {
        ItemDocument(SHyperlink{"x", "https://a/\"b"});
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "URL contains quote: https://a/\"b");
    }
}

TEST(RtfWriter, ParagraphEnds)
{
    EXPECT_EQ(ParagraphEndDocument(0, false), R"({\rtf1\ql\par})");
    EXPECT_EQ(ParagraphEndDocument(1, false), R"({\rtf1\qr\par})");
    EXPECT_EQ(ParagraphEndDocument(2, true), R"({\rtf1\qc})");
    EXPECT_EQ(ParagraphEndDocument(7, false), R"({\rtf1\par})");
}

TEST(RtfWriter, ContentSharesOneColourTable)
{
    const std::vector<Paragraph> content{{0, {SColoredText{"T", 0x993300}}},
                                         {2, {SPlainText{"x"}, SHyperlink{"L", "u"}}}};
    EXPECT_EQ(ContentDocument(content, 0xCC6600),
              R"({\rtf1{\colortbl;\red0\green51\blue153;\red0\green102\blue204;}\ql\cf1\u84?\cf0\par\qc\u120?)"
              R"({\field{\*\fldinst{HYPERLINK "\u117?"}}{\fldrslt{\ul\cf2\u76?\cf0\ul0}}}})");
    EXPECT_EQ(ContentText(content), "T\nxL");
}

}  // namespace
