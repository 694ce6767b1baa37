#include "export/ConversionErrors.h"
#include "app/ConversionJob.h"
#include "book/UnknownFileTypeError.h"
#include "export/PresentationConverter.h"
#include "support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include "support/CaseNames.h"

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

enum class Outcome { Converted, UnknownFileType, FileCorrupted };

ConversionStages Stages(std::function<void()> packageFailure, int* convertCalls)
{
    ConversionStages stages;
    stages.openPackage = [packageFailure](const fs::path&, const fs::path&) {
        if (packageFailure)
            packageFailure();
        return std::shared_ptr<const bookparser::Book>();
    };
    stages.convert = [convertCalls](PresentationConverter& converter, const std::shared_ptr<const bookparser::Book>&,
                                    const fs::path& source) {
        ++*convertCalls;
        EXPECT_TRUE(fs::is_directory(converter.GetTextureFolder()));
        return fs::path(source).replace_extension(".pptx");
    };
    return stages;
}

struct JobCase {
    const char* name;
    const char* source;
    std::function<void()> failure;
    Outcome expected;
};

void PrintTo(const JobCase& c, std::ostream* os) { *os << c.name; }

class ConversionJobTranslation : public ::testing::TestWithParam<JobCase> {};

TEST_P(ConversionJobTranslation, TranslatesPackageFailures)
{
    ScratchFolder work;
    int convertCalls = 0;
    const auto stages = Stages(GetParam().failure, &convertCalls);
    Outcome outcome = Outcome::Converted;
    try {
        const fs::path written = RunConversionJob(GetParam().source, work.Path(), {}, stages);
        EXPECT_EQ(written, fs::path(GetParam().source).replace_extension(".pptx"));
    } catch (const UnknownFileTypeError&) {
        outcome = Outcome::UnknownFileType;
    } catch (const FileCorruptedError& e) {
        outcome = Outcome::FileCorrupted;
        EXPECT_TRUE(e.GetPowerPointDescription().empty());
    }
    EXPECT_EQ(outcome, GetParam().expected);
    EXPECT_EQ(convertCalls, outcome == Outcome::Converted ? 1 : 0);
    // The texture folder exists only once the package stage succeeded.
    EXPECT_EQ(fs::exists(work / "res_textures"), outcome == Outcome::Converted);
}

void NotAZip() { throw std::runtime_error("Can't unzip book"); }
void NoBook() { throw bookparser::UnknownFileTypeError(); }
void NotAnException() { throw 42; }

INSTANTIATE_TEST_SUITE_P(
    Rules, ConversionJobTranslation,
    ::testing::Values(
        JobCase{"valid_book_any_extension", "/x/lesson.zip", nullptr, Outcome::Converted},
        JobCase{"broken_book_extension_is_corrupted", "/x/lesson.mordx", NotAZip, Outcome::FileCorrupted},
        JobCase{"capital_extension_is_not_a_book", "/x/lesson.MORDX", NotAZip, Outcome::UnknownFileType},
        JobCase{"other_extension_is_not_a_book", "/x/lesson.txt", NotAZip, Outcome::UnknownFileType},
        JobCase{"no_extension_is_not_a_book", "/x/lesson", NotAZip, Outcome::UnknownFileType},
        JobCase{"model_signal_wins_over_extension", "/x/lesson.mordx", NoBook, Outcome::UnknownFileType},
        JobCase{"non_standard_throw_counts_too", "/x/a.mordx", NotAnException, Outcome::FileCorrupted},
        JobCase{"extension_only_of_last_element", "/x/a.mordx/book", NotAZip, Outcome::UnknownFileType},
        JobCase{"double_extension", "/x/a.mordx.bak", NotAZip, Outcome::UnknownFileType}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HasBookExtension, LastDotOfLastElement)
{
    EXPECT_TRUE(HasBookExtension("a.b.mordx"));
    EXPECT_TRUE(HasBookExtension(".mordx"));
    EXPECT_FALSE(HasBookExtension("mordx"));
    EXPECT_FALSE(HasBookExtension(".."));
    EXPECT_FALSE(HasBookExtension("a.mordx "));
}

TEST(ConversionJob, ConverterErrorsPassThrough)
{
    ScratchFolder work;
    ConversionStages stages;
    stages.openPackage = [](const fs::path&, const fs::path&) { return std::shared_ptr<const bookparser::Book>(); };
    stages.convert = [](PresentationConverter&, const std::shared_ptr<const bookparser::Book>&,
                        const fs::path&) -> fs::path { throw PptNotInstalledError(); };
    EXPECT_THROW(RunConversionJob("a.mordx", work.Path(), {}, stages), PptNotInstalledError);
}

TEST(ConversionJob, TextureFolderThatCannotBeCreatedPassesTheError)
{
    ScratchFolder work;
    std::ofstream(work / "res_textures") << "in the way";
    int calls = 0;
    EXPECT_THROW(RunConversionJob("a.mordx", work.Path(), {}, Stages(nullptr, &calls)), fs::filesystem_error);
    EXPECT_EQ(calls, 0);
}

}  // namespace
