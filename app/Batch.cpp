#include "app/Batch.h"

#include "app/BatchProgress.h"
#include "app/ConversionJob.h"
#include "app/DescribeException.h"
#include "app/TempFolder.h"
#include "book/BookReader.h"
#include "files/FolderLock.h"

#include "app/PackageScreen.h"
#include "export/engine/Engine.h"
#include "text/LineEscaping.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace exporting;

namespace app {

namespace fs = std::filesystem;

namespace {

// The N of "log<N>.txt", so that the record beside it takes the same one.
std::uint32_t LogNumber(const fs::path& log)
{
    const std::string stem = log.stem().string();
    std::uint32_t n = 0;
    if (stem.size() > 3)
        std::from_chars(stem.data() + 3, stem.data() + stem.size(), n);
    return n;
}

std::string ReadWholeFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

}  // namespace

namespace {

void ReadFolder(const fs::path& folder, std::vector<fs::directory_entry>& entries)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec)
        throw fs::filesystem_error("cannot read the folder", folder, ec);
}

void Walk(const fs::path& folder, const fs::path& root, bool fullPaths, std::vector<fs::path>& files,
          std::vector<UnreadableFolder>* unreadable, const FolderReader& readFolder)
{
    std::vector<fs::directory_entry> entries;
    try {
        readFolder ? readFolder(folder, entries) : ReadFolder(folder, entries);
    } catch (const fs::filesystem_error& e) {
        if (unreadable)
            unreadable->push_back({folder, e.code().message()});
    }
    for (const fs::directory_entry& entry : entries) {
        std::error_code ec;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            Walk(entry.path(), root, fullPaths, files, unreadable, readFolder);
            continue;
        }
        if (entry.is_regular_file(ec))
            files.push_back(fullPaths ? entry.path() : entry.path().lexically_relative(root));
    }
}

}  // namespace

std::vector<fs::path> FindFilesRecursive(const fs::path& folder, bool fullPaths,
                                         std::vector<UnreadableFolder>* unreadable, const FolderReader& readFolder)
{
    const fs::path root = folder.is_absolute() ? folder : fs::current_path() / folder;
    std::vector<fs::path> files;
    Walk(root, root, fullPaths, files, unreadable, readFolder);
    return files;
}

fs::path MakeUniqueFileName(const fs::path& folder, const std::string& prefix, const std::string& extension,
                            const std::function<std::uint32_t()>& tickCount)
{
    std::uint32_t n = (tickCount ? tickCount() : MillisecondsSinceBoot()) & 0x7FFFFFFFu;
    for (;;) {
        const fs::path candidate = folder / (prefix + std::to_string(n) + "." + extension);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
        ++n;
    }
}

bool BatchTextFile::Create(const fs::path& folder, const std::string& prefix, const std::string& extension,
                           const std::string& what, std::uint32_t firstNumber)
{
    Close();
    m_what = what;
    // A name can be taken between the test and the creation; O_EXCL makes
    // sure an existing file is never truncated, and the next number is tried.
    int error = 0;
    for (int attempt = 0; attempt < 1000 && !m_file.Valid(); ++attempt) {
        m_path = MakeUniqueFileName(folder, prefix, extension,
                                    firstNumber != 0 ? std::function<std::uint32_t()>([&] { return firstNumber; })
                                                     : std::function<std::uint32_t()>());
        m_file.Reset(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644));
        error = errno;
        if (!m_file.Valid() && error != EEXIST)
            break;
    }
    if (m_file.Valid())
        return true;
    std::cerr << "tralvex: the " << m_what << " cannot be created in \""
              << lineescaping::Escape(folder.string()) << "\": " << std::strerror(error) << std::endl;
    m_path.clear();
    return false;
}

void BatchTextFile::Write(const std::string& text)
{
    if (!m_file.Valid())
        return;
    if (files::WriteAll(m_file.Get(), text))
        return;
    const int error = errno;
    std::cerr << "tralvex: the " << m_what << " \"" << lineescaping::Escape(m_path.string())
              << "\" cannot be written: " << std::strerror(error) << std::endl;
    m_file.Reset();
}

void BatchTextFile::Close()
{
    if (m_file.Valid() && !m_file.Close())
        std::cerr << "tralvex: the " << m_what << " \"" << lineescaping::Escape(m_path.string())
                  << "\" cannot be written: " << std::strerror(errno) << std::endl;
}

ProcessingLog::~ProcessingLog()
{
    Close();
}

void ProcessingLog::Open(const fs::path& outputFolder, std::size_t fileCount)
{
    m_file.Create(outputFolder, "log", "txt", "log");
    WriteLine("Start processing. " + std::to_string(fileCount) + " files");
}

void ProcessingLog::WriteLine(const std::string& line)
{
    m_file.Write(line + "\r\n");
}

void ProcessingLog::Close()
{
    m_file.Close();
}

std::string RecordLine(const fs::path& source, const fs::path& presentation)
{
    return lineescaping::Escape(source.string()) + "\t" + lineescaping::Escape(presentation.string()) + "\n";
}

std::vector<fs::path> ConvertedSources(const fs::path& outputFolder)
{
    std::vector<fs::path> sources;
    std::error_code ec;
    for (fs::directory_iterator it(outputFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code e;
        if (name.rfind("converted", 0) != 0 || it->path().extension() != ".tsv" || !it->is_regular_file(e))
            continue;
        std::istringstream lines(ReadWholeFile(it->path()));
        std::string line;
        // A line cut short by a kill has no line end: it does not count.
        while (std::getline(lines, line) && !lines.eof()) {
            const auto tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            const fs::path source = lineescaping::Unescape(line.substr(0, tab));
            const fs::path presentation = lineescaping::Unescape(line.substr(tab + 1));
            if (!fs::exists(fs::symlink_status(presentation, e)))
                continue;
            for (const fs::path& path : {source, presentation}) {
                sources.push_back(path);
                const fs::path resolved = fs::weakly_canonical(path, e);
                if (!e && resolved != path)
                    sources.push_back(resolved);
            }
        }
    }
    return sources;
}

void RunBatch(std::string sourceFolder, std::string outputFolder, const BatchOptions& options,
              const ProgramServices& services)
{
    RunBatch(
        sourceFolder, outputFolder,
        [dialog = services.save.dialog](const fs::path& source, const fs::path& workingFolder,
                                        const fs::path& output, const SaveTurns& turns) {
            return RunConversionJob(source, workingFolder, output, SaveServices{dialog, turns});
        },
        options, BatchProgress::StderrIsTerminal(), ScreenNonPackage);
}

void RunBatch(const std::string& sourceFolder, const std::string& outputFolder, const BatchJob& job,
              const BatchOptions& options, bool showProgress, const BatchScreen& screen)
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
    std::vector<UnreadableFolder> unreadable;
    std::vector<fs::path> files = FindFilesRecursive(sourceFolder, true, &unreadable, options.readFolder);
    const fs::path sourceResolved = fs::weakly_canonical(fs::absolute(sourceFolder, ec), ec);
    const fs::path outputResolved = fs::weakly_canonical(fs::absolute(outputFolder, ec), ec);
    if (outputResolved != sourceResolved && IsWithin(outputResolved, sourceResolved)) {
        std::erase_if(files, [&](const fs::path& file) {
            std::error_code e;
            return IsWithin(fs::weakly_canonical(file, e), outputResolved);
        });
        std::erase_if(unreadable, [&](const UnreadableFolder& u) {
            std::error_code e;
            return IsWithin(fs::weakly_canonical(u.folder, e), outputResolved);
        });
    }
    for (const UnreadableFolder& u : unreadable)
        std::cerr << "tralvex: the folder \"" << lineescaping::Escape(u.folder.string())
                  << "\" cannot be read: " << u.reason << std::endl;
    std::size_t skipped = 0;
    if (options.resume) {
        std::vector<fs::path> converted = ConvertedSources(outputFolder);
        std::sort(converted.begin(), converted.end());
        const auto done = [&](const fs::path& file) {
            if (std::binary_search(converted.begin(), converted.end(), file))
                return true;
            std::error_code e;
            const fs::path resolved = fs::weakly_canonical(file, e);
            return !e && std::binary_search(converted.begin(), converted.end(), resolved);
        };
        if (!converted.empty())
            skipped = static_cast<std::size_t>(std::erase_if(files, done));
    }
    if (files.empty() && unreadable.empty())
        return;

    TempFolder batchFolder;
    try {
        const std::string base = GetTempFolderBase();
        files::RemoveStaleWorkingFolders(base);
        batchFolder.Create(base, "ravelo", "", 10000);
    } catch (const std::exception& e) {
        std::cerr << "tralvex: cannot create the working folder: " << e.what() << std::endl;
        return;
    }
    // Presentations a killed run was writing: nobody holds them any more.
    engine::RemoveStaleSaveFiles(outputFolder);

    BatchOptions effective = options;
    if (effective.jobs == 0) {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        effective.jobs = online > 0 ? static_cast<unsigned>(online) : 1u;
    }
    ProcessingLog log;
    log.Open(outputFolder, files.size());
    for (const UnreadableFolder& u : unreadable) {
        log.WriteLine("Error during processing file - " + lineescaping::Escape(u.folder.string()));
        log.WriteLine("\tError description: (unreadable folder) the folder cannot be read: " + u.reason);
    }
    BatchTextFile record;
    record.Create(outputFolder, "converted", "tsv", "record of converted books", LogNumber(log.GetPath()));
    BatchProgress progress(std::cerr, showProgress, files.size());
    if (skipped != 0)
        progress.Note(std::to_string(skipped) + (skipped == 1 ? " book was" : " books were")
                      + " converted before and skipped");
    // Every book is read in a process forked from this one: the XML parser,
    // started here once, is started in none of them. Only a saving: when it
    // cannot start here, each book starts it (or reports why it cannot).
    std::optional<bookparser::XmlParserStarted> xmlParser;
    try {
        xmlParser.emplace();
        // Each book starts a thread. Reusing the stack of an ended one has
        // the C library look up a function of the loader among all loaded
        // libraries, once a process: done here, every book inherits it.
        for (int i = 0; i < 2; ++i)
            std::thread([] {}).join();
    } catch (...) {
    }
    RunBatchJobs(
        files, job, batchFolder.GetPath(), outputFolder, effective,
        [&](std::size_t index, const std::string& failure) {
            if (!failure.empty()) {
                log.WriteLine("Error during processing file - " + lineescaping::Escape(files[index].string()));
                log.WriteLine("\tError description: " + lineescaping::Escape(failure));
            }
            progress.BookFinished(!failure.empty());
        },
        [&] { progress.Tick(); }, screen,
        // Recorded as soon as it is written, so that a resumed run
        // finds every presentation there is.
        // Absolute, so that a run from another folder finds it.
        [&](std::size_t index, const fs::path& presentation) {
            std::error_code e;
            const fs::path absolute = fs::absolute(presentation, e);
            record.Write(RecordLine(files[index], e ? presentation : absolute));
        });
    log.WriteLine("Processing finished");
    log.Close();
    record.Close();
    progress.Finish(log.GetPath());
}

}  // namespace app
