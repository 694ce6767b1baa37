#pragma once
#include "app/BatchRunner.h"
#include "imaging/FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Converts every file below the source folder into the output folder without
// messages, and logs the failures in "log<N>.txt" there. Each file runs in a
// child process of its own, so a book that crashes or hangs the converter is
// logged as a failure and the run goes on; several run at once with the same
// result as one after the other (BatchRunner.h).
void RunBatch(std::string sourceFolder, std::string outputFolder, const BatchOptions& options = {});
void RunBatch(const std::string& sourceFolder, const std::string& outputFolder, const BatchJob& job,
              const BatchOptions& options = {}, bool showProgress = false);

// Every regular file below folder at any depth (symbolic links to folders are
// not entered), as full paths or relative to the folder.
std::vector<std::filesystem::path> FindFilesRecursive(const std::filesystem::path& folder, bool fullPaths);

// folder + prefix + N + "." + extension for the first N, counting up from the
// tick count with the top bit cleared, at which nothing exists.
std::filesystem::path MakeUniqueFileName(const std::filesystem::path& folder, const std::string& prefix,
                                         const std::string& extension,
                                         const std::function<std::uint32_t()>& tickCount = {});

// The batch log: UTF-8 lines ending in CR LF, each written through at once.
class ProcessingLog {
public:
    ProcessingLog() = default;
    ~ProcessingLog();
    ProcessingLog(const ProcessingLog&) = delete;
    ProcessingLog& operator=(const ProcessingLog&) = delete;

    // Creates a new log file in the folder (never an existing one) and writes
    // the first line. When that fails, later lines are dropped.
    void Open(const std::filesystem::path& outputFolder, std::size_t fileCount);
    void WriteLine(const std::string& line);
    void Close();

    const std::filesystem::path& GetPath() const noexcept { return m_path; }

private:
    files::Fd m_file;
    std::filesystem::path m_path;
};
