#include "files/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {
namespace {

constexpr std::size_t kRandomDigits = 16;

bool SameFile(const struct stat& a, const struct stat& b) noexcept
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Locks the file just created as name in the folder. A cleanup may have
// taken it for abandoned between the create and the lock: ENOENT then, as
// the name is no longer ours. 0 or the errno of the failure.
int LockAsCreated(int folderFd, const std::string& name, int fd) noexcept
{
    int result;
    while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    // Where the file system has no such locks, no cleanup can take one
    // either: the file is as safe unlocked.
    if (result != 0 && errno != EOPNOTSUPP && errno != EINVAL)
        return errno;
    struct stat own {
    }, named{};
    if (::fstat(fd, &own) != 0 || ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    return SameFile(own, named) ? 0 : ENOENT;
}

bool IsTemporaryName(std::string_view name, std::string_view prefix, std::string_view suffix) noexcept
{
    if (name.size() != prefix.size() + kRandomDigits + suffix.size() || name.substr(0, prefix.size()) != prefix
        || name.substr(name.size() - suffix.size()) != suffix)
        return false;
    for (const char c : name.substr(prefix.size(), kRandomDigits))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// Removes name from the folder if it is a regular file nobody holds locked;
// checked again under the lock, so that only that file goes.
bool RemoveIfAbandoned(int folderFd, const char* name) noexcept
{
    struct stat seen {};
    // Only a regular file is opened: opening a device or a pipe may act.
    if (::fstatat(folderFd, name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(seen.st_mode))
        return false;
    const Fd fd(::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat held {};
    if (!fd.Valid() || ::fstat(fd.Get(), &held) != 0 || !SameFile(seen, held))
        return false;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;  // its writer lives (or no lock can be had here: left alone)
    struct stat named {};
    if (::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(named, held))
        return false;
    // Still under the lock: a writer that created the name meanwhile waits
    // for it and then sees its file gone.
    return ::unlinkat(folderFd, name, 0) == 0;
}

}  // namespace

TemporaryFile::~TemporaryFile()
{
    m_fd.Close();
    if (!m_name.empty())
        ::unlinkat(m_folder, m_name.c_str(), 0);
}

bool TemporaryFile::Create(int folderFd, const std::string& prefix, const std::string& suffix, mode_t mode,
                           const std::function<bool(const std::string&)>& announce)
{
    // Not mkstemp: its 0600 would stay with the renamed file.
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[kRandomDigits + 1];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
        std::string name = prefix + digits + suffix;
        if (announce && !announce(name))
            return false;
        Fd fd(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd.Valid()) {
            if (errno != EEXIST)
                return false;
            continue;
        }
        const int error = LockAsCreated(folderFd, name, fd.Get());
        if (error == ENOENT)
            continue;  // removed by a cleanup; nothing of ours to remove
        if (error != 0) {
            fd.Close();
            ::unlinkat(folderFd, name.c_str(), 0);
            errno = error;
            return false;
        }
        m_fd = std::move(fd);
        m_folder = folderFd;
        m_name = std::move(name);
        return true;
    }
    errno = EEXIST;
    return false;
}

std::size_t RemoveAbandonedFiles(const std::filesystem::path& folder, const std::string& prefix,
                                 const std::string& suffix) noexcept
{
    struct CloseDir {
        void operator()(DIR* d) const noexcept { ::closedir(d); }
    };
    // opendir's descriptor is close-on-exec.
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return 0;
    const int folderFd = ::dirfd(dir.get());
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if ((entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) && IsTemporaryName(entry->d_name, prefix, suffix)
            && RemoveIfAbandoned(folderFd, entry->d_name))
            ++removed;
    }
    return removed;
}

}  // namespace files
