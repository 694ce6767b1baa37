#include "app/Batch.h"

#include "app/BatchProgress.h"
#include "app/ConversionJob.h"
#include "app/DescribeException.h"
#include "app/FolderLock.h"
#include "app/TempFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsWithin(const fs::path& path, const fs::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty())
            continue;  // trailing separator
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

}  // namespace

std::vector<fs::path> FindFilesRecursive(const fs::path& folder, bool fullPaths)
{
    const fs::path root = folder.is_absolute() ? folder : fs::current_path() / folder;
    std::vector<fs::path> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (!it->is_regular_file(statusError))
            continue;
        files.push_back(fullPaths ? it->path() : it->path().lexically_relative(root));
    }
    return files;
}

fs::path MakeUniqueFileName(const fs::path& folder, const std::string& prefix, const std::string& extension,
                            const std::function<std::uint32_t()>& tickCount)
{
    std::uint32_t n = (tickCount ? tickCount() : GetTickCount32()) & 0x7FFFFFFFu;
    for (;;) {
        const fs::path candidate = folder / (prefix + std::to_string(n) + "." + extension);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
        ++n;
    }
}

ProcessingLog::~ProcessingLog()
{
    Close();
}

void ProcessingLog::Open(const fs::path& outputFolder, std::size_t fileCount)
{
    Close();
    // A name can be taken between the test and the creation; O_EXCL makes
    // sure an existing file is never truncated, and the next number is tried.
    for (int attempt = 0; attempt < 1000 && !m_file.Valid(); ++attempt) {
        m_path = MakeUniqueFileName(outputFolder, "log", "txt");
        m_file.Reset(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!m_file.Valid() && errno != EEXIST)
            break;
    }
    if (!m_file.Valid())
        m_path.clear();
    WriteLine("Start processing. " + std::to_string(fileCount) + " files");
}

void ProcessingLog::WriteLine(const std::string& line)
{
    if (m_file.Valid())
        files::WriteAll(m_file.Get(), line + "\r\n");
}

void ProcessingLog::Close()
{
    m_file.Close();
}

void RunBatch(std::string sourceFolder, std::string outputFolder, const BatchOptions& options)
{
    RunBatch(sourceFolder, outputFolder,
             [](const fs::path& source, const fs::path& workingFolder, const fs::path& output) {
                 RunConversionJob(source, workingFolder, output);
             },
             options, BatchProgress::StderrIsTerminal());
}

void RunBatch(const std::string& sourceFolder, const std::string& outputFolder, const BatchJob& job,
              const BatchOptions& options, bool showProgress)
{
    std::error_code ec;
    if (!fs::is_directory(sourceFolder, ec) || ec)
        return;
    const auto outputStatus = fs::status(outputFolder, ec);
    if (fs::exists(outputStatus) && !fs::is_directory(outputStatus))
        return;
    fs::create_directories(outputFolder, ec);

    // The list is taken before anything is written, so this run never
    // converts its own results. An output folder strictly inside the source
    // holds earlier results and logs, not books.
    std::vector<fs::path> files = FindFilesRecursive(sourceFolder, true);
    const fs::path sourceResolved = fs::weakly_canonical(fs::absolute(sourceFolder, ec), ec);
    const fs::path outputResolved = fs::weakly_canonical(fs::absolute(outputFolder, ec), ec);
    if (outputResolved != sourceResolved && IsWithin(outputResolved, sourceResolved)) {
        std::erase_if(files, [&](const fs::path& file) {
            std::error_code e;
            return IsWithin(fs::weakly_canonical(file, e), outputResolved);
        });
    }
    if (files.empty())
        return;

    TempFolder batchFolder;
    try {
        const std::string base = GetTempFolderBase();
        RemoveStaleWorkingFolders(base);
        batchFolder.Create(base, "ravelo", "", 10000);
    } catch (const std::exception& e) {
        std::cerr << "Cannot create the working folder: " << e.what() << std::endl;
        return;
    }

    BatchOptions effective = options;
    if (effective.jobs == 0) {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        effective.jobs = online > 0 ? static_cast<unsigned>(online) : 1u;
    }
    ProcessingLog log;
    log.Open(outputFolder, files.size());
    BatchProgress progress(std::cerr, showProgress, files.size());
    RunBatchJobs(files, job, batchFolder.GetPath(), outputFolder, effective,
                 [&](std::size_t index, const std::string& failure) {
                     if (!failure.empty()) {
                         log.WriteLine("Error during processing file - " + files[index].string());
                         log.WriteLine("\tError description: " + failure);
                     }
                     progress.BookFinished(!failure.empty());
                 },
                 [&] { progress.Tick(); });
    log.WriteLine("Processing finished");
    log.Close();
    progress.Finish();
}
