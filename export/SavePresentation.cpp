#include "export/SavePresentation.h"

#include "app/ConversionErrors.h"
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

fs::path SavePresentation(engine::IPresentation& presentation, const fs::path& source,
                          const fs::path& outputFolder, const SaveDialog& dialog)
{
    const SaveDialog& ask = dialog ? dialog : InstalledDialog();
    const fs::path folder = outputFolder.empty() ? source.parent_path() : outputFolder;
    const std::string stem = source.stem().string();
    fs::path proposed = MakeUniqueOutputPath(folder, stem);
    bool chosen = false;
    for (;;) {
        // The user confirmed replacing a path of their own choice.
        if (chosen ? presentation.SaveAsReplacing(proposed, 24) : presentation.SaveAs(proposed, 24, 0))
            return proposed;
        const fs::path failed = proposed;
        const fs::path documents = GetDocumentsFolder();
        if (!documents.empty())
            proposed = MakeUniqueOutputPath(documents, stem);
        const auto choice = ask(proposed, failed);
        if (!choice)
            throw UserCancelledError();
        proposed = *choice;
        chosen = true;
    }
}
