#include "app/Batch.h"

#include "app/ConversionJob.h"
#include "app/DescribeException.h"
#include "app/TempFolder.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A book that keeps the converter busy this long is given up.
constexpr int kPerFileTimeoutMs = 10 * 60 * 1000;

bool WriteAll(int fd, const std::string& data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

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

// Runs the job in a child process. Returns an empty string on success, else
// the description of what went wrong.
std::string RunIsolated(const BatchJob& job, const fs::path& source, const fs::path& workingFolder,
                        const fs::path& outputFolder)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create pipe: ") + std::strerror(errno));
    std::cout.flush();
    std::cerr.flush();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw std::runtime_error(std::string("cannot start conversion process: ") + std::strerror(errno));
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string report = "ok";
        try {
            job(source, workingFolder, outputFolder);
        } catch (...) {
            report = "E" + DescribeException(std::current_exception(), true);
        }
        WriteAll(pipeFds[1], report);
        ::close(pipeFds[1]);
        // No destructors of the parent's objects may run here: the working
        // folder belongs to the parent, which deletes it.
        std::cout.flush();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        pollfd pfd {pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kPerFileTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return "(timeout) the conversion did not finish within " + std::to_string(kPerFileTimeoutMs / 60000)
             + " minutes";
    if (report == "ok")
        return {};
    if (!report.empty() && report[0] == 'E')
        return report.substr(1);
    if (WIFSIGNALED(status))
        return "(crash) the conversion ended with signal " + std::to_string(WTERMSIG(status)) + " ("
             + strsignal(WTERMSIG(status)) + ")";
    return "(crash) the conversion ended without a result";
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
    for (int attempt = 0; attempt < 1000 && m_fd < 0; ++attempt) {
        m_path = MakeUniqueFileName(outputFolder, "log", "txt");
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        m_path.clear();
    WriteLine("Start processing. " + std::to_string(fileCount) + " files");
}

void ProcessingLog::WriteLine(const std::string& line)
{
    if (m_fd >= 0)
        WriteAll(m_fd, line + "\r\n");
}

void ProcessingLog::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void RunBatch(std::string sourceFolder, std::string outputFolder)
{
    RunBatch(sourceFolder, outputFolder,
             [](const fs::path& source, const fs::path& workingFolder, const fs::path& output) {
                 RunConversionJob(source, workingFolder, output);
             });
}

void RunBatch(const std::string& sourceFolder, const std::string& outputFolder, const BatchJob& job)
{
    std::error_code ec;
    if (!fs::is_directory(sourceFolder, ec) || ec)
        return;
    const auto outputStatus = fs::status(outputFolder, ec);
    if (fs::exists(outputStatus) && !fs::is_directory(outputStatus))
        return;
    fs::create_directories(outputFolder, ec);

    std::vector<fs::path> files = FindFilesRecursive(sourceFolder, true);
    // An output folder inside the source folder holds earlier results and
    // logs, not books.
    const fs::path outputResolved = fs::weakly_canonical(fs::absolute(outputFolder, ec), ec);
    std::erase_if(files, [&](const fs::path& file) {
        std::error_code e;
        return IsWithin(fs::weakly_canonical(file, e), outputResolved);
    });
    if (files.empty())
        return;

    TempFolder batchFolder;
    try {
        batchFolder.Create(GetTempFolderBase(), "ravelo", "", 10000);
    } catch (const std::exception& e) {
        std::cerr << "Cannot create the working folder: " << e.what() << std::endl;
        return;
    }

    ProcessingLog log;
    log.Open(outputFolder, files.size());
    for (const fs::path& file : files) {
        std::string failure;
        try {
            TempFolder fileFolder;
            fileFolder.Create(batchFolder.GetPath(), "", "", 10000);
            failure = RunIsolated(job, file, fileFolder.GetPath(), outputFolder);
        } catch (...) {
            failure = DescribeException(std::current_exception(), true);
        }
        if (!failure.empty()) {
            log.WriteLine("Error during processing file - " + file.string());
            log.WriteLine("\tError description: " + failure);
        }
    }
    log.WriteLine("Processing finished");
    log.Close();
}
