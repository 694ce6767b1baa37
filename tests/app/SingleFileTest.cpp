#include "export/ConversionErrors.h"
#include "app/RunModes.h"
#include "support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include "support/CaseNames.h"

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

struct Recorder {
    std::vector<std::string> events;
    fs::path workingFolder;
};

SingleFileActions Actions(Recorder& r, const fs::path& base, std::function<fs::path()> conversion)
{
    SingleFileActions a;
    a.workingFolderBase = [base] { return base.string() + "/"; };
    a.convert = [&r, conversion](const fs::path&, const fs::path& work) {
        r.workingFolder = work;
        EXPECT_TRUE(fs::is_directory(work));
        std::ofstream(work / "extracted") << "x";
        return conversion();
    };
    a.reveal = [&r](const fs::path& p) { r.events.push_back("reveal " + p.string()); };
    a.showPptNotInstalled = [&r] { r.events.push_back("ppt"); };
    a.showNotABook = [&r] { r.events.push_back("notabook"); };
    a.showFileCorrupted = [&r](const std::string& d) { r.events.push_back("corrupted:" + d); };
    return a;
}

struct SingleCase {
    const char* name;
    std::function<fs::path()> conversion;
    std::vector<std::string> expected;
};

void PrintTo(const SingleCase& c, std::ostream* os)
{
    std::string events;
    for (const std::string& event : c.expected)
        events += (events.empty() ? "" : ", ") + event;
    *os << (events.empty() ? "nothing shown" : events);
}

class SingleFileMode : public ::testing::TestWithParam<SingleCase> {};

TEST_P(SingleFileMode, MapsOutcomeToMessageAndCleansUp)
{
    ScratchFolder dir;
    std::ofstream(dir / "book.mordx") << "zip";
    Recorder r;
    RunSingleFile((dir / "book.mordx").string(), Actions(r, dir.Path(), GetParam().conversion));
    EXPECT_EQ(r.events, GetParam().expected);
    EXPECT_EQ(r.workingFolder, dir / "ravelo");
    EXPECT_FALSE(fs::exists(r.workingFolder));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SingleFileMode,
    ::testing::Values(
        SingleCase{"success_reveals", [] { return fs::path("/out/book.pptx"); }, {"reveal /out/book.pptx"}},
        SingleCase{"ppt_missing", []() -> fs::path { throw PptNotInstalledError(); }, {"ppt"}},
        SingleCase{"not_a_book", []() -> fs::path { throw UnknownFileTypeError(); }, {"notabook"}},
        SingleCase{"cancelled_is_quiet", []() -> fs::path { throw UserCancelledError(); }, {}},
        SingleCase{"corrupted_carries_description",
                   []() -> fs::path { throw FileCorruptedError("16.0, Build: 1 64-bit"); },
                   {"corrupted:16.0, Build: 1 64-bit"}},
        SingleCase{"anything_else_is_corrupted_without_description",
                   []() -> fs::path { throw std::runtime_error("x"); },
                   {"corrupted:"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SingleFileMode, MissingPathDoesNothing)
{
    ScratchFolder dir;
    Recorder r;
    bool converted = false;
    auto actions = Actions(r, dir.Path(), [&] {
        converted = true;
        return fs::path();
    });
    RunSingleFile((dir / "missing.mordx").string(), actions);
    RunSingleFile("--silent", actions);
    EXPECT_FALSE(converted);
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(SingleFileMode, UnusableWorkingFolderBaseShowsCorrupted)
{
    ScratchFolder dir;
    std::ofstream(dir / "book.mordx") << "zip";
    std::ofstream(dir / "base") << "a file, not a folder";
    Recorder r;
    auto actions = Actions(r, dir / "base", [] { return fs::path("/x.pptx"); });
    RunSingleFile((dir / "book.mordx").string(), actions);
    EXPECT_EQ(r.events, std::vector<std::string>{"corrupted:"});
}

}  // namespace
