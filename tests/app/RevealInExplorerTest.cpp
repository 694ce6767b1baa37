#include "app/RevealInExplorer.h"

#include "support/ScratchFolder.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

// Last: its macros (None, Bool) clash with names in the test framework.
#include <X11/Xlib.h>

using namespace app;

extern char** environ;

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

const char* kInterface = R"(<node><interface name="org.freedesktop.FileManager1">
  <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>)";

// A file manager on the bus, in a thread of its own, that records what it
// is asked to show.
class FakeFileManager {
public:
    explicit FakeFileManager(const std::string& address) : m_thread([this, address] { Run(address); })
    {
        while (!m_ready)
            std::this_thread::yield();
    }
    ~FakeFileManager()
    {
        g_main_loop_quit(m_loop);
        m_thread.join();
    }
    std::vector<std::string> uris;
    std::string startupId;

private:
    void Run(const std::string& address)
    {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        m_loop = g_main_loop_new(context, FALSE);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                              | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        static const GDBusInterfaceVTable vtable = {
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               GDBusMethodInvocation* invocation, gpointer data) {
                auto* self = static_cast<FakeFileManager*>(data);
                GVariantIter* items = nullptr;
                const gchar* id = nullptr;
                g_variant_get(parameters, "(as&s)", &items, &id);
                const gchar* uri = nullptr;
                while (g_variant_iter_next(items, "&s", &uri))
                    self->uris.push_back(uri);
                g_variant_iter_free(items);
                self->startupId = id;
                g_dbus_method_invocation_return_value(invocation, nullptr);
            },
            nullptr,
            nullptr,
            {}};
        g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1", info->interfaces[0], &vtable, this,
                                          nullptr, nullptr);
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "RequestName",
                                                      g_variant_new("(su)", "org.freedesktop.FileManager1", 4u),
                                                      nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply)
            g_variant_unref(reply);
        m_ready = true;
        g_main_loop_run(m_loop);
        g_dbus_node_info_unref(info);
        g_object_unref(bus);
        g_main_loop_unref(m_loop);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    GMainLoop* m_loop = nullptr;
    std::atomic<bool> m_ready{false};
    std::thread m_thread;
};

class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvOverride() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A virtual X server, stopped with the object.
class VirtualXServer {
public:
    VirtualXServer()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "64x64x24", nullptr};
        if (::posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = 0;
        ::close(fds[1]);
        char c;
        while (m_pid != 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            m_display += c;
        ::close(fds[0]);
        if (!m_display.empty())
            m_display = ":" + m_display;
    }
    ~VirtualXServer()
    {
        if (m_pid != 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = 0;
    std::string m_display;
};

// The X server's current time, as a property change reports it.
unsigned long ServerTime(::Display* display)
{
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, window, PropertyChangeMask);
    const Atom atom = XInternAtom(display, "TRALVEX_TEST_TIME", False);
    const unsigned char byte = 0;
    XChangeProperty(display, window, atom, atom, 8, PropModeReplace, &byte, 1);
    XEvent event;
    XWindowEvent(display, window, PropertyChangeMask, &event);
    XDestroyWindow(display, window);
    return event.xproperty.time;
}

class RevealTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir.Path() / "real");
        fs::create_directory_symlink(dir.Path() / "real", dir.Path() / "link");
        std::ofstream(dir.Path() / "real" / "a b.pptx") << "x";
    }
    std::string Reveal()
    {
        testing::internal::CaptureStdout();
        RevealInExplorer(dir.Path() / "link" / "a b.pptx");
        return testing::internal::GetCapturedStdout();
    }
    fs::path Shown() const { return fs::canonical(dir.Path() / "real") / "a b.pptx"; }
    // The startup id the file manager is given, on an X display if one is named.
    std::string StartupIdShown(const std::string& xDisplay = {})
    {
        GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus);
        // After the bus is up: it takes DISPLAY out of the environment.
        if (!xDisplay.empty())
            ::setenv("DISPLAY", xDisplay.c_str(), 1);
        std::string id;
        {
            FakeFileManager manager(g_test_dbus_get_bus_address(bus));
            Reveal();
            id = manager.startupId;
        }
        g_test_dbus_down(bus);
        g_object_unref(bus);
        return id;
    }

    // Exits with 0 when, with no file manager on the bus, the program that
    // opens folders by default gets the launcher's id.
    [[noreturn]] void RevealWithFolderOpener()
    {
        const fs::path data = dir.Path() / "data";
        fs::create_directories(data / "applications");
        WriteFileBytes(dir.Path() / "opener", "#!/bin/sh\nprintf %s \"$DESKTOP_STARTUP_ID\" > \"$0.seen\"\n");
        fs::permissions(dir.Path() / "opener", fs::perms::owner_all);
        WriteFileBytes(data / "applications" / "opener.desktop", "[Desktop Entry]\nType=Application\nName=Opener\nExec="
                                                                     + (dir.Path() / "opener").string()
                                                                     + " %f\nMimeType=inode/directory;\n");
        WriteFileBytes(dir.Path() / "mimeapps.list", "[Default Applications]\ninode/directory=opener.desktop\n");
        ::setenv("XDG_DATA_DIRS", data.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", dir.Path().c_str(), 1);
        ::setenv("DESKTOP_STARTUP_ID", "launcher-9_TIME99", 1);
        GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus);
        const std::string printed = Reveal();
        const fs::path seen = dir.Path() / "opener.seen";
        for (int i = 0; i < 100 && !fs::exists(seen); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string id = ReadFileBytes(seen);
        g_test_dbus_down(bus);
        std::fprintf(stderr, "printed '%s', the opener saw '%s'\n", printed.c_str(), id.c_str());
        std::_Exit(printed.empty() && id == "launcher-9_TIME99" ? 0 : 1);
    }
    // Exits with 0 when, on an X display and with no id from a launcher, the
    // file manager gets an id of ours with the server's time.
    [[noreturn]] void RevealOnVirtualDisplay()
    {
        std::string id;
        unsigned long before = 0;
        unsigned long after = 0;
        {
            VirtualXServer server;
            if (::Display* display = XOpenDisplay(server.Display().c_str())) {
                before = ServerTime(display);
                id = StartupIdShown(server.Display());
                after = ServerTime(display);
                XCloseDisplay(display);
            }
        }
        std::smatch match;
        const bool made = std::regex_match(id, match, std::regex("tralvex-" + std::to_string(::getpid()) + "_TIME([0-9]+)"));
        const unsigned long time = made ? std::stoul(match[1]) : 0;
        std::fprintf(stderr, "id '%s', server time %lu to %lu\n", id.c_str(), before, after);
        std::_Exit(made && before <= time && time <= after ? 0 : 1);
    }

    ScratchFolder dir;
    // No desktop entries: nothing can open a folder.
    EnvOverride dataHome{"XDG_DATA_HOME", "/nonexistent"};
    EnvOverride dataDirs{"XDG_DATA_DIRS", "/nonexistent"};
    // No display and no launcher, unless a test gives them.
    EnvOverride x{"DISPLAY", nullptr};
    EnvOverride wayland{"WAYLAND_DISPLAY", nullptr};
    EnvOverride startupId{"DESKTOP_STARTUP_ID", nullptr};
    EnvOverride activationToken{"XDG_ACTIVATION_TOKEN", nullptr};
};

TEST_F(RevealTest, WithoutSessionBusPrintsThePath)
{
    EnvOverride address("DBUS_SESSION_BUS_ADDRESS", nullptr);
    EnvOverride runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(Reveal(), Shown().string() + "\n");
}

TEST_F(RevealTest, FileManagerShowsTheFileSelected)
{
    GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    {
        FakeFileManager manager(g_test_dbus_get_bus_address(bus));
        EXPECT_EQ(Reveal(), "");
        EXPECT_EQ(manager.uris, std::vector<std::string>{MakeFileUri(Shown())});
    }
    g_test_dbus_down(bus);
    g_object_unref(bus);
}

// Without a display there is no time to stamp an id with.
TEST_F(RevealTest, WithoutLauncherIdOrDisplayNoStartupIdIsMadeUp)
{
    EXPECT_EQ(StartupIdShown(), "");
}

TEST_F(RevealTest, LauncherStartupIdIsPassedOnAndLeavesTheEnvironment)
{
    ::setenv("DESKTOP_STARTUP_ID", "launcher-42_TIME1234", 1);
    EXPECT_EQ(StartupIdShown(), "launcher-42_TIME1234");
    EXPECT_EQ(std::getenv("DESKTOP_STARTUP_ID"), nullptr);
}

TEST_F(RevealTest, ActivationTokenIsPassedOnAndBothVariablesLeave)
{
    ::setenv("XDG_ACTIVATION_TOKEN", "wayland-token-7", 1);
    ::setenv("DESKTOP_STARTUP_ID", "wayland-token-7", 1);
    EXPECT_EQ(StartupIdShown(), "wayland-token-7");
    EXPECT_EQ(std::getenv("XDG_ACTIVATION_TOKEN"), nullptr);
    EXPECT_EQ(std::getenv("DESKTOP_STARTUP_ID"), nullptr);
}

TEST_F(RevealTest, NoFileManagerAndNoFolderHandlerPrintsThePath)
{
    GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    EXPECT_EQ(Reveal(), Shown().string() + "\n");
    g_test_dbus_down(bus);
    g_object_unref(bus);
}

// Each in a process of its own: GLib reads the desktop entries once, and GTK
// keeps the display it found (or that there was none).
TEST_F(RevealTest, FolderOpenerGetsTheLauncherStartupId)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RevealWithFolderOpener(), testing::ExitedWithCode(0), "");
}

TEST_F(RevealTest, OnXWithoutLauncherIdTheIdCarriesTheServerTime)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RevealOnVirtualDisplay(), testing::ExitedWithCode(0), "");
}

TEST(MakeFileUri, EncodesOutsideTheUnreservedSet)
{
    EXPECT_EQ(MakeFileUri("/a b/%c\xC3\xA9.pptx"), "file:///a%20b/%25c%C3%A9.pptx");
}

}  // namespace
