#pragma once
#include "export/SavePresentation.h"

#include <filesystem>
#include <optional>

namespace app {

// The Save dialog after a failed save: the desktop's file chooser when a
// display can be opened (GTK is initialised only then), else the one line
// on standard error of HeadlessSaveDialog and its SaveFailedError.
std::optional<std::filesystem::path> DesktopSaveDialog(const std::filesystem::path& proposed,
                                                       const exporting::SaveFailure& failure);

}  // namespace app
