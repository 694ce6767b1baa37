#include "app/RunModes.h"

#include "app/Batch.h"
#include "app/ConversionJob.h"
#include "app/RevealInExplorer.h"
#include "app/TempFolder.h"
#include "app/TerminalNotes.h"
#include "diagnostics/SupportLink.h"
#include "export/ConversionErrors.h"
#include "files/FolderLock.h"
#include "ui/Desktop.h"
#include "ui/Messages.h"
#include "ui/SaveFileDialog.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <unistd.h>

using namespace exporting;

using namespace ui;

namespace app {

RunMode SelectRunMode(const std::vector<std::string>& arguments)
{
    if (!arguments.empty() && arguments[0] == "--silent" && ParseBatchArguments(arguments).folders.size() >= 2)
        return RunMode::Batch;
    if (!arguments.empty())
        return RunMode::SingleFile;
    return RunMode::Usage;
}

SingleFileActions DefaultSingleFileActions(const ProgramServices& services)
{
    SingleFileActions actions;
    actions.convert = [save = services.save](const std::filesystem::path& source,
                                             const std::filesystem::path& workingFolder) {
        return RunConversionJob(source, workingFolder, {}, save);
    };
    actions.reveal = [](const std::filesystem::path& presentation) { RevealInExplorer(presentation); };
    actions.showPptNotInstalled = [] { ShowPptNotInstalledMessage(); };
    actions.showNotABook = [] { ShowNotABookMessage(); };
    actions.showFileCorrupted = [describe = services.describeInstalledEngine](const std::string& description) {
        ShowFileCorruptedMessage(diagnostics::MakeSupportUrl(description, describe));
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
        files::RemoveStaleWorkingFolders(base);
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

// The count is taken as written: 1 to 128, digits only.
bool IsJobCount(const std::string& text)
{
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    return error == std::errc() && end == text.data() + text.size() && jobs >= 1 && jobs <= 128;
}

}  // namespace

BatchArguments ParseBatchArguments(const std::vector<std::string>& arguments)
{
    BatchArguments parsed;
    const auto takeJobs = [&parsed](const std::string& text) {
        parsed.options.jobs = ParseJobCount(text);
        if (!IsJobCount(text))
            parsed.refusedJobs.push_back(text);
    };
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::error_code ec;
        if (argument == "--resume")
            parsed.options.resume = true;
        else if (argument == "--jobs")
            takeJobs(i + 1 < arguments.size() ? arguments[++i] : std::string());
        else if (argument.starts_with("--jobs="))
            takeJobs(argument.substr(7));
        else if (argument.starts_with("-") && !std::filesystem::exists(std::filesystem::symlink_status(argument, ec)))
            parsed.unknownOptions.push_back(argument);
        else
            parsed.folders.push_back(argument);
    }
    return parsed;
}

BatchOptions ParseBatchOptions(const std::vector<std::string>& arguments)
{
    return ParseBatchArguments(arguments).options;
}

unsigned ParseJobs(const std::vector<std::string>& arguments)
{
    return ParseBatchOptions(arguments).jobs;
}

bool StartsWithChooseBook(const std::vector<std::string>& arguments)
{
    std::error_code ec;
    return !arguments.empty() && arguments[0] == kChooseBookOption
           && !std::filesystem::exists(std::filesystem::symlink_status(arguments[0], ec));
}

void ChooseAndConvertBook(const SingleFileActions& actions)
{
    if (!OpenDesktop()) {
        ShowUsageMessage();
        return;
    }
    if (const auto book = ShowOpenBookDialog())
        RunSingleFile(book->string(), actions);
}

void RunApplication(const std::vector<std::string>& arguments, const ProgramServices& services)
{
    if (StartsWithChooseBook(arguments)) {
        if (arguments.size() == 1)
            ChooseAndConvertBook(DefaultSingleFileActions(services));
        else
            RunApplication({arguments.begin() + 1, arguments.end()}, services);
        return;
    }
    WriteCommandLineNotes(CommandLineNotes(arguments), std::cerr, ::isatty(STDERR_FILENO) == 1);
    switch (SelectRunMode(arguments)) {
    case RunMode::Batch: {
        const BatchArguments batch = ParseBatchArguments(arguments);
        RunBatch(batch.folders[0], batch.folders[1], batch.options, services);
        break;
    }
    case RunMode::SingleFile:
        RunSingleFile(arguments[0], DefaultSingleFileActions(services));
        break;
    case RunMode::Usage:
        ShowUsageMessage();
        break;
    }
}

}  // namespace app
