#pragma once
#include "app/BatchRunner.h"
#include "app/ProgramServices.h"
#include "files/FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace app {

// Converts every file below the source folder into the output folder without
// messages, and logs the failures in "log<N>.txt" there; every book converted
// is recorded in "converted<N>.tsv" beside it, which --resume reads. Each
// file runs in a child process of its own, so a book that crashes or hangs
// the converter is logged as a failure and the run goes on; several run at
// once with the same result as one after the other (BatchRunner.h). A save
// that fails asks through services, one book at a time.
void RunBatch(std::string sourceFolder, std::string outputFolder, const BatchOptions& options = {},
              const ProgramServices& services = {});
// screen: decides without a process what cannot be a book (BatchRunner.h).
void RunBatch(const std::string& sourceFolder, const std::string& outputFolder, const BatchJob& job,
              const BatchOptions& options = {}, bool showProgress = false, const BatchScreen& screen = {});

// A folder below the source that could not be read (or not to its end).
struct UnreadableFolder {
    std::filesystem::path folder;
    std::string reason;  // the system's error text
};

// Every regular file below folder at any depth (symbolic links to folders are
// not entered), as full paths or relative to the folder, in the order the
// file system lists them. A folder that cannot be read is added to
// unreadable (when given) and the walk goes on with the next one.
std::vector<std::filesystem::path> FindFilesRecursive(const std::filesystem::path& folder, bool fullPaths,
                                                      std::vector<UnreadableFolder>* unreadable = nullptr,
                                                      const FolderReader& readFolder = {});

// folder + prefix + N + "." + extension for the first N, counting up from the
// tick count with the top bit cleared, at which nothing exists.
std::filesystem::path MakeUniqueFileName(const std::filesystem::path& folder, const std::string& prefix,
                                         const std::string& extension,
                                         const std::function<std::uint32_t()>& tickCount = {});

// A new file for lines that must never be lost silently: when it cannot be
// created or written, one line on standard error says so and why, and later
// lines are dropped. Each line goes out in one write.
class BatchTextFile {
public:
    BatchTextFile() = default;
    BatchTextFile(const BatchTextFile&) = delete;
    BatchTextFile& operator=(const BatchTextFile&) = delete;

    // Creates folder/prefix<N>.extension (never an existing file) with N
    // from firstNumber when given, else counting up from the tick count.
    bool Create(const std::filesystem::path& folder, const std::string& prefix, const std::string& extension,
                const std::string& what, std::uint32_t firstNumber = 0);
    void Write(const std::string& text);
    void Close();

    const std::filesystem::path& GetPath() const noexcept { return m_path; }

private:
    files::Fd m_file;
    std::filesystem::path m_path;
    std::string m_what;
};

// The batch log: UTF-8 lines ending in CR LF, each written through at once.
class ProcessingLog {
public:
    ProcessingLog() = default;
    ~ProcessingLog();
    ProcessingLog(const ProcessingLog&) = delete;
    ProcessingLog& operator=(const ProcessingLog&) = delete;

    // Creates a new log file in the folder (never an existing one) and writes
    // the first line.
    void Open(const std::filesystem::path& outputFolder, std::size_t fileCount);
    void WriteLine(const std::string& line);
    void Close();

    const std::filesystem::path& GetPath() const noexcept { return m_file.GetPath(); }

private:
    BatchTextFile m_file;
};

// The record of converted books: one line per book, source and presentation
// separated by a tab, each escaped (text/LineEscaping.h), ending in LF.
std::string RecordLine(const std::filesystem::path& source, const std::filesystem::path& presentation);

// What --resume skips: the sources that records ("converted*.tsv") in the
// folder list with their presentation still present, and those
// presentations themselves (an output folder inside the source lists them),
// each as recorded and resolved.
std::vector<std::filesystem::path> ConvertedSources(const std::filesystem::path& outputFolder);

}  // namespace app
