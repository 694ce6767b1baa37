#pragma once
#include <filesystem>
#include <sys/types.h>

namespace files {

// Creates a folder and all missing parents; true if it exists afterwards.
bool CreateFolderPath(const std::filesystem::path& path);

// Deletes the folder's files, its sub-folders (when recursive) at any depth
// and then the folder itself. Symbolic links are removed, never followed;
// read-only entries are deleted too. Failures are ignored.
void DeleteFolderTree(const std::filesystem::path& path, bool recursive);

// DeleteFolderTree (recursive) without the heap or any lock, for a thread
// that runs while the others are stopped wherever they were, the allocator
// included. Folders more than kDepthWithoutAllocating levels down are left,
// as is whatever cannot be removed.
constexpr int kDepthWithoutAllocating = 64;
void DeleteFolderTreeWithoutAllocating(const char* path) noexcept;

// The entries of an open folder, read straight from the kernel: readdir
// allocates its stream, which a thread that runs while the others are
// stopped must not.
class FolderEntriesWithoutAllocating {
public:
    explicit FolderEntriesWithoutAllocating(int folderFd) noexcept : m_fd(folderFd) {}
    // The next entry's name ("." and ".." included); null at the end.
    const char* Next() noexcept;
    // Where the folder is read on from after the entry Next gave last.
    off64_t After() const noexcept { return m_after; }

private:
    int m_fd;
    long m_size = 0;
    long m_at = 0;
    off64_t m_after = 0;
    alignas(8) char m_records[4096];
};

// Makes path absolute against the folder current, resolving "." and ".."
// lexically. An absolute path is returned unchanged.
std::filesystem::path ResolvePath(const std::filesystem::path& path, const std::filesystem::path& current);

// ResolvePath against the process's current folder.
std::filesystem::path ResolvePath(const std::filesystem::path& path);

}  // namespace files
