#include "GuiSupport.h"

#include "export/ConversionErrors.h"
#include "app/ConversionJob.h"
#include "app/DesktopSaveDialog.h"
#include "export/SavePresentation.h"
#include "support/ScratchFolder.h"
#include "ui/Desktop.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace app;

namespace fs = std::filesystem;
using namespace guitest;

namespace {

// Root writes into read-only folders; without this capability it obeys the
// permission bits like everybody else.
class NoPermissionOverride {
public:
    NoPermissionOverride()
    {
        if (syscall(SYS_capget, &m_header, m_data) == 0 && (m_data[0].effective & (1u << CAP_DAC_OVERRIDE))) {
            __user_cap_data_struct reduced[2] = {m_data[0], m_data[1]};
            reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
        }
    }
    ~NoPermissionOverride()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_data);
    }
    NoPermissionOverride(const NoPermissionOverride&) = delete;
    NoPermissionOverride& operator=(const NoPermissionOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_data[2]{};
    bool m_dropped = false;
};

class SaveDialogGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The chooser's settings stay in memory: there is no session bus here.
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ASSERT_TRUE(OpenDesktop());
        for (const char* folder : {"home/Documents", "ro", "out", "work"})
            fs::create_directories(root / folder);
        fs::copy_file(fs::path(TRALVEX_BINARY_DIR) / "examples" / "example.mordx", root / "ro" / "Lesson.mordx");
        fs::permissions(root / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        if (const char* home = std::getenv("HOME"))
            oldHome = home;
        ::setenv("HOME", (root / "home").c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { ::setenv("HOME", oldHome.c_str(), 1); }

    // Answers the Save dialog once it is up with respond(chooser).
    void WhenDialogShown(std::function<void(GtkFileChooser*)> respond)
    {
        WhileRunning([this, respond, ticks = 0]() mutable {
            GList* windows = gtk_window_list_toplevels();
            GtkWidget* dialog = nullptr;
            for (GList* w = windows; w; w = w->next)
                if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                    dialog = GTK_WIDGET(w->data);
            g_list_free(windows);
            if (!dialog || ++ticks < 4)
                return ++waited > 400;  // gives up after 20 s
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
            gchar* name = gtk_file_chooser_get_current_name(chooser);
            shownName = name ? name : "";
            g_free(name);
            gchar* folder = gtk_file_chooser_get_current_folder(chooser);
            shownFolder = folder ? folder : "";
            g_free(folder);
            Screenshot shot("save-dialog");
            respond(chooser);
            return true;
        });
    }

    fs::path Convert()
    {
        NoPermissionOverride asUser;
        return RunConversionJob(root / "ro" / "Lesson.mordx", root / "work", {}, SaveServices {DesktopSaveDialog, {}});
    }

    const testsupport::ScratchFolder scratch{"savegui"};
    const fs::path root = scratch.Path();
    std::string oldHome;
    std::string shownName;
    std::string shownFolder;
    int waited = 0;
};

TEST_F(SaveDialogGui, UnwritableFolderAsksAndSavesWhereTheUserSays)
{
    WhenDialogShown([this](GtkFileChooser* chooser) {
        gtk_file_chooser_set_current_folder(chooser, (root / "out").c_str());
        gtk_file_chooser_set_current_name(chooser, "Mine");  // the extension is added
        gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    });
    const fs::path saved = Convert();
    EXPECT_EQ(shownName, "Lesson.pptx");
    EXPECT_EQ(fs::path(shownFolder), root / "home" / "Documents");
    EXPECT_EQ(saved, root / "out" / "Mine.pptx");
    EXPECT_EQ(testsupport::ReadFileBytes(saved).substr(0, 2), "PK");
    EXPECT_FALSE(fs::exists(root / "ro" / "Lesson.pptx"));
}

TEST_F(SaveDialogGui, CancelEndsQuietlyWithoutAFile)
{
    WhenDialogShown([](GtkFileChooser* chooser) { gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL); });
    testing::internal::CaptureStderr();
    EXPECT_THROW(Convert(), UserCancelledError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(shownName, "Lesson.pptx");
    EXPECT_TRUE(fs::is_empty(root / "out"));
    EXPECT_TRUE(fs::is_empty(root / "home" / "Documents"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "ro"), fs::directory_iterator()), 1);
}

}  // namespace
