#pragma once
#include "files/FileDescriptor.h"

#include <filesystem>

// A working folder is held by its owner through an exclusive flock on the
// folder itself, kept for the folder's lifetime; a folder nobody holds was
// left by a run that died.

namespace files {

// Locks a folder this process has just created. Returns the descriptor that
// holds the lock, or none when a cleaner got to it first (it is being removed,
// or is already gone and perhaps replaced).
Fd LockNewFolder(const std::filesystem::path& path);

// Removes every folder directly below base that no living process holds.
void RemoveStaleWorkingFolders(const std::filesystem::path& base);

}  // namespace files
