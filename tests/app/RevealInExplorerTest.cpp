#include "app/RevealInExplorer.h"

#include "support/ScratchFolder.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

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
            nullptr, nullptr, {}};
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

    ScratchFolder dir;
    // No desktop entries: nothing can open a folder.
    EnvOverride dataHome{"XDG_DATA_HOME", "/nonexistent"};
    EnvOverride dataDirs{"XDG_DATA_DIRS", "/nonexistent"};
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
        EXPECT_NE(manager.startupId.find("_TIME"), std::string::npos) << manager.startupId;
    }
    g_test_dbus_down(bus);
    g_object_unref(bus);
}

TEST_F(RevealTest, NoFileManagerAndNoFolderHandlerPrintsThePath)
{
    GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    EXPECT_EQ(Reveal(), Shown().string() + "\n");
    g_test_dbus_down(bus);
    g_object_unref(bus);
}

TEST(MakeFileUri, EncodesOutsideTheUnreservedSet)
{
    EXPECT_EQ(MakeFileUri("/a b/%c\xC3\xA9.pptx"), "file:///a%20b/%25c%C3%A9.pptx");
}

}  // namespace
