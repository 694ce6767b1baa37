#pragma once
#include <filesystem>
#include <string>

namespace app {

// Shows the written presentation to the user: the desktop's file manager
// opens its folder with the file selected (FileManager1.ShowItems on the
// session bus, a few seconds' wait at most); when no file manager answers,
// the folder is opened with the default one. Without a session bus, or when
// neither works, the path is printed on standard output.
// The startup id or activation token the launcher gave (DESKTOP_STARTUP_ID,
// XDG_ACTIVATION_TOKEN) goes to the file manager, so that its window may take
// the focus, and out of the environment; without one, on an X display, an id
// with the server's time does.
void RevealInExplorer(const std::filesystem::path& presentation);

// "file://" URI of an absolute path, every byte outside the unreserved set
// and "/" percent-encoded.
std::string MakeFileUri(const std::filesystem::path& absolutePath);

}  // namespace app
