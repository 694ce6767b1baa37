#include "GuiSupport.h"

#include "app/RunModes.h"
#include "support/ScratchFolder.h"
#include "ui/Desktop.h"
#include "ui/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace ui;

namespace fs = std::filesystem;
using namespace app;
using namespace guitest;
using namespace app;

namespace {

// Started from the application menu, the program asks for a book and
// converts the chosen one as it converts a dropped one.
TEST(MenuLaunch, OffersAFileChooserAndConvertsTheChosenBook)
{
    // The chooser's settings stay in memory: there is no session bus here.
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    ASSERT_TRUE(OpenDesktop());
    LoadMessageCatalogue();
    const testsupport::ScratchFolder scratch("menulaunch");
    const fs::path book = scratch.Path() / "Lesson.mordx";
    testsupport::WriteFileBytes(book, "PK");
    ASSERT_TRUE(StartsWithChooseBook({kChooseBookOption}));

    std::string title;
    bool icon = false;
    bool books = false;
    WhileRunning([&, ticks = 0, waited = 0]() mutable {
        const auto shown = ShownWindows(GTK_TYPE_FILE_CHOOSER_DIALOG);
        if (shown.empty() || ++ticks < 4)
            return ++waited > 400;  // gives up after 20 s
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(shown[0]);
        title = gtk_window_get_title(GTK_WINDOW(shown[0]));
        icon = HasWindowIcon(shown[0]);
        if (GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser))
            books = std::string(gtk_file_filter_get_name(filter)).find("*.mordx") != std::string::npos;
        EXPECT_EQ(gtk_file_chooser_get_action(chooser), GTK_FILE_CHOOSER_ACTION_OPEN);
        Screenshot shot("menu-launch");
        gtk_file_chooser_select_filename(chooser, book.c_str());
        Pump(300);
        gtk_dialog_response(GTK_DIALOG(shown[0]), GTK_RESPONSE_ACCEPT);
        return true;
    });
    SingleFileActions actions = DefaultSingleFileActions();
    fs::path converted;
    fs::path revealed;
    actions.convert = [&](const fs::path& source, const fs::path& workingFolder) {
        converted = source;
        EXPECT_TRUE(fs::is_directory(workingFolder));
        return scratch.Path() / "Lesson.pptx";
    };
    actions.reveal = [&](const fs::path& presentation) { revealed = presentation; };
    ChooseAndConvertBook(actions);
    EXPECT_EQ(title, Translate("TRALVEX_APP_TITLE"));
    EXPECT_TRUE(icon);
    EXPECT_TRUE(books);
    EXPECT_EQ(converted, book);
    EXPECT_EQ(revealed, scratch.Path() / "Lesson.pptx");
}

}  // namespace
