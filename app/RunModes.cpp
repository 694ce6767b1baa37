#include "app/RunModes.h"

#include "app/Batch.h"
#include "app/ConversionJob.h"
#include "app/RevealInExplorer.h"
#include "app/TempFolder.h"
#include "diagnostics/SupportLink.h"
#include "export/ConversionErrors.h"
#include "ui/Messages.h"

RunMode SelectRunMode(const std::vector<std::string>& arguments)
{
    if (arguments.size() >= 3 && arguments[0] == "--silent")
        return RunMode::Batch;
    if (!arguments.empty())
        return RunMode::SingleFile;
    return RunMode::Usage;
}

SingleFileActions DefaultSingleFileActions()
{
    SingleFileActions actions;
    actions.convert = [](const std::filesystem::path& source, const std::filesystem::path& workingFolder) {
        return RunConversionJob(source, workingFolder, {});
    };
    actions.reveal = [](const std::filesystem::path& presentation) { RevealInExplorer(presentation); };
    actions.showPptNotInstalled = [] { ShowPptNotInstalledMessage(); };
    actions.showNotABook = [] { ShowNotABookMessage(); };
    actions.showFileCorrupted = [](const std::string& description) {
        ShowFileCorruptedMessage(MakeSupportUrl(description));
    };
    actions.workingFolderBase = [] { return GetTempFolderBase(); };
    return actions;
}

void RunSingleFile(const std::string& sourcePath, const SingleFileActions& actions)
{
    std::error_code ec;
    if (!std::filesystem::exists(sourcePath, ec) || ec)
        return;
    try {
        TempFolder workingFolder;
        workingFolder.Create(actions.workingFolderBase(), "ravelo", "", 10000);
        const auto presentation = actions.convert(sourcePath, workingFolder.GetPath());
        actions.reveal(presentation);
    } catch (const PptNotInstalledError&) {
        actions.showPptNotInstalled();
    } catch (const UnknownFileTypeError&) {
        actions.showNotABook();
    } catch (const UserCancelledError&) {
    } catch (const FileCorruptedError& e) {
        actions.showFileCorrupted(e.GetPowerPointDescription());
    } catch (...) {
        actions.showFileCorrupted({});
    }
}

void RunApplication(const std::vector<std::string>& arguments)
{
    switch (SelectRunMode(arguments)) {
    case RunMode::Batch:
        RunBatch(arguments[1], arguments[2]);
        break;
    case RunMode::SingleFile:
        RunSingleFile(arguments[0]);
        break;
    case RunMode::Usage:
        ShowUsageMessage();
        break;
    }
}
