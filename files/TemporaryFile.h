#pragma once
// A file written under a fresh name and renamed into place when complete;
// until it is kept, the guard closes and removes it.
#include "files/FileDescriptor.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>

namespace files {

class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // Creates prefix + 16 random hex digits + suffix in the folder open as
    // folderFd (AT_FDCWD: prefix may hold the folder's path): exclusively,
    // never through a link, close-on-exec, with mode less the umask. announce
    // sees each name before the file exists, for a cleanup from elsewhere;
    // false from it gives up. While open, the file is held under an
    // exclusive flock, which tells RemoveAbandonedFiles that its writer
    // lives. False with errno set on failure.
    bool Create(int folderFd, const std::string& prefix, const std::string& suffix, mode_t mode,
                const std::function<bool(const std::string&)>& announce = {});

    int Get() const noexcept { return m_fd.Get(); }
    const std::string& Name() const noexcept { return m_name; }
    // Closes the descriptor (and so the lock); false when a delayed write
    // error shows.
    bool Close() noexcept { return m_fd.Close(); }
    // The file has its final name (or a second one): leave it.
    void Keep() noexcept { m_name.clear(); }

private:
    int m_folder = -1;
    std::string m_name;
    Fd m_fd;
};

// Removes from folder every regular file named prefix + 16 hex digits +
// suffix whose lock can be taken: those left by a writer that died (killed
// while writing). Never a file a living TemporaryFile holds, never through a
// link, never another name. The number removed.
std::size_t RemoveAbandonedFiles(const std::filesystem::path& folder, const std::string& prefix,
                                 const std::string& suffix) noexcept;

}  // namespace files
