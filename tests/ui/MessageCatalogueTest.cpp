#include "ui/MessageCatalogue.h"

#include "resources/Catalogue.h"

#include <gtest/gtest.h>
#include <rapidxml/rapidxml.hpp>
#include <utf8cpp/utf8.h>

#include <regex>
#include <stdexcept>
#include <string>
#include <vector>
#include "support/CaseNames.h"

using namespace ui;

namespace {

std::string Document(const std::string& messages)
{
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<language>\n <messages>\n" + messages + "\n </messages>\n</language>\n";
}

std::string EmbeddedDocument()
{
    const auto resource = resources::FindCatalogue("messages");
    if (!resource)
        return {};
    return std::string(reinterpret_cast<const char*>(resource->data()), resource->size());
}

// Restores the embedded catalogue after every test that installs its own.
class CatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { LoadMessageCatalogue(); }
};

struct UnescapeCase {
    const char* input;
    const char* expected;
};

void PrintTo(const UnescapeCase& c, std::ostream* os) { *os << testnames::Name(c.input); }

class UnescapeTextTest : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(UnescapeTextTest, ExpandsEscapes)
{
    EXPECT_EQ(UnescapeText(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnescapeTextTest,
                         ::testing::Values(UnescapeCase{"plain text", "plain text"},
                                           UnescapeCase{"", ""},
                                           UnescapeCase{"a\\nb", "a\nb"},
                                           UnescapeCase{"a\\rb\\tc", "a\rb\tc"},
                                           UnescapeCase{"\\\"q\\\"", "\"q\""},
                                           UnescapeCase{"it\\'s", "it's"},
                                           UnescapeCase{"a\\\\b", "a\\b"},
                                           // The backslash a doubled one produces opens no escape.
                                           UnescapeCase{"a\\\\nb", "a\\nb"},
                                           UnescapeCase{"a\\\\\\nb", "a\\\nb"},
                                           UnescapeCase{"x\\qy", "xy"},
                                           UnescapeCase{"x\\Ny", "xy"},
                                           UnescapeCase{"trailing\\", "trailing"},
                                           UnescapeCase{"\\", ""},
                                           UnescapeCase{"\\\\", "\\"},
                                           UnescapeCase{"\\n\\n", "\n\n"},
                                           // An escaped multi-byte character vanishes whole.
                                           UnescapeCase{"a\\\xC3\xA9z", "az"},
                                           UnescapeCase{"a\\\xE2\x82\xAC"
                                                        "z",
                                                        "az"},
                                           UnescapeCase{"\xC3\xA9\\n", "\xC3\xA9\n"}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.input); });

struct ParseCase {
    const char* name;
    std::string messages;
    std::string id;
    std::string expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseCatalogueTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCatalogueTest, GivesText)
{
    const MessageCatalogue catalogue = ParseMessageCatalogue(Document(GetParam().messages));
    const auto it = catalogue.find(GetParam().id);
    ASSERT_NE(it, catalogue.end());
    EXPECT_EQ(it->second, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCatalogueTest,
    ::testing::Values(
        ParseCase{"Plain", R"(<message id="A">Hello</message>)", "A", "Hello"},
        ParseCase{"SpacesKept", R"(<message id="A">  two  </message>)", "A", "  two  "},
        ParseCase{"WhitespaceOnlyIsEmpty", "<message id=\"A\">  \n\t </message>", "A", ""},
        ParseCase{"Empty", R"(<message id="A"></message>)", "A", ""},
        ParseCase{"SelfClosing", R"(<message id="A"/>)", "A", ""},
        ParseCase{"Ampersand", R"(<message id="A">Tom &amp; Jerry</message>)", "A", "Tom & Jerry"},
        ParseCase{"Entities", R"(<message id="A">&lt;&gt;&quot;&apos;</message>)", "A", "<>\"'"},
        ParseCase{"CharacterReferences", R"(<message id="A">&#65;&#x42;&#xE9;&#x20AC;</message>)", "A",
                  "AB\xC3\xA9\xE2\x82\xAC"},
        ParseCase{"UnknownEntityKept", R"(<message id="A">&bogus;</message>)", "A", "&bogus;"},
        ParseCase{"Escapes", R"(<message id="A">one\ntwo\\nthree\x</message>)", "A", "one\ntwo\\nthree"},
        ParseCase{"TrailingBackslash", R"(<message id="A">end\</message>)", "A", "end"},
        ParseCase{"IdUnescaped", R"(<message id="A\tB">tab</message>)", "A\tB", "tab"},
        ParseCase{"IdEntity", R"(<message id="A&amp;B">amp</message>)", "A&B", "amp"},
        ParseCase{"FirstIdWins", R"(<message id="A">first</message><message id="A">second</message>)", "A",
                  "first"},
        ParseCase{"NonAscii", "<message id=\"\xC3\x84\">\xE6\x97\xA5\xE6\x9C\xAC</message>", "\xC3\x84",
                  "\xE6\x97\xA5\xE6\x9C\xAC"},
        ParseCase{"OtherElementsIgnored", R"(<note id="A">no</note><message id="A">yes</message>)", "A", "yes"},
        ParseCase{"TextBeforeChildElement", R"(<message id="A">text<b>bold</b>more</message>)", "A", "text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseCatalogue, ByteOrderMarkIsOptional)
{
    const MessageCatalogue catalogue =
        ParseMessageCatalogue(R"(<language><messages><message id="A">a</message></messages></language>)");
    EXPECT_EQ(catalogue, (MessageCatalogue{{"A", "a"}}));
}

TEST(ParseCatalogue, MessagesWithoutMessageGiveEmptyTable)
{
    EXPECT_TRUE(ParseMessageCatalogue(Document("")).empty());
}

struct FailureCase {
    const char* name;
    std::string document;
    std::string message;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CatalogueStructureErrorTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CatalogueStructureErrorTest, FailsWithMessage)
{
    try {
        ParseMessageCatalogue(GetParam().document);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), GetParam().message.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CatalogueStructureErrorTest,
    ::testing::Values(
        FailureCase{"Empty", "", "No xml node found"},
        FailureCase{"OnlyBom", "\xEF\xBB\xBF", "No xml node found"},
        FailureCase{"WrongRoot", R"(<langage><messages><message id="A">a</message></messages></langage>)",
                    "No xml node found"},
        FailureCase{"RootCaseMatters", R"(<Language><messages/></Language>)", "No xml node found"},
        FailureCase{"LanguageNested", R"(<root><language><messages/></language></root>)", "No xml node found"},
        FailureCase{"NoMessages", R"(<language><message id="A">a</message></language>)", "No xml node found"},
        FailureCase{"NoId", Document(R"(<message id="A">a</message><message key="B">b</message>)"),
                    "No attribute found"},
        FailureCase{"SurrogateReference", Document(R"(<message id="A">&#xD800;</message>)"),
                    "Invalid character reference"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseCatalogue, MalformedXmlRaisesParserError)
{
    EXPECT_THROW(ParseMessageCatalogue("<language><messages>"), rapidxml::parse_error);
    EXPECT_THROW(ParseMessageCatalogue(Document(R"(<message id=A>a</message>)")), rapidxml::parse_error);
    EXPECT_THROW(ParseMessageCatalogue(Document(R"(<message id="A">&#x110000;</message>)")), rapidxml::parse_error);
}

class InvalidUtf8Test : public ::testing::TestWithParam<std::string> {};

TEST_P(InvalidUtf8Test, RaisesUtf8LibraryError)
{
    EXPECT_THROW(ParseMessageCatalogue(Document("<message id=\"A\">" + GetParam() + "</message>")), utf8::exception);
}

INSTANTIATE_TEST_SUITE_P(Sequences, InvalidUtf8Test,
                         ::testing::Values(std::string("\x80"),  // lone continuation byte
                                           std::string("\xC3"),  // truncated two-byte sequence
                                           std::string("\xE2\x82"),  // truncated three-byte sequence
                                           std::string("\xC0\xAF"),  // overlong slash
                                           std::string("\xED\xA0\x80"),  // encoded surrogate
                                           std::string("\xF4\x90\x80\x80"),  // above U+10FFFF
                                           std::string("\xFF")),
                         [](const auto& info) { return testnames::Readable(info.param); });

TEST(InvalidUtf8, TruncatedAtEndOfDocument)
{
    EXPECT_THROW(ParseMessageCatalogue(Document("") + "\xE6\x97"), utf8::exception);
}

TEST_F(CatalogueTest, FailedParseLeavesTableInPlace)
{
    InstallMessageCatalogue({{"KEEP", "kept"}});
    const std::vector<std::string> bad{
        R"(<other><messages><message id="X">x</message></messages></other>)",
        Document(R"(<message>no id</message>)"),
        Document("<message id=\"X\">\xFF</message>"),
        "<language><messages><message id=\"X\">x",
    };
    for (const std::string& document : bad) {
        EXPECT_ANY_THROW(InstallMessageCatalogue(ParseMessageCatalogue(document)));
        EXPECT_EQ(Translate("KEEP"), "kept");
        EXPECT_FALSE(HasTranslation("X"));
    }
}

TEST_F(CatalogueTest, InstallReplacesWholeTable)
{
    InstallMessageCatalogue({{"A", "a"}, {"B", "b"}});
    InstallMessageCatalogue({{"B", "bee"}});
    EXPECT_FALSE(HasTranslation("A"));
    EXPECT_EQ(Translate("A"), "A");
    EXPECT_EQ(Translate("B"), "bee");
}

TEST_F(CatalogueTest, LookupIsExactAndCaseSensitive)
{
    InstallMessageCatalogue(ParseMessageCatalogue(Document(R"(<message id="Close">Shut</message>)")));
    EXPECT_EQ(Translate("Close"), "Shut");
    EXPECT_TRUE(HasTranslation("Close"));
    for (const char* other : {"close", "CLOSE", "Close ", " Close", "Clos", ""}) {
        EXPECT_FALSE(HasTranslation(other)) << other;
        EXPECT_EQ(Translate(other), other);
    }
}

TEST_F(CatalogueTest, DefaultTranslatorUsesTable)
{
    InstallMessageCatalogue({{"ID", "text"}});
    const CDefaultTranslator translator;
    EXPECT_TRUE(translator.HasTranslation("ID"));
    EXPECT_EQ(translator.Translate("ID"), "text");
    EXPECT_FALSE(translator.HasTranslation("OTHER"));
    EXPECT_EQ(translator.Translate("OTHER"), "OTHER");
}

// The embedded catalogue, as the program loads it.

TEST(EmbeddedCatalogue, HoldsThirteenMessagesInOrder)
{
    const std::string document = EmbeddedDocument();
    ASSERT_TRUE(document.starts_with("\xEF\xBB\xBF")) << "the catalogue carries a byte-order mark";
    const std::regex idPattern(R"re(<message\s+id="([^"]*)")re");
    std::vector<std::string> ids;
    for (auto it = std::sregex_iterator(document.begin(), document.end(), idPattern); it != std::sregex_iterator(); ++it)
        ids.push_back((*it)[1]);
    const std::vector<std::string> expected{"TRALVEX_APP_TITLE",
                                            "Dialog",
                                            "Close",
                                            "USAGE_TITLE",
                                            "USAGE_TEXT",
                                            "ERROR_NOT_A_BOOK_TITLE",
                                            "ERROR_NOT_A_BOOK_TEXT",
                                            "ERROR_PPT_NOT_INSTALLED_TITLE",
                                            "ERROR_PPT_NOT_INSTALLED_TEXT",
                                            "ERROR_FILE_CORRUPTED_TITLE",
                                            "ERROR_FILE_CORRUPTED_TEXT",
                                            "ERROR_FILE_CORRUPTED_HLINK_TEXT",
                                            "SUPPORT_LINK_URL"};
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(ParseMessageCatalogue(document).size(), expected.size());
}

struct EmbeddedText {
    const char* id;
    const char* text;
};

void PrintTo(const EmbeddedText& c, std::ostream* os) { *os << c.id; }

class EmbeddedTextTest : public ::testing::TestWithParam<EmbeddedText> {
protected:
    static void SetUpTestSuite() { LoadMessageCatalogue(); }
};

TEST_P(EmbeddedTextTest, LoadsText)
{
    EXPECT_TRUE(HasTranslation(GetParam().id));
    EXPECT_EQ(Translate(GetParam().id), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, EmbeddedTextTest,
    ::testing::Values(
        EmbeddedText{"TRALVEX_APP_TITLE", "Veltrana Tralvex"},
        EmbeddedText{"Dialog", "Dialog"},
        EmbeddedText{"Close", "Close"},
        EmbeddedText{"USAGE_TITLE", "Utulity for updating Book Interaction"},
        EmbeddedText{"USAGE_TEXT", "Drag the source file of the Book interaction and drop it to the updater icon to "
                                   "convert your book to the PowerPoint format."},
        EmbeddedText{"ERROR_NOT_A_BOOK_TITLE", "This is not a book"},
        EmbeddedText{"ERROR_NOT_A_BOOK_TEXT", "Drag the source file of the Book interaction and drop it to the "
                                              "updater icon to convert your book to the PowerPoint format."},
        EmbeddedText{"ERROR_PPT_NOT_INSTALLED_TITLE", "Microsoft PowerPoint is not installed"},
        EmbeddedText{"ERROR_PPT_NOT_INSTALLED_TEXT", "For update the Book interaction requires Microsoft "
                                                     "PowerPoint.\n\nPlease install PowerPoint and try again."},
        EmbeddedText{"ERROR_FILE_CORRUPTED_TITLE", "File is corrupt"},
        EmbeddedText{"ERROR_FILE_CORRUPTED_TEXT",
                     "Failed to update Book interaction due to an unexpected error.\nTry the operation again. If the "
                     "problem continues, contact our technical support."},
        EmbeddedText{"ERROR_FILE_CORRUPTED_HLINK_TEXT", "Contact the Veltrana support center"}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(EmbeddedCatalogue, PowerPointBodyHasEmptyLineAndNoBackslash)
{
    LoadMessageCatalogue();
    const std::string text = Translate("ERROR_PPT_NOT_INSTALLED_TEXT");
    EXPECT_NE(text.find("PowerPoint.\n\nPlease"), std::string::npos);
    EXPECT_EQ(text.find('\\'), std::string::npos);
}

TEST(EmbeddedCatalogue, SupportAddressIsAbsoluteHttpsWithoutQuery)
{
    LoadMessageCatalogue();
    ASSERT_TRUE(HasTranslation("SUPPORT_LINK_URL"));
    const std::string url = Translate("SUPPORT_LINK_URL");
    EXPECT_TRUE(std::regex_match(url, std::regex(R"(https://[A-Za-z0-9.-]+\.[A-Za-z]+(/[A-Za-z0-9._~/-]*)?)"))) << url;
}

TEST(EmbeddedCatalogue, MissingIdStandsForItself)
{
    LoadMessageCatalogue();
    EXPECT_EQ(Translate("NO_SUCH_MESSAGE"), "NO_SUCH_MESSAGE");
    EXPECT_FALSE(HasTranslation("NO_SUCH_MESSAGE"));
}

}  // namespace
