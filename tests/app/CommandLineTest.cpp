#include "app/CommandLine.h"
#include "app/RunModes.h"

#include <gtest/gtest.h>
#include "support/CaseNames.h"

using namespace app;

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string line;
    Args expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, Splits)
{
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"empty", "", {}},
        SplitCase{"only_blanks", " \t  ", {}},
        SplitCase{"words", "a bc  d", {"a", "bc", "d"}},
        SplitCase{"tabs_and_controls_separate", "a\tb\x01"
                                                "c",
                  {"a", "b", "c"}},
        SplitCase{"quoted_spaces_stay", "\"C:\\My Books\\a.mordx\" x", {"C:\\My Books\\a.mordx", "x"}},
        SplitCase{"unquoted_path_with_spaces_splits", "My Books/a.mordx", {"My", "Books/a.mordx"}},
        SplitCase{"empty_quotes_give_empty_argument", "\"\"", {""}},
        SplitCase{"empty_quotes_between", "a \"\" b", {"a", "", "b"}},
        SplitCase{"backslash_is_ordinary", "a\\\"b", {"a\\ b"}},
        SplitCase{"quote_inside_word_becomes_space", "ab\"c d\"", {"ab c", "d "}},
        SplitCase{"quoted_part_after_word", "x\"y\"", {"x y "}},
        SplitCase{"quote_ends_token_without_blank", "\"a\"b", {"a", "b"}},
        SplitCase{"unterminated_quote_dropped", "a \"b c", {"a"}},
        SplitCase{"utf8_is_ordinary", "\xD0\xBC\xD0\xB8\xD1\x80 \"\xE4\xB8\xAD \xE6\x96\x87\"", {"\xD0\xBC\xD0\xB8\xD1\x80", "\xE4\xB8\xAD \xE6\x96\x87"}},
        SplitCase{"silent_batch", "--silent src out", {"--silent", "src", "out"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
    const char* name;
    Args arguments;
    RunMode expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class SelectRunModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SelectRunModeTest, Selects)
{
    EXPECT_EQ(SelectRunMode(GetParam().arguments), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectRunModeTest,
    ::testing::Values(ModeCase{"none", {}, RunMode::Usage},
                      ModeCase{"one_path", {"a.mordx"}, RunMode::SingleFile},
                      ModeCase{"two_paths", {"a.mordx", "b"}, RunMode::SingleFile},
                      ModeCase{"silent_alone", {"--silent"}, RunMode::SingleFile},
                      ModeCase{"silent_one_more", {"--silent", "src"}, RunMode::SingleFile},
                      ModeCase{"silent_two_more", {"--silent", "src", "out"}, RunMode::Batch},
                      ModeCase{"silent_three_more", {"--silent", "src", "out", "x"}, RunMode::Batch},
                      ModeCase{"options_before_folders", {"--silent", "--jobs", "2", "src", "out"}, RunMode::Batch},
                      ModeCase{"options_between_folders", {"--silent", "src", "--resume", "out"}, RunMode::Batch},
                      ModeCase{"jobs_value_is_no_folder", {"--silent", "--jobs", "2", "src"}, RunMode::SingleFile},
                      ModeCase{"unknown_option_is_no_folder", {"--silent", "--bogus", "src"}, RunMode::SingleFile},
                      ModeCase{"capital_silent", {"--SILENT", "a", "b"}, RunMode::SingleFile},
                      ModeCase{"silent_not_first", {"a", "--silent", "b"}, RunMode::SingleFile},
                      ModeCase{"silent_prefix_only", {"--silentx", "a", "b"}, RunMode::SingleFile}),
    [](const auto& info) { return std::string(info.param.name); });

struct FoldersCase {
    const char* name;
    Args arguments;
    Args folders;
    Args unknownOptions;
};

void PrintTo(const FoldersCase& c, std::ostream* os) { *os << c.name; }

class BatchFoldersTest : public ::testing::TestWithParam<FoldersCase> {};

TEST_P(BatchFoldersTest, AreTheArgumentsThatAreNoOptions)
{
    const BatchArguments parsed = ParseBatchArguments(GetParam().arguments);
    EXPECT_EQ(parsed.folders, GetParam().folders);
    EXPECT_EQ(parsed.unknownOptions, GetParam().unknownOptions);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BatchFoldersTest,
    ::testing::Values(FoldersCase{"after_silent", {"--silent", "src", "out"}, {"src", "out"}, {}},
                      FoldersCase{"options_first", {"--silent", "--jobs", "2", "--resume", "src", "out"}, {"src", "out"}, {}},
                      FoldersCase{"options_between", {"--silent", "src", "--jobs=2", "out", "--resume"}, {"src", "out"}, {}},
                      FoldersCase{"jobs_takes_the_next_argument", {"--silent", "--jobs", "src", "out"}, {"out"}, {}},
                      FoldersCase{"unknown_options_skipped", {"--silent", "-v", "src", "--x", "out"}, {"src", "out"}, {"-v", "--x"}},
                      FoldersCase{"extra_folders_kept", {"--silent", "a", "b", "c"}, {"a", "b", "c"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
