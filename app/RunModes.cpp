#include "app/RunModes.h"

#include "app/Batch.h"
#include "app/ConversionJob.h"
#include "app/FolderLock.h"
#include "app/RevealInExplorer.h"
#include "app/TempFolder.h"
#include "diagnostics/SupportLink.h"
#include "export/ConversionErrors.h"
#include "ui/Messages.h"

#include <algorithm>
#include <charconv>

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
        const std::string base = actions.workingFolderBase();
        RemoveStaleWorkingFolders(base);
        TempFolder workingFolder;
        workingFolder.Create(base, "ravelo", "", 10000);
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

namespace {

// A positive count, at most 128 (each costs descriptors and a book in
// memory); 0 when the text is no positive number.
unsigned ParseJobCount(const std::string& text)
{
    constexpr unsigned kMostJobs = 128;
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error == std::errc::result_out_of_range && end == text.data() + text.size() && !text.empty()
        && text[0] != '-')
        return kMostJobs;
    if (error != std::errc() || end != text.data() + text.size() || jobs == 0)
        return 0;
    return std::min(jobs, kMostJobs);
}

}  // namespace

BatchOptions ParseBatchOptions(const std::vector<std::string>& arguments)
{
    BatchOptions options;
    for (std::size_t i = 3; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--resume")
            options.resume = true;
        else if (argument == "--jobs" && i + 1 < arguments.size())
            options.jobs = ParseJobCount(arguments[++i]);
        else if (argument.rfind("--jobs=", 0) == 0)
            options.jobs = ParseJobCount(argument.substr(7));
    }
    return options;
}

unsigned ParseJobs(const std::vector<std::string>& arguments)
{
    return ParseBatchOptions(arguments).jobs;
}

void RunApplication(const std::vector<std::string>& arguments)
{
    switch (SelectRunMode(arguments)) {
    case RunMode::Batch:
        RunBatch(arguments[1], arguments[2], ParseBatchOptions(arguments));
        break;
    case RunMode::SingleFile:
        RunSingleFile(arguments[0]);
        break;
    case RunMode::Usage:
        ShowUsageMessage();
        break;
    }
}
