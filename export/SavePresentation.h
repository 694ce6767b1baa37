#pragma once
#include "export/engine/Automation.h"

#include <filesystem>
#include <functional>
#include <optional>

// Asks the user where to save after the save to failed did not succeed,
// starting with proposed: the chosen path (an existing one only when the
// user confirmed replacing it), or nothing when cancelled.
using SaveDialog = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& proposed,
                                                                      const std::filesystem::path& failed)>;

// Without a desktop there is nobody to ask: one line on standard error says
// which folder could not be written and why, and that counts as cancelled.
std::optional<std::filesystem::path> HeadlessSaveDialog(const std::filesystem::path& proposed,
                                                        const std::filesystem::path& failed);

// The dialog SavePresentation uses when it is given none; the entry point
// installs the desktop's. Initially HeadlessSaveDialog.
void SetSaveDialog(SaveDialog dialog);

// Why nothing could be written in folder, as far as can be told.
std::string DescribeUnwritableFolder(const std::filesystem::path& folder);

// Conversions running at the same time take turns where their results could
// meet: choosing a name, and the dialog. Empty members do nothing.
struct SaveTurns {
    std::function<void()> beforeNaming;  // returns when this book may choose a name
    std::function<void()> enterDialog;   // returns when no other dialog is shown
    std::function<void()> leaveDialog;
};

// For the rest of this process's conversions.
void SetSaveTurns(SaveTurns turns);

// Saves next to the source (or in the output folder when one is given) under
// a free name (a name taken meanwhile by someone else makes it take the next
// one); when that fails, asks for another place, starting in the
// documents folder, until a save succeeds. Throws UserCancelledError when
// the user gives up. The first save never replaces a file; a path the user
// chose replaces an existing file atomically.
std::filesystem::path SavePresentation(engine::IPresentation& presentation, const std::filesystem::path& source,
                                       const std::filesystem::path& outputFolder, const SaveDialog& dialog = {});
