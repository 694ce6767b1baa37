#include "export/HtmlValueConversion.h"

#include <gtest/gtest.h>

using namespace exporting;

namespace {

TEST(ParseFontSize, DecimalPrefix)
{
    const std::pair<const char*, float> cases[] = {
        {"12.5", 12.5f}, {"12px", 12.0f}, {"abc", 0.0f}, {"", 0.0f}, {"  8", 8.0f}, {"-3", -3.0f}, {"+4.25pt", 4.25f}, {".5", 0.5f}, {"1e1", 10.0f}, {"2e", 2.0f}, {"3.", 3.0f}, {"inf", 0.0f}, {"nan", 0.0f}, {"0x10", 0.0f}, {".", 0.0f}, {"1,5", 1.0f}};
    for (const auto& [text, expected] : cases)
        EXPECT_FLOAT_EQ(ParseFontSize(text), expected) << text;
}

TEST(ParseFontColor, SevenCharacterHexOnly)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"#ff8000", 0x0080FFu}, {"#FF8000", 0x0080FFu}, {"#0000ff", 0xFF0000u}, {"#000000", 0u}, {"red", 0u}, {"#F80", 0u}, {"#GG0000", 0u}, {"#ff80001", 0u}, {"ff8000#", 0u}, {"#+fff00", 0x00FF0Fu}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseFontColor(text), expected) << text;
}

TEST(DecodeXmlEntities, SinglePass)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a &amp;lt; b", "a &lt; b"}, {"&lt;&gt;&quot;&apos;&amp;", "<>\"'&"}, {"&#65;", "&#65;"}, {"&nbsp;", "&nbsp;"}, {"&amp", "&amp"}, {"&&amp;", "&&"}, {"tail &", "tail &"}, {"\xD0\xBC&amp;\xE4\xB9\xA6", "\xD0\xBC&\xE4\xB9\xA6"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(DecodeXmlEntities(text), expected) << text;
}

TEST(AlignmentCode, FoldedValues)
{
    const std::pair<const char*, int> cases[] = {{"left", 1}, {"CENTER", 2}, {"Right", 3}, {"justify", 4}, {"middle", 1}, {"", 1}, {" center", 1}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(AlignmentCode(text), expected) << text;
}

TEST(BookColorToColorref, ReversesLowBytes)
{
    EXPECT_EQ(BookColorToColorref(0x0000FFu), 0xFF0000u);
    EXPECT_EQ(BookColorToColorref(0x123456u), 0x563412u);
    EXPECT_EQ(BookColorToColorref(0xAB123456u), 0x563412u);
    EXPECT_EQ(BookColorToColorref(0xFFFFFFu), 0xFFFFFFu);
}

}  // namespace
