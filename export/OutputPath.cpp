#include "export/OutputPath.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace exporting {

namespace fs = std::filesystem;

namespace {

// The longest file name the folder takes, in bytes.
std::size_t NameLimit(const fs::path& folder)
{
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// The stem in at most size bytes, cut before a UTF-8 character, never inside.
std::string Shortened(const std::string& stem, std::size_t size)
{
    if (stem.size() <= size)
        return stem;
    while (size > 0 && (static_cast<unsigned char>(stem[size]) & 0xC0) == 0x80)
        --size;
    return stem.substr(0, size);
}

}  // namespace

fs::path MakeUniqueOutputPath(const fs::path& folder, const std::string& stem)
{
    const std::size_t limit = NameLimit(folder);
    // A long stem gives way to the ending, so that the name can be created.
    auto named = [&](const std::string& ending) {
        const std::string name = Shortened(stem, limit > ending.size() ? limit - ending.size() : 0) + ending;
        return folder.empty() ? fs::path(name) : folder / name;
    };
    auto taken = [](const fs::path& p) {
        std::error_code ec;
        return fs::exists(fs::symlink_status(p, ec));
    };
    fs::path candidate = named(".pptx");
    for (unsigned long long k = 2; taken(candidate); ++k)
        candidate = named(" (" + std::to_string(k) + ").pptx");
    return candidate;
}

fs::path GetDocumentsFolder()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return {};
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const fs::path config = configHome != nullptr && *configHome != '\0' ? fs::path(configHome)
                                                                         : fs::path(home) / ".config";
    fs::path documents = fs::path(home) / "Documents";
    std::ifstream dirs(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = std::string(home) + value.substr(5);
        if (!value.empty() && value.front() == '/') {
            documents = value;
            break;
        }
    }
    // A documents folder that does not exist is no place to start a Save
    // dialog in: the home folder is.
    std::error_code ec;
    return fs::is_directory(documents, ec) ? documents : fs::path(home);
}

}  // namespace exporting
