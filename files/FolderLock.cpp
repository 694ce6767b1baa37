#include "files/FolderLock.h"

#include "files/FolderTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace files {

namespace {

int OpenFolder(const std::filesystem::path& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

Fd LockNewFolder(const std::filesystem::path& path)
{
    Fd fd(OpenFolder(path));
    if (!fd.Valid())
        return fd;
    struct stat held {
    }, named{};
    // A cleaner that removed the folder may have released the lock already:
    // what we hold must still be the folder at that name.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.Get(), &held) != 0 || held.st_nlink == 0
        || ::lstat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino)
        fd.Close();
    return fd;
}

void RemoveStaleWorkingFolders(const std::filesystem::path& base)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::string folder = base.string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    for (const std::string& name : names) {
        const std::string path = folder + name;
        const Fd fd(OpenFolder(path));
        // Holding the lock while deleting keeps a new owner from adopting
        // the name half-way.
        if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
            DeleteFolderTree(path, true);
    }
}

}  // namespace files
