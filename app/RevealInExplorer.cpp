#include "app/RevealInExplorer.h"

#include "text/PercentEncoding.h"
#include "ui/Desktop.h"

#include <gdk/gdkx.h>
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

using namespace ui;

namespace app {

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

// What lets the file manager's window take the focus, and the environment
// variable that hands it to a program started instead (GTK reads
// DESKTOP_STARTUP_ID on X, XDG_ACTIVATION_TOKEN on Wayland).
struct StartupToken {
    const char* variable = "DESKTOP_STARTUP_ID";
    std::string value;
};

// The startup id or activation token the launcher gave this program, taken
// out of the environment so that no program started later reuses it (each
// is good for one window).
StartupToken TakeLauncherToken()
{
    StartupToken token;
    for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0' && token.value.empty())
            token = {name, value};
        ::unsetenv(name);
    }
    return token;
}

// Without one from the launcher, on an X display, an id of our own with the
// server's current time: a window manager lets a window take the focus when
// its id's time is no older than the last user input. Elsewhere none.
StartupToken MakeStartupToken()
{
    if (!OpenDesktop() || !GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        return {};
    GdkWindowAttr attributes{};
    attributes.width = attributes.height = 1;
    attributes.wclass = GDK_INPUT_ONLY;
    attributes.window_type = GDK_WINDOW_TOPLEVEL;
    attributes.event_mask = GDK_PROPERTY_CHANGE_MASK;
    GdkWindow* window = gdk_window_new(nullptr, &attributes, 0);
    const guint32 time = gdk_x11_get_server_time(window);
    gdk_window_destroy(window);
    return {"DESKTOP_STARTUP_ID", "tralvex-" + std::to_string(::getpid()) + "_TIME" + std::to_string(time)};
}

bool ShowItems(GDBusConnection* bus, const std::string& uri, const StartupToken& token)
{
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&items, "s", uri.c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                  "org.freedesktop.FileManager1", "ShowItems",
                                                  g_variant_new("(ass)", &items, token.value.c_str()), nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, kFileManagerTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

bool OpenFolder(const std::filesystem::path& folder, const StartupToken& token)
{
    GAppLaunchContext* context = g_app_launch_context_new();
    if (!token.value.empty())
        g_app_launch_context_setenv(context, token.variable, token.value.c_str());
    GError* error = nullptr;
    const bool opened = g_app_info_launch_default_for_uri(MakeFileUri(folder).c_str(), context, &error);
    if (error)
        g_error_free(error);
    g_object_unref(context);
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
    // Before GTK may be initialised: it keeps DESKTOP_STARTUP_ID to itself.
    StartupToken token = TakeLauncherToken();
    if (Connection bus = SessionBus()) {
        if (token.value.empty())
            token = MakeStartupToken();
        if (ShowItems(bus.get(), MakeFileUri(shown), token) || OpenFolder(shown.parent_path(), token))
            return;
    }
    std::cout << shown.string() << std::endl;
}

}  // namespace app
