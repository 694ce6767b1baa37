#include "app/RevealInExplorer.h"

#include "text/PercentEncoding.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

std::string MakeFileUri(const std::filesystem::path& absolutePath)
{
    return "file://" + uri::PercentEncode(absolutePath.native(), "/");
}

namespace {

constexpr int kFileManagerTimeoutMs = 5000;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Connection = std::unique_ptr<GDBusConnection, ObjectUnref>;

// The session bus, or none; never starts one.
Connection SessionBus()
{
    std::string address;
    if (const char* env = std::getenv("DBUS_SESSION_BUS_ADDRESS"); env != nullptr && *env != '\0') {
        address = env;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        const std::string socket = std::string(runtime) + "/bus";
        std::error_code ec;
        if (!std::filesystem::is_socket(socket, ec))
            return nullptr;
        gchar* escaped = g_dbus_address_escape_value(socket.c_str());
        address = std::string("unix:path=") + escaped;
        g_free(escaped);
    } else {
        return nullptr;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                          | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    return Connection(bus);
}

// The id a launcher gave us, or one of our own, so that the file manager's
// window may take the focus.
std::string StartupId()
{
    if (const char* id = std::getenv("DESKTOP_STARTUP_ID"); id != nullptr && *id != '\0')
        return id;
    return "tralvex-" + std::to_string(::getpid()) + "_TIME" + std::to_string(g_get_real_time() / 1000 % 0xFFFFFFFF);
}

bool ShowItems(GDBusConnection* bus, const std::string& uri)
{
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&items, "s", uri.c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                  "org.freedesktop.FileManager1", "ShowItems",
                                                  g_variant_new("(ass)", &items, StartupId().c_str()), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, kFileManagerTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

bool OpenFolder(const std::filesystem::path& folder)
{
    GError* error = nullptr;
    const bool opened = g_app_info_launch_default_for_uri(MakeFileUri(folder).c_str(), nullptr, &error);
    if (error)
        g_error_free(error);
    return opened;
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
    if (Connection bus = SessionBus()) {
        if (ShowItems(bus.get(), MakeFileUri(shown)) || OpenFolder(shown.parent_path()))
            return;
    }
    std::cout << shown.string() << std::endl;
}
