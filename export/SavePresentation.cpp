#include "export/SavePresentation.h"

#include "app/ConversionErrors.h"
#include "export/OutputPath.h"

namespace fs = std::filesystem;

std::optional<fs::path> HeadlessSaveDialog(const fs::path&)
{
    return std::nullopt;
}

namespace {

SaveTurns g_turns;

// A name taken between choosing and saving is not a failure to save there.
constexpr int kTakenNameRetries = 100;

bool Taken(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

void SetSaveTurns(SaveTurns turns)
{
    g_turns = std::move(turns);
}

fs::path SavePresentation(engine::IPresentation& presentation, const fs::path& source,
                          const fs::path& outputFolder, const SaveDialog& dialog)
{
    const fs::path folder = outputFolder.empty() ? source.parent_path() : outputFolder;
    const std::string stem = source.stem().string();
    if (g_turns.beforeNaming)
        g_turns.beforeNaming();
    fs::path proposed = MakeUniqueOutputPath(folder, stem);
    for (int attempt = 0;; ++attempt) {
        if (presentation.SaveAs(proposed, 24, 0))
            return proposed;
        if (attempt == kTakenNameRetries || !Taken(proposed))
            break;
        proposed = MakeUniqueOutputPath(folder, stem);
    }
    for (;;) {
        const fs::path documents = GetDocumentsFolder();
        if (!documents.empty())
            proposed = MakeUniqueOutputPath(documents, stem);
        std::optional<fs::path> chosen;
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
            chosen = dialog(proposed);
        }
        if (!chosen)
            throw UserCancelledError();
        proposed = *chosen;
        if (presentation.SaveAs(proposed, 24, 0))
            return proposed;
    }
}
