#include "text/PercentEncoding.h"

#include <gtest/gtest.h>

namespace {

struct EncodeCase {
    const char* name;
    std::string text;
    std::string kept;
    std::string encoded;
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class PercentEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(PercentEncode, KeepsUnreservedAndTheGivenCharacters)
{
    EXPECT_EQ(uri::PercentEncode(GetParam().text, GetParam().kept), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(Cases, PercentEncode, ::testing::Values(EncodeCase{"Unreserved", "Az09-_.~", "", "Az09-_.~"}, EncodeCase{"ReservedAndSpace", ":/?#[]@!$&'()*+,;= %", "", "%3A%2F%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%20%25"}, EncodeCase{"KeptSlash", "/a b/", "/", "/a%20b/"}, EncodeCase{"NulNeverKept", std::string("a\0b", 3), std::string("\0", 1), "a%00b"}, EncodeCase{"Utf8BytesUpperHex", "\xC3\xA9\xFF", "", "%C3%A9%FF"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
