#include "export/ConversionErrors.h"
#include "app/ConversionJob.h"
#include "book/UnknownFileTypeError.h"
#include "export/PresentationConverter.h"
#include "support/TestZip.h"
#include "support/ScratchFolder.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include "support/CaseNames.h"

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

enum class Outcome { Converted,
                     UnknownFileType,
                     FileCorrupted };

// Opens no book, or fails as told.
class FakeOpener final : public BookOpener {
public:
    explicit FakeOpener(std::function<void()> failure = {}) : m_failure(std::move(failure)) {}
    std::shared_ptr<const bookparser::Book> Open(const fs::path&, const fs::path&) const override
    {
        if (m_failure)
            m_failure();
        return nullptr;
    }

private:
    std::function<void()> m_failure;
};

// Counts its calls and names the presentation after the source.
class CountingConverter final : public BookConverter {
public:
    fs::path Convert(PresentationConverter& converter, const std::shared_ptr<const bookparser::Book>&,
                     const fs::path& source) const override
    {
        ++calls;
        EXPECT_TRUE(fs::is_directory(converter.GetTextureFolder()));
        return fs::path(source).replace_extension(".pptx");
    }
    mutable int calls = 0;
};

struct JobCase {
    const char* name;
    const char* source;
    std::function<void()> failure;
    Outcome expected;
};

void PrintTo(const JobCase& c, std::ostream* os) { *os << c.source; }

class ConversionJobTranslation : public ::testing::TestWithParam<JobCase> {};

TEST_P(ConversionJobTranslation, TranslatesPackageFailures)
{
    ScratchFolder work;
    const CountingConverter converter;
    Outcome outcome = Outcome::Converted;
    try {
        const fs::path written = RunConversionJob(GetParam().source, work.Path(), {}, FakeOpener(GetParam().failure),
                                                  converter);
        EXPECT_EQ(written, fs::path(GetParam().source).replace_extension(".pptx"));
    } catch (const UnknownFileTypeError&) {
        outcome = Outcome::UnknownFileType;
    } catch (const FileCorruptedError& e) {
        outcome = Outcome::FileCorrupted;
        EXPECT_TRUE(e.GetPowerPointDescription().empty());
    }
    EXPECT_EQ(outcome, GetParam().expected);
    EXPECT_EQ(converter.calls, outcome == Outcome::Converted ? 1 : 0);
    // The texture folder exists only once the opener succeeded.
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
    struct NoEngine final : BookConverter {
        fs::path Convert(PresentationConverter&, const std::shared_ptr<const bookparser::Book>&,
                         const fs::path&) const override
        {
            throw PptNotInstalledError();
        }
    };
    EXPECT_THROW(RunConversionJob("a.mordx", work.Path(), {}, FakeOpener(), NoEngine()), PptNotInstalledError);
}

TEST(ConversionJob, TextureFolderThatCannotBeCreatedPassesTheError)
{
    ScratchFolder work;
    std::ofstream(work / "res_textures") << "in the way";
    const CountingConverter converter;
    EXPECT_THROW(RunConversionJob("a.mordx", work.Path(), {}, FakeOpener(), converter), fs::filesystem_error);
    EXPECT_EQ(converter.calls, 0);
}

// Real packages through the real opener and converter: the class follows the rules above,
// and the text says why, so that a log of failures can be acted on.
struct PackageCase {
    const char* name;
    const char* file;
    std::function<void(const fs::path&)> write;  // nothing: the file is missing
    Outcome expected;
    const char* reason;
};

void PrintTo(const PackageCase& c, std::ostream* os) { *os << c.name; }

class ConversionJobReason : public ::testing::TestWithParam<PackageCase> {};

TEST_P(ConversionJobReason, SaysWhyThePackageFailed)
{
    const PackageCase& c = GetParam();
    ScratchFolder scratch;
    const fs::path source = scratch / c.file;
    if (c.write)
        c.write(source);
    fs::create_directory(scratch / "work");
    Outcome outcome = Outcome::Converted;
    std::string reason;
    try {
        RunConversionJob(source, scratch / "work", scratch / "out");
    } catch (const FileCorruptedError& e) {
        outcome = Outcome::FileCorrupted;
        reason = e.what();
    } catch (const UnknownFileTypeError& e) {
        outcome = Outcome::UnknownFileType;
        reason = e.what();
    }
    EXPECT_EQ(outcome, c.expected);
    EXPECT_THAT(reason, ::testing::HasSubstr(c.reason));
}

void WriteText(const fs::path& file) { testsupport::WriteFileBytes(file, "just some text\n"); }

void WriteBook(const fs::path& file, const std::string& xml) { TestZipWriter(file).AddFile("book", xml).Close(); }

// A whole archive whose stored "book" entry has one byte changed.
void WriteDamagedEntry(const fs::path& file)
{
    TestZipWriter(file).Add(TestZipEntry("book", "<book pageAspectRatio=\"0.7\"/>").Method(0)).Close();
    std::string bytes = testsupport::ReadFileBytes(file);
    bytes[bytes.find("<book") + 1] = 'c';
    testsupport::WriteFileBytes(file, bytes);
}

void WriteTruncated(const fs::path& file)
{
    TestZipWriter(file).AddFile("book", std::string(5000, 'x')).Close();
    const std::string bytes = testsupport::ReadFileBytes(file);
    testsupport::WriteFileBytes(file, bytes.substr(0, bytes.size() - 30));
}

INSTANTIATE_TEST_SUITE_P(
    Packages, ConversionJobReason,
    ::testing::Values(
        PackageCase{"text_with_the_book_extension", "lesson.mordx", WriteText, Outcome::FileCorrupted,
                    "not a zip archive"},
        PackageCase{"text_with_another_extension", "notes.txt", WriteText, Outcome::UnknownFileType,
                    "not a zip archive"},
        PackageCase{"missing_file", "lesson.mordx", nullptr, Outcome::FileCorrupted,
                    "the package cannot be opened: No such file or directory"},
        PackageCase{"truncated_archive", "lesson.mordx", WriteTruncated, Outcome::FileCorrupted,
                    "the archive is damaged (its table of entries is missing: the file may be truncated)"},
        PackageCase{"damaged_entry", "lesson.mordx", WriteDamagedEntry, Outcome::FileCorrupted,
                    "the archive is damaged (CRC mismatch in entry \"book\")"},
        PackageCase{"empty_archive", "lesson.mordx", [](const fs::path& f) { TestZipWriter(f).Close(); },
                    Outcome::FileCorrupted, "the archive has no entries"},
        PackageCase{"malformed_book", "lesson.mordx",
                    [](const fs::path& f) { WriteBook(f, "<?xml version=\"1.0\"?>\n<book>\n<page>\n</book>\n"); },
                    Outcome::FileCorrupted, "the book is not well-formed XML (line 4: "},
        PackageCase{"invalid_book", "lesson.mordx",
                    [](const fs::path& f) { WriteBook(f, "<book><page pageType=\"whiteSheet\"/></book>"); },
                    Outcome::FileCorrupted, "the book description is invalid (expected element 'background')"},
        PackageCase{"archive_without_a_book", "lesson.mordx",
                    [](const fs::path& f) { TestZipWriter(f).AddFile("content/book", "<book/>").Close(); },
                    Outcome::UnknownFileType, "no book description in the package"}),
    testnames::ByName());

// The file size limit stands in for a full disk: it fails writes alike.
TEST(ConversionJobDeathTest, UnpackingOnAFullDiskSaysSo)
{
    ScratchFolder scratch;
    TestZipWriter(scratch / "lesson.mordx").AddFile("book", "<book/>").AddFile("big.bmp", std::string(100000, 'x')).Close();
    fs::create_directory(scratch / "work");
    const auto unpackOnFullDisk = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            RunConversionJob(scratch / "lesson.mordx", scratch / "work", scratch / "out");
        } catch (const FileCorruptedError& e) {
            std::fputs(e.what(), stderr);
            std::_Exit(0);
        }
        std::_Exit(1);
    };
    EXPECT_EXIT(unpackOnFullDisk(), ::testing::ExitedWithCode(0), "the file size limit was reached while unpacking");
}

}  // namespace
