#include "app/TempFolder.h"

#include "app/FolderLock.h"
#include "app/Interruption.h"
#include "app/UtilityError.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool EndsWithSeparator(const std::string& s)
{
    return !s.empty() && s.back() == '/';
}

bool IsExistingFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Removes every entry of the open directory top. Sub-folders are entered
// with O_NOFOLLOW so a symbolic link is unlinked, never followed. The walk
// goes down and back up through ".." instead of recursing, so any depth needs
// only two descriptors at a time.
void EmptyDirectory(files::Fd top, bool recursive)
{
    struct Level {
        files::Fd fd;
        std::string nameInParent;      // empty for the top level
        std::vector<std::string> skip; // entries that could not be removed
    };
    std::vector<Level> stack;
    stack.push_back({std::move(top), {}, {}});

    while (!stack.empty()) {
        Level& level = stack.back();
        // Directories without write or search permission cannot be emptied;
        // the folder is ours, so give them back to the owner.
        ::fchmod(level.fd.Get(), S_IRWXU);

        files::Fd copy(::dup(level.fd.Get()));
        DIR* dir = copy.Valid() ? ::fdopendir(copy.Get()) : nullptr;
        if (dir == nullptr)
            break;
        copy.Release();  // the directory stream owns it now
        ::rewinddir(dir);
        std::string descendInto;
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            bool skipped = false;
            for (const auto& s : level.skip)
                if (s == name) { skipped = true; break; }
            if (skipped)
                continue;
            struct stat st {};
            if (::fstatat(level.fd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                level.skip.push_back(name);
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (!recursive) {
                    level.skip.push_back(name);
                    continue;
                }
                descendInto = name;
                break;
            }
            if (::unlinkat(level.fd.Get(), name.c_str(), 0) != 0)
                level.skip.push_back(name);
        }
        ::closedir(dir);

        if (!descendInto.empty()) {
            files::Fd child(::openat(level.fd.Get(), descendInto.c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!child.Valid()) {
                level.skip.push_back(descendInto);
                continue;
            }
            if (stack.size() > 1) {
                // Only the top descriptor is kept open; deeper levels are
                // reached again through "..".
                level.fd.Close();
            }
            stack.push_back({std::move(child), descendInto, {}});
            continue;
        }

        // This level is as empty as it can be made: go back up and remove it.
        if (stack.size() == 1)
            break;
        Level finished = std::move(stack.back());
        stack.pop_back();
        Level& parent = stack.back();
        if (!parent.fd.Valid())
            parent.fd.Reset(::openat(finished.fd.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        finished.fd.Close();
        if (!parent.fd.Valid())
            break;
        if (::unlinkat(parent.fd.Get(), finished.nameInParent.c_str(), AT_REMOVEDIR) != 0)
            parent.skip.push_back(finished.nameInParent);
    }
}

std::vector<std::string> SplitComponents(const std::string& s)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : s) {
        if (c == '/') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

}  // namespace

std::uint32_t GetTickCount32()
{
    timespec ts {};
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
            CreateFolderPath(base.substr(0, slash));
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

bool CreateFolderPath(const std::string& path)
{
    if (path.empty())
        return true;
    std::string q = path;
    while (q.size() > 1 && EndsWithSeparator(q))
        q.pop_back();
    if (q == "/")
        return true;
    const auto slash = q.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateFolderPath(q.substr(0, slash)))
        return false;
    if (IsExistingFolder(q))
        return true;
    if (::mkdir(q.c_str(), S_IRWXU) == 0)
        return true;
    return errno == EEXIST && IsExistingFolder(q);
}

void DeleteFolderTree(const std::string& path, bool recursive)
{
    if (path.empty())
        return;
    std::string d = path;
    while (d.size() > 1 && EndsWithSeparator(d))
        d.pop_back();
    files::Fd fd(::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
        struct stat st {};
        if (::lstat(d.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(d.c_str());  // the link itself, not what it points to
        return;
    }
    EmptyDirectory(std::move(fd), recursive);
    ::rmdir(d.c_str());
}

std::string ResolvePath(const std::string& path, const std::string& current)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::vector<std::string> parts = SplitComponents(current);
    for (const std::string& part : SplitComponents(path)) {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    std::string result;
    for (const std::string& part : parts)
        result += '/' + part;
    return result.empty() ? std::string("/") : result;
}

std::string ResolvePath(const std::string& path)
{
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ResolvePath(path, ec ? std::string("/") : cwd.string());
}

TempFolder::~TempFolder()
{
    if (!m_path.empty()) {
        CleanupDeferral deferral;
        DeleteFolderTree(m_path, true);
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
    std::string absolute = ResolvePath(path);
    if (absolute.size() > 1 && EndsWithSeparator(absolute))
        absolute.pop_back();
    // The folder itself must be new: one that exists belongs to someone else,
    // maybe to a run that created it a moment ago.
    const auto slash = absolute.find_last_of('/');
    CleanupDeferral deferral;
    files::Fd lock;
    if (slash == std::string::npos || slash == 0 || CreateFolderPath(absolute.substr(0, slash))) {
        if (::mkdir(absolute.c_str(), S_IRWXU) == 0)
            lock = LockNewFolder(absolute);
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
    const TickSource ticks = tickCount ? tickCount : TickSource(&GetTickCount32);
    std::string resolvedBase = ResolvePath(base);
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
