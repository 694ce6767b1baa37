#include "app/TerminalNotes.h"

#include "app/RunModes.h"
#include "text/LineEscaping.h"

#include <filesystem>

namespace app {

namespace fs = std::filesystem;

namespace {

// A name as one line, whatever bytes it holds.
std::string Shown(const std::string& name)
{
    return lineescaping::Escape(name);
}

// The type of what a path names; on failure, why it could not be looked at
// (a missing path is no failure).
fs::file_type TypeOf(const std::string& path, std::string& failure)
{
    std::error_code ec;
    const fs::file_type type = fs::status(path, ec).type();
    if (type == fs::file_type::none)
        failure = Shown(path) + ": " + ec.message();
    return type;
}

void AddFolderNotes(const BatchArguments& batch, std::vector<std::string>& notes)
{
    for (const std::string& option : batch.unknownOptions)
        notes.push_back("unknown option " + Shown(option));
    for (const std::string& value : batch.refusedJobs)
        notes.push_back("--jobs needs a number from 1 to 128" + (value.empty() ? "" : ": " + Shown(value)));
    std::string failure;
    const fs::file_type source = TypeOf(batch.folders[0], failure);
    if (source == fs::file_type::not_found)
        notes.push_back("no such folder: " + Shown(batch.folders[0]));
    else if (source != fs::file_type::directory)
        notes.push_back(source == fs::file_type::none ? failure : "not a folder: " + Shown(batch.folders[0]));
    const fs::file_type output = TypeOf(batch.folders[1], failure);
    if (output == fs::file_type::none)
        notes.push_back(failure);
    else if (output != fs::file_type::not_found && output != fs::file_type::directory)
        notes.push_back("not a folder: " + Shown(batch.folders[1]));
    for (std::size_t i = 2; i < batch.folders.size(); ++i)
        notes.push_back("only SOURCE and OUTPUT are used; ignored: " + Shown(batch.folders[i]));
}

}  // namespace

std::vector<std::string> CommandLineNotes(const std::vector<std::string>& arguments)
{
    std::vector<std::string> notes;
    if (arguments.empty())
        return notes;
    if (SelectRunMode(arguments) == RunMode::Batch) {
        AddFolderNotes(ParseBatchArguments(arguments), notes);
        return notes;
    }
    const std::string& path = arguments[0];
    std::string failure;
    const fs::file_type type = TypeOf(path, failure);
    if (type == fs::file_type::not_found || type == fs::file_type::none) {
        if (path == "--silent")
            notes.push_back("--silent needs two folders: SOURCE OUTPUT");
        else if (path.starts_with("-"))
            notes.push_back("unknown option " + Shown(path));
        else
            notes.push_back(type == fs::file_type::none ? failure : "no such file: " + Shown(path));
        return notes;
    }
    if (arguments.size() > 1)
        notes.push_back("only the first book is converted; for several, use --silent");
    return notes;
}

void WriteCommandLineNotes(const std::vector<std::string>& notes, std::ostream& err, bool terminal)
{
    if (!terminal)
        return;
    for (const std::string& note : notes)
        err << "tralvex: " << note << '\n';
    err << std::flush;
}

}  // namespace app
