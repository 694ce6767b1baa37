#include "diagnostics/SupportLink.h"

#include "diagnostics/SystemDescription.h"
#include "ui/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include "support/CaseNames.h"

using namespace ui;

using namespace diagnostics;

namespace {

struct EncodeCase {
    std::string value;
    std::string sent;
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.sent.substr(0, 32); }

class UrlEncodeTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(UrlEncodeTest, Encodes)
{
    EXPECT_EQ(UrlEncode(GetParam().value), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Values, UrlEncodeTest,
    ::testing::Values(EncodeCase{"Windows 10 Pro  64-bit [Version: 10.0.17134]",
                                 "Windows%2010%20Pro%20%2064-bit%20%5BVersion%3A%2010.0.17134%5D"},
                      EncodeCase{"a;b=c&d", "a;b%3Dc%26d"}, EncodeCase{"1.2.3.4", "1.2.3.4"},
                      EncodeCase{"tralvex", "tralvex"}, EncodeCase{"", ""},
                      EncodeCase{"-_.~;", "-_.~;"}, EncodeCase{"a/b?c#d+e%f", "a%2Fb%3Fc%23d%2Be%25f"},
                      EncodeCase{"\xC3\xA9\xE2\x82\xAC", "%C3%A9%E2%82%AC"},
                      EncodeCase{std::string("\0\x1F\x7F\xFF", 4), "%00%1F%7F%FF"},
                      EncodeCase{"<Unrecognized OS version>", "%3CUnrecognized%20OS%20version%3E"}),
    [](const auto& info) { return testnames::Readable(info.param.value).substr(0, 32); });

TEST(UrlEncode, ExactlyTheUnreservedCharactersPass)
{
    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~;";
    ASSERT_EQ(unreserved.size(), 67u);
    int passed = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string encoded = UrlEncode(one);
        if (unreserved.find(static_cast<char>(b)) != std::string::npos && b != 0) {
            EXPECT_EQ(encoded, one);
            ++passed;
        } else {
            char expected[4];
            std::snprintf(expected, sizeof expected, "%%%.2X", static_cast<unsigned>(b));
            EXPECT_EQ(encoded, expected) << b;
        }
    }
    EXPECT_EQ(passed, 67);
}

struct QueryCase {
    const char* name;
    std::string url;
    std::string expected;
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class AddQueryParameterTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(AddQueryParameterTest, AppendsPair)
{
    EXPECT_EQ(AddQueryParameter(GetParam().url, "k y", "v&1"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, AddQueryParameterTest,
    ::testing::Values(QueryCase{"NoQuery", "https://h/p", "https://h/p?k%20y=v%261"},
                      QueryCase{"EndsWithQuestionMark", "https://h/p?", "https://h/p?k%20y=v%261"},
                      QueryCase{"EndsWithAmpersand", "https://h/p?a=1&", "https://h/p?a=1&k%20y=v%261"},
                      QueryCase{"HasQuery", "https://h/p?a=1", "https://h/p?a=1&k%20y=v%261"},
                      QueryCase{"SecondQuestionMark", "https://h/p?a=?", "https://h/p?a=?&k%20y=v%261"},
                      QueryCase{"Fragment", "https://h/p#top", "https://h/p?k%20y=v%261#top"},
                      QueryCase{"QueryAndFragment", "https://h/p?a=1#x?y&", "https://h/p?a=1&k%20y=v%261#x?y&"},
                      QueryCase{"EmptyFragment", "https://h/p?#", "https://h/p?k%20y=v%261#"},
                      QueryCase{"Empty", "", "?k%20y=v%261"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddQueryParameter, EmptyNameRejected)
{
    try {
        AddQueryParameter("https://h/", "", "v");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Parameter name is empty");
    }
}

TEST(AddQueryParameter, EmptyValueKeepsEqualsSign)
{
    EXPECT_EQ(AddQueryParameter("https://h/", "os", ""), "https://h/?os=");
}

TEST(ComposeSupportUrl, ParametersInOrder)
{
    EXPECT_EQ(ComposeSupportUrl("https://s.example/e", "1.2.3.4", "Linux  64-bit [Version: 6.1.0]", "16.0, Build: 1"),
              "https://s.example/e?p=tralvex&v=1.2.3.4&os=Linux%20%2064-bit%20%5BVersion%3A%206.1.0%5D"
              "&pp=16.0%2C%20Build%3A%201");
    EXPECT_EQ(ComposeSupportUrl("https://s.example/e#f", "1", "os", ""), "https://s.example/e?p=tralvex&v=1&os=os#f");
}

class MakeSupportUrlTest : public ::testing::Test {
protected:
    void SetUp() override { InstallMessageCatalogue({{"SUPPORT_LINK_URL", "https://help.example/err"}}); }
    void TearDown() override { LoadMessageCatalogue(); }

    // Everything up to "pp", as this machine describes itself.
    static std::string Prefix(const std::string& base)
    {
        return base + "?p=tralvex&v=" + UrlEncode(GetProgramVersion()) + "&os=" + UrlEncode(GetSystemDescription());
    }
};

TEST_F(MakeSupportUrlTest, GivenDescriptionIsSent)
{
    int asked = 0;
    const EngineDescriber describer = [&] {
        ++asked;
        return std::string("other");
    };
    EXPECT_EQ(MakeSupportUrl("Engine 1.0, Build: 7 64-bit", describer),
              Prefix("https://help.example/err") + "&pp=Engine%201.0%2C%20Build%3A%207%2064-bit");
    EXPECT_EQ(asked, 0) << "the installed engine is asked only when no description is given";
}

TEST_F(MakeSupportUrlTest, EmptyDescriptionAsksInstalledEngine)
{
    EXPECT_EQ(MakeSupportUrl("", [] { return std::string("Installed 2.0"); }), Prefix("https://help.example/err") + "&pp=Installed%202.0");
}

TEST_F(MakeSupportUrlTest, NoDescriptionLeavesPpOut)
{
    const std::string expected = Prefix("https://help.example/err");
    EXPECT_EQ(MakeSupportUrl(""), expected);
    EXPECT_EQ(MakeSupportUrl("", [] { return std::string(); }), expected);
    EXPECT_EQ(MakeSupportUrl("", []() -> std::string { throw std::runtime_error("cannot start"); }), expected);
    EXPECT_EQ(expected.find("pp"), std::string::npos);
}

TEST_F(MakeSupportUrlTest, MissingBaseUsesIdItself)
{
    InstallMessageCatalogue({});
    EXPECT_EQ(MakeSupportUrl("x"), Prefix("SUPPORT_LINK_URL") + "&pp=x");
}

TEST(SupportLink, EmbeddedBaseAddress)
{
    LoadMessageCatalogue();
    const std::string url = MakeSupportUrl("e");
    const std::string base = Translate("SUPPORT_LINK_URL");
    EXPECT_TRUE(url.starts_with(base + "?p=tralvex&v=")) << url;
    EXPECT_NE(url.find("&os="), std::string::npos);
    EXPECT_TRUE(url.ends_with("&pp=e"));
}

}  // namespace
