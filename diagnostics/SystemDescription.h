#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace diagnostics {

// What support learns about the machine and the program.

struct OsVersionInfo {
    std::string name;  // e.g. "Debian GNU/Linux 12 (bookworm)"
    std::string servicePack;  // may be empty
    std::string fullVersion;  // dotted decimal numbers
};

// The fields of uname(2) that the description uses.
struct UnameInfo {
    std::string sysname;
    std::string release;
    std::string machine;
};

// Where the system is read from. Tests point these at their own data.
struct SystemSources {
    // Tried in this order; the first that exists is the os-release file.
    std::vector<std::filesystem::path> osReleaseFiles{"/etc/os-release", "/usr/lib/os-release"};
    // Nothing when uname cannot tell.
    std::function<std::optional<UnameInfo>()> uname = ReadUname;

    static std::optional<UnameInfo> ReadUname();
};

// Replaces, for each key in sorted order, every occurrence of the key in the
// current text by its value; inserted text is not searched again by the same
// key. Empty keys are ignored.
std::string FillPlaceholders(std::string text, const std::map<std::string, std::string>& values);

// "{OS_NAME} {OS_SERVICE_PACK} {SYSTEM_TYPE} [Version: {OS_FULL_VERSION}]",
// nothing trimmed.
std::string GetSystemDescription(const SystemSources& sources = {});

// The first of: the os-release file, uname, and a fallback that always
// yields (named "<Unrecognized OS version>" when nothing is known).
OsVersionInfo GetOsVersionInfo(const SystemSources& sources = {});

// The three methods on their own.
std::optional<OsVersionInfo> OsVersionFromOsRelease(const std::vector<std::filesystem::path>& files);
std::optional<OsVersionInfo> OsVersionFromUname(const std::optional<UnameInfo>& uname);
OsVersionInfo FallbackOsVersion(const std::optional<UnameInfo>& uname);

// KEY=value assignments of an os-release file, quotes and escapes removed.
std::map<std::string, std::string> ParseOsRelease(const std::string& content);

// "64-bit", "32-bit" or empty when the machine is unknown.
std::string GetSystemType(const SystemSources& sources = {});
std::string SystemTypeOfMachine(const std::string& machine);

// The compiled-in four-part version "major.minor.patch.tweak".
std::string GetProgramVersion();

}  // namespace diagnostics
