#pragma once
// Saving a package: it is written to a temporary file in the target folder
// and takes its final name only when complete.
#include "export/engine/parts/Model.h"

#include <filesystem>
#include <string>

namespace engine::detail {

// Writes the package; false on any failure, leaving no file behind, with
// errno saying why (EEXIST: the name is taken). replaceExisting: rename over
// an existing file instead of refusing it.
bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept;

// The entry points of the same names (export/engine/Engine.h).
void RemoveStaleSaveFiles(const std::filesystem::path& folder) noexcept;
void DiscardUnfinishedSaves() noexcept;

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

}  // namespace engine::detail
