// Saving: the package goes to a temporary file in the target folder and is
// moved into place only when complete.
#include "export/engine/package/SavePackage.h"

#include "export/engine/package/Packager.h"
#include "files/TemporaryFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace engine::detail {
namespace {

// Names of the temporary save files being written, for DiscardUnfinishedSaves
// on another thread. Lock-free: that thread runs while the saving one is
// stopped wherever it happens to be.
std::array<std::atomic<char*>, 64> g_unfinished{};

// Keeps the name of a temporary save file in g_unfinished while it may
// exist on disk.
class Announcement {
public:
    Announcement() = default;
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;
    ~Announcement() { Withdraw(); }

    bool Announce(const std::string& name)
    {
        Withdraw();
        m_name = ::strdup(name.c_str());
        if (!m_name)
            return false;
        for (auto& s : g_unfinished) {
            char* expected = nullptr;
            if (s.compare_exchange_strong(expected, m_name)) {
                m_slot = &s;
                break;
            }
        }
        return true;
    }

private:
    void Withdraw()
    {
        if (m_slot)
            m_slot->store(nullptr);
        m_slot = nullptr;
        std::free(m_name);
        m_name = nullptr;
    }

    char* m_name = nullptr;
    std::atomic<char*>* m_slot = nullptr;
};

bool OneOf(int error, std::initializer_list<int> errors)
{
    return std::find(errors.begin(), errors.end(), error) != errors.end();
}

// For file systems without links or exclusive renames (FAT, some FUSE
// mounts): the name is reserved by creating it, then the finished file
// replaces that placeholder, and only that.
int MoveOverPlaceholder(const std::string& temp, const std::string& file) noexcept
{
    const files::Fd placeholder(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!placeholder.Valid())
        return errno;
    if (std::rename(temp.c_str(), file.c_str()) == 0)
        return 0;
    const int error = errno;
    struct stat own {
    }, named{};
    if (::fstat(placeholder.Get(), &own) == 0 && ::lstat(file.c_str(), &named) == 0 && own.st_dev == named.st_dev && own.st_ino == named.st_ino)
        ::unlink(file.c_str());
    return error;
}

constexpr char kTemporaryPrefix[] = ".~tralvex-";

// 0 when the package is saved as file, else the errno of the step that
// failed.
int Save(const Presentation& p, const std::filesystem::path& file, bool replaceExisting)
{
    std::filesystem::path folder = file.parent_path();
    if (folder.empty())
        folder = ".";
    RemoveStaleSaveFiles(folder);
    // Announced before it exists: no moment has it on disk but unknown.
    // Declared first, so withdrawn only after the file is gone.
    Announcement announcement;
    files::TemporaryFile temp;
    // 0666 lets the umask give the mode any new file of the user gets.
    if (!temp.Create(AT_FDCWD, (folder / kTemporaryPrefix).string(), "", 0666,
                     [&announcement](const std::string& name) { return announcement.Announce(name); }))
        return errno != 0 ? errno : ENOMEM;
    {
        ZipWriter zip(temp.Get());
        // A failing write leaves its errno; a package refused for its content
        // (a picture changed since it was added) may leave none.
        errno = 0;
        if (!WritePackage(p, zip) || !zip.Close())
            return errno != 0 ? errno : EIO;
    }
    // The temporary file stays open, and so locked, until it has its name.
    if (replaceExisting) {
        if (std::rename(temp.Name().c_str(), file.c_str()) != 0)
            return errno;
        temp.Keep();
        return 0;
    }
    const int error = MoveIntoPlace(temp.Name(), file.string());
    if (error == 0)
        temp.Keep();
    return error;
}

}  // namespace

NoReplaceCalls SystemNoReplaceCalls() noexcept
{
    return {[](const char* from, const char* to) { return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE); },
            [](const char* from, const char* to) { return ::link(from, to); }};
}

int MoveIntoPlace(const std::string& temp, const std::string& file, const NoReplaceCalls& calls) noexcept
{
    if (calls.renameNoReplace(temp.c_str(), file.c_str()) == 0)
        return 0;
    // These say the file system has no such rename.
    if (!OneOf(errno, {EINVAL, ENOSYS, EOPNOTSUPP}))
        return errno;
    if (calls.link(temp.c_str(), file.c_str()) == 0) {
        // Should this fail, the complete file is in place all the same, and
        // the leftover name goes with the next cleanup of the folder.
        ::unlink(temp.c_str());
        return 0;
    }
    // And these that it has no links.
    if (!OneOf(errno, {EPERM, EOPNOTSUPP, ENOSYS}))
        return errno;
    return MoveOverPlaceholder(temp, file);
}

bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept
{
    int error;
    try {
        error = Save(p, file, replaceExisting);
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    } catch (const std::system_error& e) {
        error = e.code().category() == std::generic_category() || e.code().category() == std::system_category()
                    ? e.code().value()
                    : EIO;
    } catch (...) {
        error = EIO;
    }
    if (error == 0)
        return true;
    // Set last: the cleanup after a failure may have changed it.
    errno = error;
    return false;
}

void RemoveStaleSaveFiles(const std::filesystem::path& folder) noexcept
{
    files::RemoveAbandonedFiles(folder, kTemporaryPrefix, "");
}

void DiscardUnfinishedSaves() noexcept
{
    for (auto& s : g_unfinished)
        if (const char* name = s.load())
            ::unlink(name);
}

}  // namespace engine::detail
