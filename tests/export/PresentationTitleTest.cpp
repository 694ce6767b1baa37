#include "book/Book.h"
#include "export/PresentationConverter.h"
#include "support/ScratchFolder.h"
#include "support/ZipReader.h"

#include <gtest/gtest.h>

#include <string>

using namespace exporting;

namespace fs = std::filesystem;

namespace {

std::string ReadEntry(const fs::path& zip, const char* name)
{
    const auto entries = testsupport::ReadZip(zip);
    const auto found = entries.find(name);
    return found != entries.end() ? found->second : std::string();
}

struct TitleCase {
    const char* name;
    const char* attribute;  // the book element's attributes
    const char* expected;  // in docProps/core.xml, or nothing when empty
};

void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.name; }

class BookTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(BookTitle, BecomesTheDocumentTitle)
{
    const testsupport::ScratchFolder folder("title");
    const fs::path& root = folder.Path();
    folder.Write("book/book", std::string("<book pageAspectRatio=\"1.4143\"") + GetParam().attribute + "><page pageType=\"whiteSheet\"><background/></page></book>");
    const bookparser::Book book(root / "book");
    const fs::path written = PresentationConverter(root / "work", root).Convert(book, root / "b.mordx");
    const std::string core = ReadEntry(written, "docProps/core.xml");
    ASSERT_FALSE(core.empty());
    if (*GetParam().expected)
        EXPECT_NE(core.find(GetParam().expected), std::string::npos) << core;
    else
        EXPECT_EQ(core.find("dc:title"), std::string::npos) << core;
}

INSTANTIATE_TEST_SUITE_P(Books, BookTitle, ::testing::Values(TitleCase{"Plain", " title=\"Holiday 2024\"", "<dc:title>Holiday 2024</dc:title>"}, TitleCase{"Escaped", " title=\"Tom &amp; J\xC3\xBCrgen &lt;3\"", "<dc:title>Tom &amp; J\xC3\xBCrgen &lt;3</dc:title>"}, TitleCase{"None", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
