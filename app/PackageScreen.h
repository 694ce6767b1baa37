#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace app {

// Throws what the conversion job throws for a file that cannot be a book
// package because it is no zip archive at all (no end-of-archive record where
// the unzipper looks for one): FileCorruptedError for a ".mordx" file,
// UnknownFileTypeError for any other. A file that cannot be read is left to
// the job, which says why.
void RejectNonPackage(const std::filesystem::path& source);

// For a batch: the log's description of what RejectNonPackage throws, or
// nothing when the file may be a package. Reads at most the file's last
// 64 KiB, so that a library full of other files costs no process per file.
std::optional<std::string> ScreenNonPackage(const std::filesystem::path& source);

}  // namespace app
