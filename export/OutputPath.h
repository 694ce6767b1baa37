#pragma once
#include <filesystem>
#include <string>

namespace exporting {

// folder/stem.pptx, or folder/stem (k).pptx for the first k = 2, 3, ... at
// which nothing exists yet. A stem too long for the folder's longest name is
// shortened, at a character boundary of its UTF-8, to fit with its ending.
// An empty folder gives a path relative to the current folder.
std::filesystem::path MakeUniqueOutputPath(const std::filesystem::path& folder, const std::string& stem);

// The user's documents folder (XDG_DOCUMENTS_DIR from user-dirs.dirs, else
// ~/Documents) when it exists, else the home folder; an empty path when
// there is no home folder.
std::filesystem::path GetDocumentsFolder();

}  // namespace exporting
