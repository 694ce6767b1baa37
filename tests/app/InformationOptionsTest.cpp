#include "app/InformationOptions.h"
#include "support/ScratchFolder.h"
#include "ui/MessageCatalogue.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace ui;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

struct InformationCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* existingFile;  // created in the current folder first, or null
    const char* printedStart;  // null: nothing printed, the arguments run a mode
};

void PrintTo(const InformationCase& c, std::ostream* os) { *os << c.name; }

class InformationOptions : public ::testing::TestWithParam<InformationCase> {};

TEST_P(InformationOptions, PrintOnlyWhenNoFileHasTheName)
{
    LoadMessageCatalogue();
    ScratchFolder dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    if (GetParam().existingFile)
        std::ofstream(GetParam().existingFile) << "book";
    std::ostringstream out;
    const bool printed = PrintInformation(GetParam().arguments, out);
    fs::current_path(previous);

    EXPECT_EQ(printed, GetParam().printedStart != nullptr);
    if (GetParam().printedStart)
        EXPECT_TRUE(out.str().starts_with(GetParam().printedStart)) << out.str();
    else
        EXPECT_EQ(out.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, InformationOptions,
    ::testing::Values(InformationCase{"help", {"--help"}, nullptr, "Usage:\n  tralvex BOOK"},
                      InformationCase{"version", {"--version"}, nullptr, "tralvex 1."},
                      InformationCase{"short_help", {"-h"}, nullptr, "Usage:\n  tralvex BOOK"},
                      InformationCase{"short_version", {"-V"}, nullptr, "tralvex 1."},
                      InformationCase{"file_named_h_is_a_book", {"-h"}, "-h", nullptr},
                      InformationCase{"file_named_V_is_a_book", {"-V"}, "-V", nullptr},
                      InformationCase{"lower_v_is_a_path", {"-v"}, nullptr, nullptr},
                      InformationCase{"help_with_more_arguments", {"--help", "x"}, nullptr, "Usage:"},
                      InformationCase{"file_named_help_is_a_book", {"--help"}, "--help", nullptr},
                      InformationCase{"file_named_version_is_a_book", {"--version"}, "--version", nullptr},
                      InformationCase{"other_file_does_not_matter", {"--help"}, "--version", "Usage:"},
                      InformationCase{"capitals_are_a_path", {"--HELP"}, nullptr, nullptr},
                      InformationCase{"second_position_is_not_an_option", {"book", "--help"}, nullptr, nullptr},
                      InformationCase{"no_arguments", {}, nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UsageText, EndsWithTheCatalogueUsageText)
{
    LoadMessageCatalogue();
    EXPECT_TRUE(UsageText().ends_with("\n\n" + Translate("USAGE_TEXT") + "\n"));
    EXPECT_NE(UsageText().find("tralvex --silent SOURCE OUTPUT"), std::string::npos);
}

TEST(UsageText, NamesEveryOptionTheExitStatusAndTheManual)
{
    LoadMessageCatalogue();
    for (const char* text : {"\n  tralvex --silent SOURCE OUTPUT ", "\n  --jobs N", "--jobs=N", "\n  --resume ",
                             "-h | --help", "-V | --version", "\n  tralvex --choose-book [BOOK] ",
                             "exit status is always 0", "man tralvex"})
        EXPECT_NE(UsageText().find(text), std::string::npos) << text;
}

}  // namespace
