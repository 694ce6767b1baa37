#include "text/Unicode.h"

#include <gtest/gtest.h>
#include <utf8cpp/utf8.h>

namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;  // lenient conversion: each bad sequence is one U+FFFD
    std::string valid;  // the same text back in UTF-8
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8ToUtf16 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16, ReplacesInvalidSequencesAndCountsUnits)
{
    const Utf8Case& c = GetParam();
    EXPECT_EQ(unicode::ToUtf16(c.utf8), c.utf16);
    EXPECT_EQ(unicode::Utf16Length(c.utf8), c.utf16.size());
    EXPECT_EQ(unicode::ReplaceInvalidUtf8(c.utf8), c.valid);
    EXPECT_EQ(unicode::ToUtf8(c.utf16), c.valid);
    EXPECT_EQ(unicode::IsValidUtf8(c.utf8), c.utf8 == c.valid);
    if (c.utf8 == c.valid)
        EXPECT_NO_THROW(unicode::RequireValidUtf8(c.utf8));
    else
        EXPECT_THROW(unicode::RequireValidUtf8(c.utf8), utf8::exception);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8ToUtf16, ::testing::Values(Utf8Case{"Empty", "", u"", ""}, Utf8Case{"Ascii", "a\r\nb", u"a\r\nb", "a\r\nb"}, Utf8Case{"TwoAndThreeBytes", "\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"}, Utf8Case{"AstralIsSurrogatePair", "\xF0\x9F\x98\x80", u"\U0001F600", "\xF0\x9F\x98\x80"}, Utf8Case{"StrayTrailBytes", "a\x80\x80", u"a\uFFFD\uFFFD", "a\xEF\xBF\xBD\xEF\xBF\xBD"}, Utf8Case{"EncodedSurrogate", "\xED\xA0\x80z", u"\uFFFDz", "\xEF\xBF\xBDz"}, Utf8Case{"Overlong", "\xC0\xAFz", u"\uFFFDz", "\xEF\xBF\xBDz"}, Utf8Case{"BeyondU10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", "\xEF\xBF\xBD"}, Utf8Case{"TruncatedAtEnd", "a\xF0\x9F\x98", u"a\uFFFD", "a\xEF\xBF\xBD"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Utf16Case {
    const char* name;
    std::u16string utf16;
    std::string utf8;
};

void PrintTo(const Utf16Case& c, std::ostream* os) { *os << c.name; }

class Utf16ToUtf8 : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8, ReplacesLoneSurrogates) { EXPECT_EQ(unicode::ToUtf8(GetParam().utf16), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(Cases, Utf16ToUtf8, ::testing::Values(Utf16Case{"Pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"}, Utf16Case{"LoneLead", std::u16string(u"a") + char16_t(0xD83D), "a\xEF\xBF\xBD"}, Utf16Case{"LoneTrail", std::u16string(1, char16_t(0xDE00)) + u"b", "\xEF\xBF\xBD"
                                                                                                                                                                                                                                                                           "b"},
                                                               Utf16Case{"TrailBeforeLead", std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, "\xEF\xBF\xBD\xEF\xBF\xBD"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppendUtf8, CodePointsWithoutUtf8FormBecomeReplacement)
{
    std::string out;
    for (const char32_t cp : {char32_t(0x41), char32_t(0xD800), char32_t(0x110000), char32_t(0x10FFFF)})
        unicode::AppendUtf8(out, cp);
    EXPECT_EQ(out, "A\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
}

TEST(DecodeUtf8, GivesCodePointAndLengthOrNothing)
{
    const std::string text = "a\xE2\x82\xAC\xE2\x82";
    EXPECT_EQ(unicode::DecodeUtf8(text, 0)->length, 1u);
    EXPECT_EQ(unicode::DecodeUtf8(text, 1)->value, U'\u20AC');
    EXPECT_EQ(unicode::DecodeUtf8(text, 1)->length, 3u);
    EXPECT_FALSE(unicode::DecodeUtf8(text, 2));  // a trail byte
    EXPECT_FALSE(unicode::DecodeUtf8(text, 4));  // cut off by the end
}

}  // namespace
