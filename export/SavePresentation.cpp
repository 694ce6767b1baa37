#include "export/SavePresentation.h"

#include "export/ConversionErrors.h"
#include "export/OutputPath.h"

namespace fs = std::filesystem;

std::optional<fs::path> HeadlessSaveDialog(const fs::path&)
{
    return std::nullopt;
}

fs::path SavePresentation(engine::IPresentation& presentation, const fs::path& source,
                          const fs::path& outputFolder, const SaveDialog& dialog)
{
    const fs::path folder = outputFolder.empty() ? source.parent_path() : outputFolder;
    const std::string stem = source.stem().string();
    fs::path proposed = MakeUniqueOutputPath(folder, stem);
    // The dialog asked before an existing file was chosen; only then may the
    // save replace it.
    bool confirmed = false;
    for (;;) {
        const bool saved = confirmed
                               ? presentation.SaveAsReplacing(proposed, engine::ppSaveAsOpenXMLPresentation)
                               : presentation.SaveAs(proposed, engine::ppSaveAsOpenXMLPresentation, engine::msoFalse);
        if (saved)
            return proposed;
        const fs::path documents = GetDocumentsFolder();
        if (!documents.empty())
            proposed = MakeUniqueOutputPath(documents, stem);
        const auto chosen = dialog(proposed);
        if (!chosen)
            throw UserCancelledError();
        proposed = *chosen;
        confirmed = true;
    }
}
