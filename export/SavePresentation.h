#pragma once
#include "export/Automation.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace exporting {

// A save that did not succeed, as the Save dialog is told about it.
struct SaveFailure {
    std::filesystem::path source;  // the book
    std::filesystem::path failed;  // where its presentation could not be saved
    std::string reason;  // the system's reason, as strerror words it
};

// Asks the user where to save after a failed save, starting with proposed:
// the chosen path (an existing one only when the user confirmed replacing
// it), or nothing when cancelled.
using SaveDialog = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& proposed,
                                                                      const SaveFailure& failure)>;

// Without a desktop there is nobody to ask: one line on standard error names
// the book, the path and the reason, and SaveFailedError, with the same
// facts, ends the save.
[[noreturn]] std::optional<std::filesystem::path> HeadlessSaveDialog(const std::filesystem::path& proposed,
                                                                     const SaveFailure& failure);

// Conversions running at the same time take turns where their results could
// meet: choosing a name, and the dialog. Empty members do nothing.
struct SaveTurns {
    std::function<void()> beforeNaming;  // returns when this book may choose a name
    std::function<void()> enterDialog;  // returns when no other dialog is shown
    std::function<void()> leaveDialog;
};

// Whom a failed save asks (nobody when empty: HeadlessSaveDialog) and the
// turns it takes with the other conversions of the run.
struct SaveServices {
    SaveDialog dialog;
    SaveTurns turns;
};

// Saves next to the source (or in the output folder when one is given) under
// a free name (a name taken meanwhile by someone else makes it take the next
// one); when that fails, asks for another place, starting in the
// documents folder, until a save succeeds. Throws UserCancelledError when
// the user gives up, SaveFailedError when there was nobody to ask. The first
// save never replaces a file; a path the user chose replaces an existing
// file atomically. An empty dialog is HeadlessSaveDialog.
std::filesystem::path SavePresentation(engine::IPresentation& presentation, const std::filesystem::path& source,
                                       const std::filesystem::path& outputFolder, const SaveDialog& dialog = {},
                                       const SaveTurns& turns = {});

}  // namespace exporting
