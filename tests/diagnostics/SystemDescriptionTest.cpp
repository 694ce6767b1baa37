#include "diagnostics/SystemDescription.h"

#include "Version.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"

using namespace diagnostics;

namespace {

const std::filesystem::path kData = std::filesystem::path(TRALVEX_SOURCE_DIR) / "tests/diagnostics/data";

std::function<std::optional<UnameInfo>()> Uname(std::optional<UnameInfo> info)
{
    return [info] { return info; };
}

SystemSources Sources(std::vector<std::filesystem::path> files, std::optional<UnameInfo> uname)
{
    SystemSources sources;
    sources.osReleaseFiles = std::move(files);
    sources.uname = Uname(std::move(uname));
    return sources;
}

const UnameInfo kLinux{"Linux", "6.1.0-13-amd64", "x86_64"};

// For files the data folder cannot hold (FIFOs, huge files).
using testsupport::ScratchFolder;

struct OsReleaseCase {
    const char* file;
    const char* name;
    const char* fullVersion;
};

void PrintTo(const OsReleaseCase& c, std::ostream* os) { *os << testnames::Name(c.file); }

class OsReleaseTest : public ::testing::TestWithParam<OsReleaseCase> {};

TEST_P(OsReleaseTest, ReadsNameAndVersion)
{
    const auto info = OsVersionFromOsRelease({kData / GetParam().file});
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, GetParam().name);
    EXPECT_EQ(info->servicePack, "");
    EXPECT_EQ(info->fullVersion, GetParam().fullVersion);
}

INSTANTIATE_TEST_SUITE_P(Files, OsReleaseTest,
                         ::testing::Values(OsReleaseCase{"debian.os-release", "Debian GNU/Linux 12 (bookworm)", "12"},
                                           OsReleaseCase{"nameonly.os-release", "Fedora Linux", "39"},
                                           OsReleaseCase{"crlf.os-release", "CRLF Linux", "7.1"},
                                           OsReleaseCase{"quoting.os-release", "Say \"hi\" \\ $HOME `x`", "3.18.4"}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.file); });

TEST(OsRelease, ParsesQuotingAndSkipsJunk)
{
    const auto values = ParseOsRelease(testsupport::ReadFileBytes(kData / "quoting.os-release"));
    EXPECT_EQ(values.at("NAME"), "Single Quoted");
    EXPECT_EQ(values.at("VERSION_ID"), "3.18.4");
    EXPECT_EQ(values.size(), 3u) << "comments, bad keys and lines without '=' are skipped";
}

TEST(OsRelease, YieldsNothingWithoutNameOrVersion)
{
    EXPECT_FALSE(OsVersionFromOsRelease({kData / "rolling.os-release"}));
    EXPECT_FALSE(OsVersionFromOsRelease({kData / "empty.os-release"}));
    EXPECT_FALSE(OsVersionFromOsRelease({kData / "no-such-file"}));
    EXPECT_FALSE(OsVersionFromOsRelease({}));
}

TEST(OsRelease, FirstExistingFileIsTheOnlyOneRead)
{
    const auto skipsMissing = OsVersionFromOsRelease({kData / "missing", kData / "debian.os-release"});
    ASSERT_TRUE(skipsMissing);
    EXPECT_EQ(skipsMissing->fullVersion, "12");
    EXPECT_FALSE(OsVersionFromOsRelease({kData / "rolling.os-release", kData / "debian.os-release"}));
}

TEST(OsRelease, FolderOrFifoIsNotRead)
{
    ScratchFolder scratch;
    const auto fifo = scratch.Path() / "os-release";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(OsVersionFromOsRelease({fifo}));  // would block if opened
    EXPECT_FALSE(OsVersionFromOsRelease({scratch.Path()}));
}

TEST(OsRelease, HugeFileReadOnlyAtItsStart)
{
    ScratchFolder scratch;
    const auto file = scratch.Path() / "os-release";
    {
        std::ofstream out(file);
        out << "NAME=Big\nVERSION_ID=1\n"
            << std::string(1 << 20, 'x') << "\nVERSION_ID=2\n";
    }
    const auto info = OsVersionFromOsRelease({file});
    ASSERT_TRUE(info);
    EXPECT_EQ(info->fullVersion, "1");
}

struct UnameCase {
    const char* sysname;
    const char* release;
    const char* expectedVersion;  // nullptr: the method yields nothing
};

void PrintTo(const UnameCase& c, std::ostream* os) { *os << c.sysname << ' ' << c.release; }

class UnameTest : public ::testing::TestWithParam<UnameCase> {};

TEST_P(UnameTest, TakesLeadingDottedNumbers)
{
    const auto info = OsVersionFromUname(UnameInfo{GetParam().sysname, GetParam().release, "x86_64"});
    if (GetParam().expectedVersion == nullptr) {
        EXPECT_FALSE(info.has_value());
        return;
    }
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, GetParam().sysname);
    EXPECT_EQ(info->servicePack, "");
    EXPECT_EQ(info->fullVersion, GetParam().expectedVersion);
}

INSTANTIATE_TEST_SUITE_P(Releases, UnameTest,
                         ::testing::Values(UnameCase{"Linux", "6.1.0-13-amd64", "6.1.0"},
                                           UnameCase{"Linux", "5.15.153.1-microsoft-standard-WSL2", "5.15.153.1"},
                                           UnameCase{"Linux", "4.19", "4.19"},
                                           UnameCase{"Linux", "6.8.", "6.8"},
                                           UnameCase{"Linux", "6", nullptr},
                                           UnameCase{"Linux", "", nullptr},
                                           UnameCase{"Linux", "v6.1", nullptr},
                                           UnameCase{"", "6.1.0", nullptr}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.sysname, c.release).substr(0, 32); });

TEST(OsVersion, MethodsTriedInOrder)
{
    const auto fromFile = GetOsVersionInfo(Sources({kData / "debian.os-release"}, kLinux));
    EXPECT_EQ(fromFile.name, "Debian GNU/Linux 12 (bookworm)");

    const auto fromUname = GetOsVersionInfo(Sources({kData / "rolling.os-release"}, kLinux));
    EXPECT_EQ(fromUname.name, "Linux");
    EXPECT_EQ(fromUname.fullVersion, "6.1.0");

    const auto partial = GetOsVersionInfo(Sources({}, UnameInfo{"Linux", "weird", ""}));
    EXPECT_EQ(partial.name, "Linux");
    EXPECT_EQ(partial.fullVersion, "weird");

    const auto nothing = GetOsVersionInfo(Sources({}, std::nullopt));
    EXPECT_EQ(nothing.name, "<Unrecognized OS version>");
    EXPECT_EQ(nothing.servicePack, "");
    EXPECT_EQ(nothing.fullVersion, "");

    SystemSources noUname;
    noUname.osReleaseFiles = {};
    noUname.uname = nullptr;
    EXPECT_EQ(GetOsVersionInfo(noUname).name, "<Unrecognized OS version>");
}

struct MachineCase {
    const char* machine;
    const char* type;
};

void PrintTo(const MachineCase& c, std::ostream* os) { *os << testnames::Name(c.machine); }

class SystemTypeTest : public ::testing::TestWithParam<MachineCase> {};

TEST_P(SystemTypeTest, FromMachine)
{
    EXPECT_EQ(SystemTypeOfMachine(GetParam().machine), GetParam().type);
    UnameInfo uname = kLinux;
    uname.machine = GetParam().machine;
    EXPECT_EQ(GetSystemType(Sources({}, uname)), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Machines, SystemTypeTest,
                         ::testing::Values(MachineCase{"x86_64", "64-bit"}, MachineCase{"aarch64", "64-bit"},
                                           MachineCase{"riscv64", "64-bit"}, MachineCase{"ppc64le", "64-bit"},
                                           MachineCase{"s390x", "64-bit"}, MachineCase{"i686", "32-bit"},
                                           MachineCase{"i386", "32-bit"}, MachineCase{"armv7l", "32-bit"},
                                           MachineCase{"s390", "32-bit"}, MachineCase{"", ""},
                                           MachineCase{"quantum9", ""}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.machine); });

TEST(SystemType, EmptyWithoutUname)
{
    EXPECT_EQ(GetSystemType(Sources({}, std::nullopt)), "");
}

TEST(SystemDescription, FillsTemplate)
{
    EXPECT_EQ(GetSystemDescription(Sources({kData / "debian.os-release"}, kLinux)),
              "Debian GNU/Linux 12 (bookworm)  64-bit [Version: 12]");
}

TEST(SystemDescription, EmptyPartsLeaveTwoSpaces)
{
    UnameInfo unknownMachine = kLinux;
    unknownMachine.machine = "quantum9";
    EXPECT_EQ(GetSystemDescription(Sources({}, unknownMachine)), "Linux   [Version: 6.1.0]");
    EXPECT_EQ(GetSystemDescription(Sources({}, std::nullopt)), "<Unrecognized OS version>   [Version: ]");
}

TEST(FillPlaceholders, SortedKeyOrderAndNoRescan)
{
    // "{A}" is filled before "{B}", so a value that brings in "{B}" is filled too...
    EXPECT_EQ(FillPlaceholders("{A}", {{"{A}", "{B}"}, {"{B}", "b"}}), "b");
    // ...but one that brings in "{A}" during the "{B}" pass stays.
    EXPECT_EQ(FillPlaceholders("{B}", {{"{A}", "a"}, {"{B}", "{A}"}}), "{A}");
    // A value containing its own key is not searched again.
    EXPECT_EQ(FillPlaceholders("{A}-{A}", {{"{A}", "<{A}>"}}), "<{A}>-<{A}>");
    EXPECT_EQ(FillPlaceholders("x{A}y", {{"", "never"}, {"{A}", ""}}), "xy");
    EXPECT_EQ(FillPlaceholders("{V}, Build: {B} {S}", {{"{V}", "16.0"}, {"{B}", "4266"}, {"{S}", "32-bit"}}),
              "16.0, Build: 4266 32-bit");
}

TEST(ProgramVersion, FourPartsFromBuild)
{
    const std::string version = GetProgramVersion();
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
    EXPECT_TRUE(version.starts_with(std::to_string(TRALVEX_VERSION_MAJOR) + "." + std::to_string(TRALVEX_VERSION_MINOR) + "."))
        << version;
}

}  // namespace
