#include "export/SavePresentation.h"

#include "export/ConversionErrors.h"
#include "export/OutputPath.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

SaveDialog& InstalledDialog()
{
    static SaveDialog dialog = HeadlessSaveDialog;
    return dialog;
}

SaveTurns g_turns;

// A name taken between choosing and saving is not a failure to save there.
constexpr int kTakenNameRetries = 100;

bool Taken(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

void SetSaveDialog(SaveDialog dialog) { InstalledDialog() = dialog ? std::move(dialog) : HeadlessSaveDialog; }

std::string DescribeUnwritableFolder(const fs::path& folder)
{
    const fs::path probe = folder.empty() ? fs::path(".") : folder;
    if (::access(probe.c_str(), W_OK | X_OK) != 0)
        return std::strerror(errno);
    return "the presentation could not be written there";
}

std::optional<fs::path> HeadlessSaveDialog(const fs::path&, const fs::path& failed)
{
    const fs::path folder = failed.parent_path();
    std::cerr << "The presentation could not be saved in \"" << (folder.empty() ? "." : folder.string())
              << "\": " << DescribeUnwritableFolder(folder) << std::endl;
    return std::nullopt;
}

void SetSaveTurns(SaveTurns turns)
{
    g_turns = std::move(turns);
}

fs::path SavePresentation(engine::IPresentation& presentation, const fs::path& source,
                          const fs::path& outputFolder, const SaveDialog& dialog)
{
    const SaveDialog& ask = dialog ? dialog : InstalledDialog();
    const fs::path folder = outputFolder.empty() ? source.parent_path() : outputFolder;
    const std::string stem = source.stem().string();
    if (g_turns.beforeNaming)
        g_turns.beforeNaming();
    fs::path proposed = MakeUniqueOutputPath(folder, stem);
    for (int attempt = 0;; ++attempt) {
        if (presentation.SaveAs(proposed, engine::ppSaveAsOpenXMLPresentation, engine::msoFalse))
            return proposed;
        if (attempt == kTakenNameRetries || !Taken(proposed))
            break;
        proposed = MakeUniqueOutputPath(folder, stem);
    }
    for (;;) {
        const fs::path failed = proposed;
        const fs::path documents = GetDocumentsFolder();
        if (!documents.empty())
            proposed = MakeUniqueOutputPath(documents, stem);
        std::optional<fs::path> choice;
        {
            if (g_turns.enterDialog)
                g_turns.enterDialog();
            struct Leave {
                ~Leave()
                {
                    if (g_turns.leaveDialog)
                        g_turns.leaveDialog();
                }
            } leave;
            choice = ask(proposed, failed);
        }
        if (!choice)
            throw UserCancelledError();
        proposed = *choice;
        // The user confirmed replacing a path of their own choice.
        if (presentation.SaveAsReplacing(proposed, engine::ppSaveAsOpenXMLPresentation))
            return proposed;
    }
}
