#include "files/FolderTree.h"

#include "files/FileDescriptor.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace files {

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
void EmptyDirectory(Fd top, bool recursive)
{
    struct Level {
        Fd fd;
        std::string nameInParent;  // empty for the top level
        std::vector<std::string> skip;  // entries that could not be removed
    };
    std::vector<Level> stack;
    stack.push_back({std::move(top), {}, {}});

    while (!stack.empty()) {
        Level& level = stack.back();
        // Directories without write or search permission cannot be emptied;
        // the folder is ours, so give them back to the owner.
        ::fchmod(level.fd.Get(), S_IRWXU);

        Fd copy(::dup(level.fd.Get()));
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
                if (s == name) {
                    skipped = true;
                    break;
                }
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
            Fd child(::openat(level.fd.Get(), descendInto.c_str(),
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

// getdents64's record.
struct FolderRecord {
    ino64_t inode;
    off64_t next;
    unsigned short length;
    unsigned char type;
    char name[1];
};

}  // namespace

const char* FolderEntriesWithoutAllocating::Next() noexcept
{
    if (m_at >= m_size) {
        m_size = ::syscall(SYS_getdents64, m_fd, m_records, sizeof m_records);
        m_at = 0;
        if (m_size <= 0)
            return nullptr;
    }
    const auto* record = reinterpret_cast<const FolderRecord*>(m_records + m_at);
    m_at += record->length;
    m_after = record->next;
    return record->name;
}

void DeleteFolderTreeWithoutAllocating(const char* path) noexcept
{
    int fds[kDepthWithoutAllocating];
    char names[kDepthWithoutAllocating][256];  // each level's name in its parent
    int depth = 0;
    fds[0] = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fds[0] < 0) {
        ::unlink(path);  // a link given as the folder: the link itself, never a folder
        return;
    }
    ::fchmod(fds[0], S_IRWXU);
    while (depth >= 0) {
        const int fd = fds[depth];
        FolderEntriesWithoutAllocating entries(fd);
        bool entered = false;
        while (const char* name = entries.Next()) {
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || ::unlinkat(fd, name, 0) == 0
                || (errno != EISDIR && errno != EPERM) || ::unlinkat(fd, name, AT_REMOVEDIR) == 0
                || depth + 1 == kDepthWithoutAllocating || std::strlen(name) >= sizeof names[0])
                continue;
            // A folder with something in it: enter it (never through a
            // link), and carry on after it when back.
            (void)!::fchmodat(fd, name, S_IRWXU, 0);  // opened next, or skipped
            const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                continue;
            ::lseek(fd, entries.After(), SEEK_SET);
            std::strcpy(names[depth + 1], name);
            fds[++depth] = child;
            entered = true;
            break;
        }
        if (!entered) {
            // As empty as it can be made: back up and remove it.
            ::close(fd);
            if (--depth >= 0)
                ::unlinkat(fds[depth], names[depth + 1], AT_REMOVEDIR);
        }
    }
    ::rmdir(path);
}

namespace {

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

bool CreateFolderPath(const std::filesystem::path& path)
{
    if (path.empty())
        return true;
    std::string q = path.string();
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

void DeleteFolderTree(const std::filesystem::path& path, bool recursive)
{
    if (path.empty())
        return;
    std::string d = path.string();
    while (d.size() > 1 && EndsWithSeparator(d))
        d.pop_back();
    Fd fd(::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
        struct stat st {};
        if (::lstat(d.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(d.c_str());  // the link itself, not what it points to
        return;
    }
    EmptyDirectory(std::move(fd), recursive);
    ::rmdir(d.c_str());
}

std::filesystem::path ResolvePath(const std::filesystem::path& path, const std::filesystem::path& current)
{
    if (path.is_absolute())
        return path;
    std::vector<std::string> parts = SplitComponents(current.string());
    for (const std::string& part : SplitComponents(path.string())) {
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

std::filesystem::path ResolvePath(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ResolvePath(path, ec ? std::filesystem::path("/") : cwd);
}

}  // namespace files
