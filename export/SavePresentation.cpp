#include "export/SavePresentation.h"

#include "export/ConversionErrors.h"
#include "export/OutputPath.h"
#include "text/LineEscaping.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace exporting {

namespace fs = std::filesystem;

namespace {

// A name taken between choosing and saving is not a failure to save there.
constexpr int kTakenNameRetries = 100;

bool Taken(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// A failed save of the presentation leaves errno saying why; read before
// anything else can change it.
std::string SaveErrorReason()
{
    return errno != 0 ? std::strerror(errno) : "the presentation could not be written";
}

}  // namespace

std::optional<fs::path> HeadlessSaveDialog(const fs::path&, const SaveFailure& failure)
{
    // Escaped: a name with a line break must not make two lines of one.
    std::cerr << "The presentation of \"" << lineescaping::Escape(failure.source.string())
              << "\" could not be saved as \"" << lineescaping::Escape(failure.failed.string())
              << "\": " << failure.reason << std::endl;
    throw SaveFailedError("the presentation could not be saved as \"" + failure.failed.string()
                          + "\": " + failure.reason);
}

fs::path SavePresentation(engine::IPresentation& presentation, const fs::path& source,
                          const fs::path& outputFolder, const SaveDialog& dialog, const SaveTurns& turns)
{
    const SaveDialog ask = dialog ? dialog : SaveDialog(HeadlessSaveDialog);
    const fs::path folder = outputFolder.empty() ? source.parent_path() : outputFolder;
    const std::string stem = source.stem().string();
    if (turns.beforeNaming)
        turns.beforeNaming();
    fs::path proposed = MakeUniqueOutputPath(folder, stem);
    SaveFailure failure{source, {}, {}};
    for (int attempt = 0;; ++attempt) {
        errno = 0;
        if (presentation.SaveAs(proposed, engine::ppSaveAsOpenXMLPresentation, engine::msoFalse))
            return proposed;
        failure.reason = SaveErrorReason();
        failure.failed = proposed;
        if (attempt == kTakenNameRetries || !Taken(proposed))
            break;
        proposed = MakeUniqueOutputPath(folder, stem);
    }
    for (;;) {
        const fs::path documents = GetDocumentsFolder();
        if (!documents.empty())
            proposed = MakeUniqueOutputPath(documents, stem);
        std::optional<fs::path> choice;
        {
            if (turns.enterDialog)
                turns.enterDialog();
            struct Leave {
                const SaveTurns& turns;
                ~Leave()
                {
                    if (turns.leaveDialog)
                        turns.leaveDialog();
                }
            } leave{turns};
            choice = ask(proposed, failure);
        }
        if (!choice)
            throw UserCancelledError();
        proposed = *choice;
        // The user confirmed replacing a path of their own choice.
        errno = 0;
        if (presentation.SaveAsReplacing(proposed, engine::ppSaveAsOpenXMLPresentation))
            return proposed;
        failure.reason = SaveErrorReason();
        failure.failed = proposed;
    }
}

}  // namespace exporting
