#pragma once
#include <filesystem>
#include <string>

// Shows the written presentation to the user: the desktop's file manager
// opens its folder with the file selected. Without a session bus the path is
// printed on standard output instead. Failures are silent.
void RevealInExplorer(const std::filesystem::path& presentation);

// "file://" URI of an absolute path, every byte outside the unreserved set
// and "/" percent-encoded.
std::string MakeFileUri(const std::filesystem::path& absolutePath);
