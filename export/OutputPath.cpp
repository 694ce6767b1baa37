#include "export/OutputPath.h"

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

fs::path MakeUniqueOutputPath(const fs::path& folder, const std::string& stem)
{
    const fs::path base = folder.empty() ? fs::path(stem) : folder / stem;
    auto taken = [](const fs::path& p) {
        std::error_code ec;
        return fs::exists(fs::symlink_status(p, ec));
    };
    fs::path candidate = base.string() + ".pptx";
    for (unsigned long long k = 2; taken(candidate); ++k)
        candidate = base.string() + " (" + std::to_string(k) + ").pptx";
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
    std::ifstream dirs(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = std::string(home) + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return value;
    }
    return fs::path(home) / "Documents";
}
