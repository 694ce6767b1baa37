#pragma once
#include "export/SavePresentation.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace app {

// Converts one file of a batch: source, its own working folder, output
// folder, and the turns its save takes with the other books of the run; the
// path of the written presentation.
using BatchJob = std::function<std::filesystem::path(
    const std::filesystem::path& source, const std::filesystem::path& workingFolder,
    const std::filesystem::path& outputFolder, const exporting::SaveTurns& turns)>;

// Decides without a process of its own what cannot be a book: the
// description of the failure the job would give it, or nothing when the job
// has to look.
using BatchScreen = std::function<std::optional<std::string>(const std::filesystem::path& source)>;

// Appends the entries of one folder of the source; throws
// std::filesystem::filesystem_error when the folder cannot be read (to its
// end). Tests give one that fails as a broken mount would.
using FolderReader = std::function<void(const std::filesystem::path& folder,
                                        std::vector<std::filesystem::directory_entry>& entries)>;

struct BatchOptions {
    unsigned jobs = 0;  // books converted at once; 0: one per online processor
    // A book that keeps the converter busy this long is given up. Time spent
    // waiting for a turn to name the result or to show the dialog is not
    // counted.
    std::chrono::milliseconds timeout = std::chrono::minutes(10);
    // Skip the books that a record in the output folder lists as converted,
    // with their presentation still there.
    bool resume = false;
    FolderReader readFolder = {};  // empty: the file system's
};

// The books that may compete for one output name: the stem without any
// " (k)" endings, since "Lesson (2)" is also a name "Lesson" can take.
std::string OutputNameKey(const std::filesystem::path& source);

// Runs the job for every file in a child process of its own, up to
// options.jobs at once. The result is that of running them one after the
// other: a book chooses its output name only when every earlier book that
// could take the same name is finished, only one book at a time shows the
// Save dialog, and results are reported in list order (an empty text for a
// success, else the description of the failure). A file the screen rejects
// costs no process. onConverted hears of each presentation as soon as it is
// written, in the order they finish; when a child ends without a report,
// the unfinished saves it left in the output folder are removed.
void RunBatchJobs(const std::vector<std::filesystem::path>& files, const BatchJob& job,
                  const std::filesystem::path& batchFolder, const std::filesystem::path& outputFolder,
                  const BatchOptions& options,
                  const std::function<void(std::size_t index, const std::string& failure)>& onResult,
                  const std::function<void()>& onTick = {},  // at least once a second
                  const BatchScreen& screen = {},
                  const std::function<void(std::size_t index, const std::filesystem::path& presentation)>&
                      onConverted = {});

}  // namespace app
