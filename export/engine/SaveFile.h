#pragma once
// Saved packages: the temporary files a save writes, and how a finished one
// takes its final name.
#include <filesystem>
#include <string>

namespace engine {

// Removes the temporary files that saves into folder left behind when their
// process died while writing (killed, or out of time in a batch). Files of
// saves still running, in this process or another, stay. A save calls it for
// its own folder first.
void RemoveStaleSaveFiles(const std::filesystem::path& folder) noexcept;

} // namespace engine

namespace engine::detail {

// The calls that name a file without replacing another; tests stand in for
// them to act as file systems that have neither.
struct NoReplaceCalls {
    // renameat2 with RENAME_NOREPLACE.
    int (*renameNoReplace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
};

NoReplaceCalls SystemNoReplaceCalls() noexcept;

// Gives the file named temp the name file, unless something exists there,
// also something that appears meanwhile: 0, and temp's name is gone; else
// the errno of the failure (EEXIST for a taken name), temp left as it was.
int MoveIntoPlace(const std::string& temp, const std::string& file,
                  const NoReplaceCalls& calls = SystemNoReplaceCalls()) noexcept;

} // namespace engine::detail
