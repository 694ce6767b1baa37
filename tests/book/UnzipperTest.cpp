#include "book/UnzipperTestFixture.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include "support/CaseNames.h"

using ::testing::ElementsAre;

namespace {

using Files = std::vector<std::string>;

TEST_F(UnzipperTest, MissingOrNonZipPackageCannotBeOpened)
{
    WriteFileBytes(root / "text.mordx", "this is just some text, not an archive\n");
    mkfifo((root / "fifo.mordx").c_str(), 0600);  // must not block the open
    for (const fs::path& path : {root / "missing.mordx", root / "text.mordx", root / "fifo.mordx", root / "outside",
                                 fs::path()}) {
        try {
            CUnzipper unzipper(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "cannot open file") << path;
        }
    }
}

TEST_F(UnzipperTest, TruncatedArchiveCannotBeOpened)
{
    TestZipWriter(package).AddFile("book", std::string(5000, 'x')).Close();
    const std::string whole = ReadFileBytes(package);
    WriteFileBytes(package, whole.substr(0, whole.size() - 30));  // cuts the end of central directory
    EXPECT_THROW(CUnzipper{package}, std::runtime_error);
}

// minizip refuses an archive that is nothing but its end record; behind a
// prefix (a self-extractor stub, say) the same record opens with no entries.
TEST_F(UnzipperTest, EmptyArchiveFailsExtraction)
{
    TestZipWriter(package).Close();
    EXPECT_THROW(CUnzipper{package}, std::runtime_error);

    WriteFileBytes(package, "stub" + ReadFileBytes(package));
    CUnzipper unzipper(package);
    EXPECT_EQ(unzipper.GetEntryCount(), 0u);
    EXPECT_FALSE(unzipper.GoToFirstEntry());
    EXPECT_FALSE(unzipper.ExtractAll(dest));
}

TEST_F(UnzipperTest, ExtractsFilesAndFoldersWithEitherSeparator)
{
    const std::string picture(200000, '\x7f');
    TestZipWriter(package)
        .AddFile("book", "<Book/>")
        .AddFile("images/one.png", picture)
        .AddFile("images\\sub\\two.png", "two")
        .AddFolder("empty/")
        .AddFolder("deep\\er\\")
        .Close();
    ASSERT_TRUE(Extract());
    EXPECT_THAT(DestinationListing(), ElementsAre("book", "deep/", "deep/er/", "empty/", "images/",
                                                  "images/one.png", "images/sub/", "images/sub/two.png"));
    EXPECT_EQ(ReadFileBytes(dest / "book"), "<Book/>");
    EXPECT_EQ(ReadFileBytes(dest / "images" / "one.png"), picture);
    EXPECT_EQ(ReadFileBytes(dest / "images" / "sub" / "two.png"), "two");
}

TEST_F(UnzipperTest, BookInsideSubFolderStaysThere)
{
    TestZipWriter(package).AddFile("content/book", "<Book/>").Close();
    ASSERT_TRUE(Extract());
    EXPECT_THAT(DestinationListing(), ElementsAre("content/", "content/book"));
}

TEST_F(UnzipperTest, FolderNamedBookIsCreatedAsFolder)
{
    TestZipWriter(package).AddFolder("book/").AddFile("book/page.png", "p").Close();
    ASSERT_TRUE(Extract());
    EXPECT_TRUE(fs::is_directory(dest / "book"));
    EXPECT_EQ(ReadFileBytes(dest / "book" / "page.png"), "p");
}

TEST_F(UnzipperTest, FolderEntryWithoutDirectoryAttributeFails)
{
    TestZipWriter(package).AddFile("book", "b").Add(TestZipEntry("pictures/").Method(0)).Close();
    EXPECT_FALSE(Extract());
}

TEST_F(UnzipperTest, EntryInformationDescribesEveryEntry)
{
    const std::string data(1000, 'a');
    TestZipWriter(package)
        .Add(TestZipEntry("dir\\file.txt", data).Date(0x4E2F6DAF).Attributes(0x20))
        .AddFolder("dir/")
        .Close();
    CUnzipper unzipper(package);
    EXPECT_EQ(unzipper.GetEntryCount(), 2u);
    ASSERT_TRUE(unzipper.GoToFirstEntry());
    ZipEntryInfo info;
    ASSERT_TRUE(unzipper.GetEntryInfo(info));
    EXPECT_EQ(info.name, "dir/file.txt");
    EXPECT_EQ(info.uncompressedSize, 1000u);
    EXPECT_LT(info.compressedSize, 1000u);
    EXPECT_EQ(info.crc32, Crc32(data));
    EXPECT_EQ(info.compressionMethod, static_cast<std::uint32_t>(Z_DEFLATED));
    EXPECT_EQ(info.dosDateTime, 0x4E2F6DAFu);
    EXPECT_EQ(info.externalAttributes, 0x20u);
    EXPECT_FALSE(info.isDirectory);
    ASSERT_TRUE(unzipper.GoToNextEntry());
    ASSERT_TRUE(unzipper.GetEntryInfo(info));
    EXPECT_EQ(info.name, "dir/");
    EXPECT_TRUE(info.isDirectory);
    EXPECT_FALSE(unzipper.GoToNextEntry());

    unzipper.Close();
    EXPECT_EQ(unzipper.GetEntryCount(), 0u);
    EXPECT_FALSE(unzipper.GetEntryInfo(info));
    EXPECT_FALSE(unzipper.ExtractAll(dest));
    EXPECT_TRUE(unzipper.Open(package));
    EXPECT_EQ(unzipper.GetEntryCount(), 2u);
}

struct NameCase {
    std::string raw;
    std::uint32_t flags;
    std::string expected;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.raw.size() << " bytes " << (c.flags ? "utf8" : "cp437"); }

class UnzipperNameTest : public UnzipperTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(UnzipperNameTest, EntryIsWrittenUnderDecodedName)
{
    const NameCase& c = GetParam();
    TestZipWriter(package).Add(TestZipEntry(c.raw, "x").Flags(c.flags)).Close();
    {
        CUnzipper unzipper(package);
        ASSERT_TRUE(unzipper.GoToFirstEntry());
        ZipEntryInfo info;
        ASSERT_TRUE(unzipper.GetEntryInfo(info));
        EXPECT_EQ(info.name, c.expected);
    }
    ASSERT_TRUE(Extract());
    EXPECT_EQ(ReadFileBytes(dest / c.expected), "x");
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnzipperNameTest,
    ::testing::Values(NameCase{"B\xC3\xBC"
                               "cher/\xC3\xA9t\xC3\xA9.png",
                               0x0800, "B\xC3\xBC"
                                       "cher/\xC3\xA9t\xC3\xA9.png"},
                      // The same bytes without the flag are two CP437 characters each.
                      NameCase{"B\xC3\xBC"
                               "cher",
                               0, "B\xE2\x94\x9C\xE2\x95\x9D"
                                  "cher"},
                      NameCase{"\x81"
                               "ber\\Stra\xE1"
                               "e.png",
                               0, "\xC3\xBC"
                                  "ber/Stra\xC3\x9F"
                                  "e.png"},
                      NameCase{"\xEF\xBB\xBF"
                               "book",
                               0x0800, "book"},
                      NameCase{"bad\xFF.png", 0x0800, "bad\xEF\xBF\xBD.png"},
                      NameCase{"\xE6\x97\xA5\xE6\x9C\xAC.png", 0x0800, "\xE6\x97\xA5\xE6\x9C\xAC.png"}),
    [](const auto& info) { const auto& c = info.param; return testnames::Name(testnames::Readable(c.raw).substr(0, 32), c.flags ? "utf8" : "cp437"); });

struct DecodeCase {
    std::string raw;
    bool utf8;
    std::string expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << testnames::Name(c.raw, c.utf8 ? "utf8" : "cp437"); }

class DecodeZipEntryTextTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeZipEntryTextTest, Decodes)
{
    EXPECT_EQ(DecodeZipEntryText(GetParam().raw, GetParam().utf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeZipEntryTextTest,
    ::testing::Values(DecodeCase{"plain ASCII 123", false, "plain ASCII 123"},
                      DecodeCase{"\x80\x9B\x9C\x9D", false, "\xC3\x87\xC2\xA2\xC2\xA3\xC2\xA5"},  // Ç¢£¥
                      DecodeCase{"\xB0\xC9\xDB", false, "\xE2\x96\x91\xE2\x95\x94\xE2\x96\x88"},  // ░╔█
                      DecodeCase{"\xE3\xEA\xFD\xFF", false, "\xCF\x80\xCE\xA9\xC2\xB2\xC2\xA0"},  // πΩ² nbsp
                      DecodeCase{"\xEF\xBB\xBF\xEF\xBB\xBFx", true, "\xEF\xBB\xBFx"},  // only one mark is dropped
                      DecodeCase{"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
                      DecodeCase{"", true, ""}),
    [](const auto& info) { const auto& c = info.param; return testnames::Name(c.raw, c.utf8 ? "utf8" : "cp437"); });

// Sets TZ for one test and restores it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

struct TimeCase {
    const char* zone;
    std::uint32_t dosDateTime;
    std::time_t expected;  // seconds since the epoch
};

void PrintTo(const TimeCase& c, std::ostream* os) { *os << testnames::Name(c.zone, c.dosDateTime); }

class UnzipperTimeTest : public UnzipperTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(UnzipperTimeTest, FileCarriesEntryTimeReadAsLocalTime)
{
    const ScopedTimeZone zone(GetParam().zone);
    TestZipWriter(package).Add(TestZipEntry("book", "b").Date(GetParam().dosDateTime)).Close();
    ASSERT_TRUE(Extract());
    struct stat st {};
    ASSERT_EQ(::stat((dest / "book").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, GetParam().expected);
}

// 2019-06-15 13:45:30 is 1560606330 in UTC; POSIX "XYZ-3" is three hours
// ahead of UTC. 1980-01-01 00:00:00 UTC is 315532800.
INSTANTIATE_TEST_SUITE_P(Times, UnzipperTimeTest,
                         ::testing::Values(TimeCase{"UTC0", 0x4ECF6DAF, 1560606330},
                                           TimeCase{"XYZ-3", 0x4ECF6DAF, 1560606330 - 3 * 3600},
                                           TimeCase{"UTC0", 0x00210000, 315532800}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.zone, c.dosDateTime); });

TEST_F(UnzipperTest, ExistingFilesAreReplaced)
{
    fs::create_directories(dest / "images");
    WriteFileBytes(dest / "book", "old book that is longer than the new one");
    WriteFileBytes(dest / "images" / "a.png", "old");
    TestZipWriter(package).AddFile("book", "new").AddFile("images/a.png", "A").Close();
    ASSERT_TRUE(Extract());
    EXPECT_EQ(ReadFileBytes(dest / "book"), "new");
    EXPECT_EQ(ReadFileBytes(dest / "images" / "a.png"), "A");
    ASSERT_TRUE(Extract());  // the same package twice into one folder
    EXPECT_EQ(ReadFileBytes(dest / "book"), "new");
}

TEST_F(UnzipperTest, ReadOnlyFileOfSameNameFailsExtraction)
{
    fs::create_directories(dest);
    WriteFileBytes(dest / "book", "kept");
    fs::permissions(dest / "book", fs::perms::owner_read);
    TestZipWriter(package).AddFile("book", "new").Close();
    EXPECT_FALSE(Extract());
    EXPECT_EQ(ReadFileBytes(dest / "book"), "kept");
}

TEST_F(UnzipperTest, DestinationIsCreatedWhenMissing)
{
    dest = root / "not" / "yet" / "there";
    TestZipWriter(package).AddFile("book", "b").Close();
    CUnzipper unzipper(package);
    ASSERT_TRUE(unzipper.ExtractAll(dest));
    EXPECT_EQ(ReadFileBytes(dest / "book"), "b");
}

TEST_F(UnzipperTest, FileWhereFolderIsNeededFails)
{
    TestZipWriter(package).AddFile("a", "file").AddFile("a/b", "inside").Close();
    EXPECT_FALSE(Extract());
    EXPECT_EQ(ReadFileBytes(dest / "a"), "file");
}

}  // namespace
