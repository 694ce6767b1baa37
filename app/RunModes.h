#pragma once
#include "app/BatchRunner.h"
#include "app/ProgramServices.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace app {

enum class RunMode { Usage,
                     SingleFile,
                     Batch };

// Batch mode needs "--silent" (exactly) as argument 0 and two folders after
// it; any other non-empty argument list is single-file mode with argument 0.
RunMode SelectRunMode(const std::vector<std::string>& arguments);

// What follows "--silent", in any order: "--jobs N" or "--jobs=N" (N at most
// 128; 0, the default, when it is missing or not a positive number),
// "--resume", and the folders: every other argument, unless it starts with
// "-" and names nothing that exists (an unknown option).
struct BatchArguments {
    std::vector<std::string> folders;  // source, output, then any extra ones
    BatchOptions options;
    std::vector<std::string> refusedJobs;  // "--jobs" values not taken as given ("" when missing)
    std::vector<std::string> unknownOptions;
};
BatchArguments ParseBatchArguments(const std::vector<std::string>& arguments);
BatchOptions ParseBatchOptions(const std::vector<std::string>& arguments);
unsigned ParseJobs(const std::vector<std::string>& arguments);

// What single-file mode calls; tests replace the parts they observe.
struct SingleFileActions {
    std::function<std::filesystem::path(const std::filesystem::path& source,
                                        const std::filesystem::path& workingFolder)>
        convert;
    std::function<void(const std::filesystem::path& presentation)> reveal;
    std::function<void()> showPptNotInstalled;
    std::function<void()> showNotABook;
    std::function<void(const std::string& engineDescription)> showFileCorrupted;
    std::function<std::string()> workingFolderBase;
};

// The real actions, saving and describing the engine through services.
SingleFileActions DefaultSingleFileActions(const ProgramServices& services = {});

// Converts one dropped file next to itself and reveals the result; every
// failure ends in a message, a cancelled Save dialog quietly.
void RunSingleFile(const std::string& sourcePath, const SingleFileActions& actions = DefaultSingleFileActions());

// The whole program after start-up: chooses the mode and runs it with the
// services of the entry point.
void RunApplication(const std::vector<std::string>& arguments, const ProgramServices& services);

// The option the desktop entry puts before its optional file: without a
// book, a launch from the application menu asks for one.
inline constexpr const char* kChooseBookOption = "--choose-book";
// Whether arguments begin with that option (and no file of that name
// exists, like --help).
bool StartsWithChooseBook(const std::vector<std::string>& arguments);
// Offers the desktop's file chooser for a book and converts the chosen one
// as RunSingleFile does; the usage message where no desktop can be opened.
void ChooseAndConvertBook(const SingleFileActions& actions = DefaultSingleFileActions());

}  // namespace app
