#pragma once
#include "export/engine/Automation.h"

#include <filesystem>
#include <functional>
#include <optional>

// Asks the user where to save: the chosen path, or nothing when cancelled.
// An existing file is chosen only once the user confirmed replacing it.
using SaveDialog = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& proposed)>;

// Without a desktop there is nobody to ask: the dialog counts as cancelled.
std::optional<std::filesystem::path> HeadlessSaveDialog(const std::filesystem::path& proposed);

// Saves next to the source (or in the output folder when one is given) under
// a free name; when that fails, asks for another place, starting in the
// documents folder, until a save succeeds; a path chosen there replaces an
// existing file. Throws UserCancelledError when the user gives up.
std::filesystem::path SavePresentation(engine::IPresentation& presentation, const std::filesystem::path& source,
                                       const std::filesystem::path& outputFolder,
                                       const SaveDialog& dialog = HeadlessSaveDialog);
