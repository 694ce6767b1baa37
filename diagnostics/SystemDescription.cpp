#include "diagnostics/SystemDescription.h"

#include "Version.h"

#include <sys/utsname.h>

#include <array>
#include <fstream>
#include <string_view>

namespace diagnostics {

namespace {

constexpr const char* kDescriptionTemplate = "{OS_NAME} {OS_SERVICE_PACK} {SYSTEM_TYPE} [Version: {OS_FULL_VERSION}]";
constexpr const char* kUnrecognizedOs = "<Unrecognized OS version>";
// A real os-release file is a few hundred bytes; anything beyond this is
// not one and is not read further.
constexpr std::size_t kMaxOsReleaseSize = 64 * 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsKeyCharacter(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// The value part of an assignment as the shell would read it, for the
// quoting that os-release files use.
std::string UnquoteValue(std::string_view raw)
{
    raw = Trim(raw);
    if (raw.size() >= 2 && raw.front() == '\'' && raw.back() == '\'')
        return std::string(raw.substr(1, raw.size() - 2));
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        const std::string_view inner = raw.substr(1, raw.size() - 2);
        std::string value;
        for (std::size_t i = 0; i < inner.size(); ++i) {
            const char c = inner[i];
            if (c == '\\' && i + 1 < inner.size()) {
                const char next = inner[i + 1];
                if (next == '"' || next == '\\' || next == '$' || next == '`') {
                    value += next;
                    ++i;
                    continue;
                }
            }
            value += c;
        }
        return value;
    }
    return std::string(raw);
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& file)
{
    std::error_code ec;
    // Only regular files: a FIFO or device at that place would block or
    // never end.
    if (!std::filesystem::is_regular_file(file, ec) || ec)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string content(kMaxOsReleaseSize, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

// The leading "N.N[.N...]" of a kernel release such as "6.1.0-13-amd64".
std::string LeadingDottedNumbers(const std::string& release)
{
    std::size_t end = 0;
    int numbers = 0;
    while (end < release.size() && IsDigit(release[end])) {
        while (end < release.size() && IsDigit(release[end]))
            ++end;
        ++numbers;
        if (end + 1 < release.size() && release[end] == '.' && IsDigit(release[end + 1]))
            ++end;
        else
            break;
    }
    return numbers >= 2 ? release.substr(0, end) : std::string();
}

}  // namespace

std::optional<UnameInfo> SystemSources::ReadUname()
{
    utsname names{};
    if (::uname(&names) != 0)
        return std::nullopt;
    return UnameInfo{names.sysname, names.release, names.machine};
}

std::string FillPlaceholders(std::string text, const std::map<std::string, std::string>& values)
{
    for (const auto& [key, value] : values) {
        if (key.empty())
            continue;
        std::size_t position = 0;
        while ((position = text.find(key, position)) != std::string::npos) {
            text.replace(position, key.size(), value);
            position += value.size();
        }
    }
    return text;
}

std::map<std::string, std::string> ParseOsRelease(const std::string& content)
{
    std::map<std::string, std::string> values;
    std::string_view rest = content;
    while (!rest.empty()) {
        const auto newline = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, newline));
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;
        const std::string_view key = line.substr(0, equals);
        bool validKey = true;
        for (const char c : key)
            validKey = validKey && IsKeyCharacter(c);
        if (!validKey)
            continue;
        values[std::string(key)] = UnquoteValue(line.substr(equals + 1));  // the last assignment counts, as in a shell
    }
    return values;
}

std::optional<OsVersionInfo> OsVersionFromOsRelease(const std::vector<std::filesystem::path>& files)
{
    for (const auto& file : files) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec))
            continue;
        // The first file that exists is the only one consulted.
        const auto content = ReadSmallFile(file);
        if (!content)
            return std::nullopt;
        const auto values = ParseOsRelease(*content);
        const auto get = [&values](const char* key) {
            const auto it = values.find(key);
            return it == values.end() ? std::string() : it->second;
        };
        OsVersionInfo info;
        info.name = get("PRETTY_NAME");
        if (info.name.empty())
            info.name = get("NAME");
        info.fullVersion = get("VERSION_ID");
        if (info.name.empty() || info.fullVersion.empty())
            return std::nullopt;
        return info;
    }
    return std::nullopt;
}

std::optional<OsVersionInfo> OsVersionFromUname(const std::optional<UnameInfo>& uname)
{
    if (!uname || uname->sysname.empty())
        return std::nullopt;
    const std::string version = LeadingDottedNumbers(uname->release);
    if (version.empty())
        return std::nullopt;
    return OsVersionInfo{uname->sysname, {}, version};
}

OsVersionInfo FallbackOsVersion(const std::optional<UnameInfo>& uname)
{
    OsVersionInfo info;
    info.name = uname && !uname->sysname.empty() ? uname->sysname : kUnrecognizedOs;
    if (uname)
        info.fullVersion = uname->release;
    return info;
}

OsVersionInfo GetOsVersionInfo(const SystemSources& sources)
{
    if (auto info = OsVersionFromOsRelease(sources.osReleaseFiles))
        return *info;
    const std::optional<UnameInfo> uname = sources.uname ? sources.uname() : std::nullopt;
    if (auto info = OsVersionFromUname(uname))
        return *info;
    return FallbackOsVersion(uname);
}

std::string SystemTypeOfMachine(const std::string& machine)
{
    static constexpr std::array<std::string_view, 12> k64Bit{
        "x86_64", "amd64", "aarch64", "arm64", "ppc64", "ppc64le", "s390x", "riscv64", "mips64", "sparc64", "loongarch64", "alpha"};
    static constexpr std::array<std::string_view, 11> k32Bit{
        "i386", "i486", "i586", "i686", "x86", "ppc", "s390", "riscv32", "mips", "sparc", "m68k"};
    for (const auto name : k64Bit)
        if (machine == name)
            return "64-bit";
    for (const auto name : k32Bit)
        if (machine == name)
            return "32-bit";
    // armv7l, armv6l, armv8l (a 32-bit kernel on 64-bit hardware) ...
    if (machine.starts_with("arm"))
        return "32-bit";
    return {};
}

std::string GetSystemType(const SystemSources& sources)
{
    const std::optional<UnameInfo> uname = sources.uname ? sources.uname() : std::nullopt;
    return uname ? SystemTypeOfMachine(uname->machine) : std::string();
}

std::string GetSystemDescription(const SystemSources& sources)
{
    const OsVersionInfo info = GetOsVersionInfo(sources);
    const std::map<std::string, std::string> values{
        {"{OS_NAME}", info.name},
        {"{OS_SERVICE_PACK}", info.servicePack},
        {"{SYSTEM_TYPE}", GetSystemType(sources)},
        {"{OS_FULL_VERSION}", info.fullVersion},
    };
    return FillPlaceholders(kDescriptionTemplate, values);
}

std::string GetProgramVersion()
{
    // "+ 0" keeps an unset version part (an empty macro) at zero.
    return std::to_string(TRALVEX_VERSION_MAJOR + 0) + "." + std::to_string(TRALVEX_VERSION_MINOR + 0) + "." + std::to_string(TRALVEX_VERSION_PATCH + 0) + "." + std::to_string(TRALVEX_VERSION_TWEAK + 0);
}

}  // namespace diagnostics
