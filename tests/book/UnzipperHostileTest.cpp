#include "book/UnzipperTestFixture.h"

#include <gmock/gmock.h>

#include <unistd.h>

#include <climits>
#include "support/CaseNames.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

ExtractionLimits Limits(std::uint64_t totalBytes, std::uint64_t entries = 100)
{
    ExtractionLimits limits;
    limits.maxTotalBytes = totalBytes;
    limits.maxEntries = entries;
    return limits;
}

struct EscapeCase {
    std::string name;
    bool folder;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name << (c.folder ? " (folder)" : ""); }

class UnzipperEscapeTest : public UnzipperTest, public ::testing::WithParamInterface<EscapeCase> {};

// The destination is nested two levels down so that "../.." names would land
// in the test folder, where the snapshot sees them.
TEST_P(UnzipperEscapeTest, NameLeavingDestinationFails)
{
    const EscapeCase& c = GetParam();
    TestZipWriter(package)
        .AddFile("book", "b")
        .Add(TestZipEntry(c.name, c.folder ? "" : "evil").Attributes(c.folder ? 0x10u : 0u))
        .Close();
    EXPECT_FALSE(Extract());
    EXPECT_FALSE(fs::exists(root / "evil"));
    EXPECT_FALSE(fs::exists("/evil"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnzipperEscapeTest,
    ::testing::Values(EscapeCase{"../evil", false}, EscapeCase{"..\\evil", false}, EscapeCase{"a/../../evil", false},
                      EscapeCase{"a\\..\\..\\evil", false}, EscapeCase{"a/b/../../../evil", false},
                      EscapeCase{"./../evil", false}, EscapeCase{"/evil", false}, EscapeCase{"\\evil", false},
                      EscapeCase{"C:\\evil", false}, EscapeCase{"C:evil", false}, EscapeCase{"\\\\server\\share\\evil", false},
                      EscapeCase{"//server/share/evil", false}, EscapeCase{"book:stream", false}, EscapeCase{"..", false},
                      EscapeCase{"../evil/", true}, EscapeCase{"..\\", true}, EscapeCase{"/evil/", true},
                      EscapeCase{"C:\\evil\\", true}, EscapeCase{"a/../../evil/", true}),
    [](const auto& info) { return testnames::Name(testnames::Readable(info.param.name).substr(0, 32), info.index); });

TEST_F(UnzipperTest, DotComponentsStayInside)
{
    TestZipWriter(package).AddFile("./images//./a.png", "a").AddFolder("./").Close();
    ASSERT_TRUE(Extract());
    EXPECT_THAT(DestinationListing(), ElementsAre("images/", "images/a.png"));
}

// Names of 260 UTF-16 code units pass, one more fails; a character outside
// the basic plane counts twice.
TEST_F(UnzipperTest, EntryNameLengthIsLimited)
{
    const std::string e = "\xC3\xA9";  // é: one unit, two bytes
    const std::string smile = "\xF0\x9F\x98\x80";  // two units, four bytes
    std::string part1, part2;
    for (int i = 0; i < 100; ++i)
        part1 += e;
    for (int i = 0; i < 50; ++i)
        part2 += smile;
    const std::string longest = part1 + "/" + part2 + "/" + std::string(58, 'x');  // 100+1+100+1+58
    ASSERT_EQ(longest.size(), 200u + 1 + 200 + 1 + 58);

    TestZipWriter(package).Add(TestZipEntry(longest, "ok").Flags(0x0800)).Close();
    ASSERT_TRUE(Extract());
    EXPECT_EQ(ReadFileBytes(dest / longest), "ok");

    fs::remove_all(dest);
    TestZipWriter(package).Add(TestZipEntry(longest + "y", "no").Flags(0x0800)).Close();
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

TEST_F(UnzipperTest, OverlongTargetPathFails)
{
    fs::path deep = root;
    while (deep.native().size() < PATH_MAX - 200)
        deep /= std::string(200, 'd');
    dest = deep;
    fs::create_directories(dest);
    TestZipWriter(package).AddFile(std::string(150, 'a') + "/" + std::string(100, 'b'), "x").Close();
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

TEST_F(UnzipperTest, SymlinkedFolderInsideDestinationIsNotFollowed)
{
    fs::create_directories(dest);
    fs::create_directory_symlink(root / "outside", dest / "link");
    for (const char* name : {"link/evil", "link\\evil", "link/sub/evil"}) {
        TestZipWriter(package).AddFile(name, "evil").Close();
        EXPECT_FALSE(Extract()) << name;
    }
    for (const char* name : {"link/", "link/sub/"}) {
        TestZipWriter(package).AddFolder(name).Close();
        EXPECT_FALSE(Extract()) << name;
    }
    EXPECT_THAT(DestinationListing(), ElementsAre("link"));
}

TEST_F(UnzipperTest, LinkedFileInsideDestinationIsReplacedNotWrittenThrough)
{
    fs::create_directories(dest);
    fs::create_symlink(root / "outside" / "target", dest / "soft");
    fs::create_hard_link(root / "outside" / "target", dest / "hard");
    TestZipWriter(package).AddFile("soft", "new soft").AddFile("hard", "new hard").Close();
    ASSERT_TRUE(Extract());  // the snapshot proves "outside/target" kept its content
    EXPECT_FALSE(fs::is_symlink(dest / "soft"));
    EXPECT_EQ(ReadFileBytes(dest / "soft"), "new soft");
    EXPECT_EQ(ReadFileBytes(dest / "hard"), "new hard");
}

TEST_F(UnzipperTest, TotalSizeCapStopsExtraction)
{
    TestZipWriter(package)
        .AddFile("one", std::string(600, '1'))
        .AddFile("two", std::string(600, '2'))
        .Close();
    EXPECT_FALSE(Extract(Limits(1000)));
    EXPECT_THAT(DestinationListing(), ElementsAre("one"));
    fs::remove_all(dest);
    EXPECT_TRUE(Extract(Limits(1200)));
    EXPECT_THAT(DestinationListing(), ElementsAre("one", "two"));
}

TEST_F(UnzipperTest, SingleEntryOverTotalCapWritesNothing)
{
    TestZipWriter(package).AddFile("bomb", std::string(1 << 20, '\0')).Close();
    EXPECT_FALSE(Extract(Limits(4096)));
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

// Deflated data that inflates to far more than the entry declares never
// writes beyond the declared size: with a check value of the declared prefix
// exactly that prefix is written, otherwise the entry is damaged. A declared
// size the data does not fill is a damaged entry too.
struct DeclaredSizeCase {
    std::size_t actual;
    std::uint64_t declared;
    bool crcOfDeclaredPrefix;
    bool succeeds;
};

void PrintTo(const DeclaredSizeCase& c, std::ostream* os) { *os << c.actual << " as " << c.declared; }

class UnzipperDeclaredSizeTest : public UnzipperTest, public ::testing::WithParamInterface<DeclaredSizeCase> {};

TEST_P(UnzipperDeclaredSizeTest, EntryNeverWritesMoreThanDeclared)
{
    const DeclaredSizeCase& c = GetParam();
    const std::string data(c.actual, 'z');
    const std::string crcSource = c.crcOfDeclaredPrefix ? data.substr(0, c.declared) : data;
    TestZipWriter(package)
        .AddFile("book", "b")
        .Add(TestZipEntry("bomb", RawDeflate(data)).Raw(c.declared, Crc32(crcSource)))
        .Close();
    ASSERT_EQ(Extract(), c.succeeds);
    if (c.succeeds)
        EXPECT_EQ(ReadFileBytes(dest / "bomb"), data.substr(0, c.declared));
    else
        EXPECT_FALSE(fs::exists(dest / "bomb"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, UnzipperDeclaredSizeTest,
                         ::testing::Values(DeclaredSizeCase{1 << 20, 10, false, false},
                                           DeclaredSizeCase{1 << 20, 10, true, true},
                                           DeclaredSizeCase{1 << 20, 70000, true, true},
                                           DeclaredSizeCase{1 << 20, 70000, false, false},
                                           DeclaredSizeCase{10, 1000, false, false}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.actual, "as", c.declared, c.crcOfDeclaredPrefix ? "prefix_crc" : "whole_crc"); });

TEST_F(UnzipperTest, EntryCountCapIsChecked)
{
    TestZipWriter zip(package);
    for (int i = 0; i < 4; ++i)
        zip.AddFile("f" + std::to_string(i), "x");
    zip.Close();
    EXPECT_FALSE(Extract(Limits(1000, 3)));
    EXPECT_THAT(DestinationListing(), IsEmpty());
    EXPECT_TRUE(Extract(Limits(1000, 4)));
    EXPECT_EQ(DestinationListing().size(), 4u);
}

TEST_F(UnzipperTest, EncryptedEntryFailsCleanly)
{
    TestZipWriter(package).AddFile("book", "b").Add(TestZipEntry("secret.png", "hidden").Password("pw")).Close();
    {
        CUnzipper unzipper(package);
        ASSERT_TRUE(unzipper.GoToFirstEntry() && unzipper.GoToNextEntry());
        ZipEntryInfo info;
        ASSERT_TRUE(unzipper.GetEntryInfo(info));
        ASSERT_TRUE(info.flags & kZipFlagEncrypted) << "the test archive should be encrypted";
    }
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), ElementsAre("book"));
}

TEST_F(UnzipperTest, EntryMarkedEncryptedFailsCleanly)
{
    TestZipWriter(package).Add(TestZipEntry("book", "plain").Flags(kZipFlagEncrypted)).Close();
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

TEST_F(UnzipperTest, DamagedEntryDataLeavesNoFile)
{
    const std::string data(300000, 'q');
    std::string damaged = RawDeflate(data);
    damaged[damaged.size() / 2] ^= 0x55;
    TestZipWriter(package)
        .AddFile("book", "b")
        .Add(TestZipEntry("bad-crc", "stored data").Method(0).Raw(11, 1234))
        .Close();
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), ElementsAre("book"));

    fs::remove_all(dest);
    TestZipWriter(package)
        .Add(TestZipEntry("bad-deflate", damaged).Raw(data.size(), Crc32(data)))
        .Close();
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());

    // A method minizip cannot decode (12, bzip2): written stored, then the
    // method fields of the local and central headers are changed.
    fs::remove_all(dest);
    TestZipWriter(package).Add(TestZipEntry("bzip2", "BZh9").Method(0).Raw(4, Crc32("BZh9"))).Close();
    std::string bytes = ReadFileBytes(package);
    const std::size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[8] = bytes[central + 10] = 12;
    WriteFileBytes(package, bytes);
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

TEST_F(UnzipperTest, DamagedEntryDataInsideArchiveFileFails)
{
    const std::string data(300000, 'w');
    TestZipWriter(package).AddFile("book", data).Close();
    std::string bytes = ReadFileBytes(package);
    // Damage the compressed stream, which sits after the 30-byte local header
    // and the 4-byte name; the central directory stays intact.
    for (std::size_t i = 40; i < 60; ++i)
        bytes[i] = static_cast<char>(~bytes[i]);
    WriteFileBytes(package, bytes);
    EXPECT_FALSE(Extract());
    EXPECT_THAT(DestinationListing(), IsEmpty());
}

}  // namespace
