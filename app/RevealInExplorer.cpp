#include "app/RevealInExplorer.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

std::string MakeFileUri(const std::filesystem::path& absolutePath)
{
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char ch : absolutePath.string()) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~' || c == '/') {
            uri += ch;
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xF];
        }
    }
    return uri;
}

namespace {

// Runs a program without a shell and waits for it; true on exit status 0.
bool RunQuietly(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", 1 /*O_WRONLY*/, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", 1 /*O_WRONLY*/, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &files, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void RevealInExplorer(const std::filesystem::path& presentation)
{
    std::error_code ec;
    std::filesystem::path folder = presentation.parent_path();
    // Like a junction on Windows, a linked folder is shown as its target.
    const auto canonicalFolder = std::filesystem::canonical(folder.empty() ? "." : folder, ec);
    const std::filesystem::path shown = ec ? std::filesystem::absolute(presentation, ec)
                                           : canonicalFolder / presentation.filename();

    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus != nullptr && *bus != '\0'
        && RunQuietly({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.FileManager1",
                       "--type=method_call", "/org/freedesktop/FileManager1",
                       "org.freedesktop.FileManager1.ShowItems", "array:string:" + MakeFileUri(shown),
                       "string:"}))
        return;
    std::cout << shown.string() << std::endl;
}
