#pragma once
#include "imaging/FileDescriptor.h"

#include <string>

// A working folder is held by its owner through an exclusive flock on the
// folder itself, kept for the folder's lifetime; a folder nobody holds was
// left by a run that died.

// Locks a folder this process has just created. Returns the descriptor that
// holds the lock, or none when a cleaner got to it first (it is being removed,
// or is already gone and perhaps replaced).
files::Fd LockNewFolder(const std::string& path);

// Removes every folder directly below base that no living process holds.
void RemoveStaleWorkingFolders(const std::string& base);
