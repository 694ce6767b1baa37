#include "text/LineEscaping.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
    const char* name;
    std::string bytes;
    std::string escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class LineEscape : public ::testing::TestWithParam<EscapeCase> {};

// Every case must come back unchanged and be one line of valid UTF-8.
TEST_P(LineEscape, OneLineOfUtf8ThatGivesTheBytesBack)
{
    const std::string escaped = lineescaping::Escape(GetParam().bytes);
    EXPECT_EQ(escaped, GetParam().escaped);
    EXPECT_TRUE(unicode::IsValidUtf8(escaped));
    EXPECT_EQ(escaped.find_first_of(std::string("\r\n\t\0", 4)), std::string::npos);
    EXPECT_EQ(lineescaping::Unescape(escaped), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineEscape, ::testing::Values(EscapeCase{"PlainAndNonAscii", "/lib/Lesson \xD0\xBA\xD0\xBD.mordx", "/lib/Lesson \xD0\xBA\xD0\xBD.mordx"}, EscapeCase{"NewlineForgingALine", "a\nError during processing file - b", "a\\x0AError during processing file - b"}, EscapeCase{"TabCarriageReturnNul", std::string("a\t\r\0b", 5), "a\\x09\\x0D\\x00b"}, EscapeCase{"Backslash", "a\\x0Ab\\", "a\\\\x0Ab\\\\"}, EscapeCase{"InvalidBytes", "a\xFF\xC3(\xED\xA0\x80", "a\\xFF\\xC3(\\xED\\xA0\\x80"}, EscapeCase{"C1AndLineSeparator", "a\xC2\x85"
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                "b\xE2\x80\xA8",
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                          "a\\xC2\\x85b\\xE2\\x80\\xA8"},
                                                              EscapeCase{"DeleteCharacter", "a\x7F", "a\\x7F"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineUnescape, LoneBackslashStays)
{
    EXPECT_EQ(lineescaping::Unescape("a\\b\\x4"), "a\\b\\x4");
}

}  // namespace
