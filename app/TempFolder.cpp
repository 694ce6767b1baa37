#include "app/TempFolder.h"

#include "app/Interruption.h"
#include "app/UtilityError.h"
#include "files/FolderLock.h"
#include "files/FolderTree.h"

#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

bool EndsWithSeparator(const std::string& s)
{
    return !s.empty() && s.back() == '/';
}

}  // namespace

std::uint32_t MillisecondsSinceBoot()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u
                    + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::string PrepareTempFolderBase(const std::string& temporaryRoot)
{
    std::string base = temporaryRoot.empty() ? std::string("/tmp") : temporaryRoot;
    if (!EndsWithSeparator(base))
        base += '/';
    base += "Veltrana-" + std::to_string(::geteuid());

    struct stat st {};
    if (::lstat(base.c_str(), &st) != 0) {
        const auto slash = base.find_last_of('/');
        if (slash != std::string::npos && slash > 0)
            files::CreateFolderPath(base.substr(0, slash));
        ::mkdir(base.c_str(), S_IRWXU);
        if (::lstat(base.c_str(), &st) != 0)
            return base + '/';  // not creatable: the folder creation below fails
    }
    // Another user could otherwise read the books being converted, or plant a
    // link that makes us write and delete elsewhere.
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        TRALVEX_THROW_ERROR("unsafe temporary folder base \"" + base + "\"");
    if ((st.st_mode & 077) != 0)
        ::chmod(base.c_str(), S_IRWXU);
    return base + '/';
}

std::string GetTempFolderBase()
{
    static const std::string root = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    }();
    return PrepareTempFolderBase(root);
}

TempFolder::~TempFolder()
{
    if (!m_path.empty()) {
        CleanupDeferral deferral;
        files::DeleteFolderTree(m_path, true);
        UnregisterWorkingFolder(m_path);
        m_path.clear();
    }
}

void TempFolder::CreateAt(const std::string& path)
{
    if (path.empty())
        throw std::invalid_argument("path is empty");
    if (!m_path.empty())
        throw std::logic_error("folder has been already created");
    std::string absolute = files::ResolvePath(path).string();
    if (absolute.size() > 1 && EndsWithSeparator(absolute))
        absolute.pop_back();
    // The folder itself must be new: one that exists belongs to someone else,
    // maybe to a run that created it a moment ago.
    const auto slash = absolute.find_last_of('/');
    CleanupDeferral deferral;
    files::Fd lock;
    if (slash == std::string::npos || slash == 0 || files::CreateFolderPath(absolute.substr(0, slash))) {
        if (::mkdir(absolute.c_str(), S_IRWXU) == 0)
            lock = files::LockNewFolder(absolute);
    }
    if (!lock.Valid())
        TRALVEX_THROW_ERROR("cannot create temporary folder \"" + absolute + "\"");
    m_lock = std::move(lock);
    m_path = absolute;
    RegisterWorkingFolder(m_path);
}

void TempFolder::Create(const std::string& base, const std::string& prefix, const std::string& suffix,
                        unsigned budget, const TickSource& tickCount)
{
    if (base.empty())
        throw std::invalid_argument("basePath is empty");
    const TickSource ticks = tickCount ? tickCount : TickSource(&MillisecondsSinceBoot);
    std::string resolvedBase = files::ResolvePath(base).string();
    if (!EndsWithSeparator(resolvedBase))
        resolvedBase += '/';

    bool hasCounter = prefix.empty() && suffix.empty();
    std::uint32_t counter = hasCounter ? ticks() : 0;
    auto nextName = [&] {
        if (hasCounter) {
            ++counter;
        } else {
            hasCounter = true;
            counter = ticks();
        }
    };

    const std::uint64_t attempts = static_cast<std::uint64_t>(budget) + 2;
    for (std::uint64_t attempt = 0; attempt < attempts; ++attempt) {
        const std::string candidate =
            resolvedBase + prefix + (hasCounter ? std::to_string(counter) : std::string()) + suffix;
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0) {
            // Anything already there (a folder, a file, a link) is someone
            // else's: a working folder must be new.
            nextName();
            continue;
        }
        try {
            CreateAt(candidate);
            return;
        } catch (const util::error&) {
            nextName();
        } catch (const std::logic_error&) {
            throw std::logic_error("logic error occurred during folder generation");
        } catch (...) {
            throw std::runtime_error("unknown error occurred");
        }
    }
    TRALVEX_THROW_ERROR("failed to create temporary folder");
}

}  // namespace app
