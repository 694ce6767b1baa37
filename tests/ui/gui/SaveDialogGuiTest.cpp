#include "GuiSupport.h"

#include "export/ConversionErrors.h"
#include "app/ConversionJob.h"
#include "app/DesktopSaveDialog.h"
#include "export/SavePresentation.h"
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"
#include "ui/Desktop.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace exporting;

using namespace ui;

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

    // What one window of the save showed: the chooser or one of its questions.
    struct Seen {
        bool question = false;
        std::string name;  // the chooser's proposed name
        std::string folder;
        std::string text;  // the chooser's explanation, the question's text
        bool icon = false;
    };
    using Answer = std::function<void(GtkWidget*)>;
    static Answer Save(fs::path folder, std::string name)
    {
        return [folder, name](GtkWidget* dialog) {
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
            Pump(300);  // the chooser changes folders in the background
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), name.c_str());
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        };
    }
    static void Cancel(GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL); }
    // "Replace" of the chooser's question.
    static void Replace(GtkWidget* question) { gtk_dialog_response(GTK_DIALOG(question), GTK_RESPONSE_ACCEPT); }

    // Answers the chooser and its questions in the order they come up.
    void AnswerInTurn(std::vector<Answer> answers)
    {
        WhileRunning([this, answers, ticks = 0]() mutable {
            GtkWidget* window = nullptr;
            for (const GType type : {GTK_TYPE_MESSAGE_DIALOG, GTK_TYPE_FILE_CHOOSER_DIALOG})
                for (GtkWidget* w : ShownWindows(type))
                    if (!window && !g_object_get_data(G_OBJECT(w), "answered"))
                        window = w;
            if (!window || ++ticks < 4)
                return ++waited > 400;  // gives up after 20 s
            ticks = 0;
            g_object_set_data(G_OBJECT(window), "answered", GINT_TO_POINTER(1));
            seen.push_back(Describe(window));
            Screenshot shot("save-dialog-" + std::to_string(seen.size()));
            answers[seen.size() - 1](window);
            return seen.size() == answers.size();
        });
    }

    static Seen Describe(GtkWidget* window)
    {
        Seen s;
        s.icon = HasWindowIcon(window);
        auto take = [](gchar* text) {
            std::string value = text ? text : "";
            g_free(text);
            return value;
        };
        if (GTK_IS_MESSAGE_DIALOG(window)) {
            s.question = true;
            gchar* text = nullptr;
            g_object_get(window, "text", &text, nullptr);
            s.text = take(text);
            return s;
        }
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(window);
        s.name = take(gtk_file_chooser_get_current_name(chooser));
        s.folder = take(gtk_file_chooser_get_current_folder(chooser));
        if (GtkWidget* extra = gtk_file_chooser_get_extra_widget(chooser); extra && GTK_IS_LABEL(extra))
            s.text = gtk_label_get_text(GTK_LABEL(extra));
        return s;
    }

    fs::path Convert()
    {
        NoPermissionOverride asUser;
        return RunConversionJob(root / "ro" / "Lesson.mordx", root / "work", {}, SaveServices{DesktopSaveDialog, {}});
    }

    const testsupport::ScratchFolder scratch{"savegui"};
    const fs::path root = scratch.Path();
    std::string oldHome;
    std::vector<Seen> seen;
    int waited = 0;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SaveDialogGui, UnwritableFolderAsksAndSavesWhereTheUserSays)
{
    AnswerInTurn({Save(root / "out", "Mine")});
    const fs::path saved = Convert();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, "Lesson.pptx");
    EXPECT_EQ(fs::path(seen[0].folder), root / "home" / "Documents");
    // It says why it is shown: which folder, and the system's reason.
    EXPECT_TRUE(Contains(seen[0].text, (root / "ro").string())) << seen[0].text;
    EXPECT_TRUE(Contains(seen[0].text, std::strerror(EACCES))) << seen[0].text;
    EXPECT_TRUE(seen[0].icon);
    EXPECT_EQ(saved, root / "out" / "Mine.pptx");
    EXPECT_EQ(testsupport::ReadFileBytes(saved).substr(0, 2), "PK");
    EXPECT_FALSE(fs::exists(root / "ro" / "Lesson.pptx"));
}

TEST_F(SaveDialogGui, CancelEndsQuietlyWithoutAFile)
{
    AnswerInTurn({Cancel});
    testing::internal::CaptureStderr();
    EXPECT_THROW(Convert(), UserCancelledError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, "Lesson.pptx");
    EXPECT_TRUE(fs::is_empty(root / "out"));
    EXPECT_TRUE(fs::is_empty(root / "home" / "Documents"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "ro"), fs::directory_iterator()), 1);
}

TEST_F(SaveDialogGui, WithoutDocumentsStartsAtHomeAndExplainsEveryFailure)
{
    fs::remove(root / "home" / "Documents");
    fs::create_directories(root / "locked");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    AnswerInTurn({Save(root / "locked", "Again"), Cancel});
    EXPECT_THROW(Convert(), UserCancelledError);
    ASSERT_EQ(seen.size(), 2u);
    // GLib's documents folder of this session when it has one, else home;
    // never the working folder.
    const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    EXPECT_TRUE(fs::path(seen[0].folder) == root / "home" || (documents && fs::path(seen[0].folder) == documents))
        << seen[0].folder;
    EXPECT_TRUE(Contains(seen[0].text, (root / "ro").string())) << seen[0].text;
    EXPECT_TRUE(Contains(seen[1].text, (root / "locked").string())) << seen[1].text;
    EXPECT_TRUE(seen[1].icon);
}

// The typed name, and the name saved: ".pptx" is added unless the name ends
// with it, and the one replace question (the chooser's) is about that name.
struct TypedName {
    const char* typed;
    const char* saved;
    bool exists;
};
void PrintTo(const TypedName& c, std::ostream* os) { *os << c.typed; }

class SaveDialogNames : public SaveDialogGui, public ::testing::WithParamInterface<TypedName> {};

TEST_P(SaveDialogNames, SavesUnderTheFinalName)
{
    const TypedName& c = GetParam();
    if (c.exists)
        testsupport::WriteFileBytes(root / "out" / c.saved, "old");
    std::vector<Answer> answers{Save(root / "out", c.typed)};
    if (c.exists)
        answers.push_back(Replace);
    AnswerInTurn(answers);
    EXPECT_EQ(Convert(), root / "out" / c.saved);
    EXPECT_EQ(testsupport::ReadFileBytes(root / "out" / c.saved).substr(0, 2), "PK");
    ASSERT_EQ(seen.size(), answers.size());
    if (c.exists) {
        EXPECT_TRUE(seen[1].question);
        EXPECT_TRUE(Contains(seen[1].text, c.saved)) << seen[1].text;
        EXPECT_TRUE(seen[1].icon);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "out"), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Names, SaveDialogNames,
                         ::testing::Values(TypedName{"Lesson 3.1", "Lesson 3.1.pptx", false},
                                           TypedName{"Deck.PPTX", "Deck.PPTX", false},
                                           TypedName{"Mine", "Mine.pptx", true}),
                         [](const auto& info) { return testnames::Readable(info.param.typed); });

}  // namespace
