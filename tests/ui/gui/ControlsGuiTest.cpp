#include "GuiSupport.h"

#include "ui/CustomControls.h"
#include "ui/Desktop.h"
#include "ui/GtkWindowTree.h"
#include "ui/MessageCatalogue.h"
#include "ui/RichTextStaticControl.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace ui;

using namespace customcontrols;
using namespace customcontrols::rtf;
using namespace guitest;

namespace {

class ControlsGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenDesktop());
        LoadMessageCatalogue();
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        gtk_window_move(GTK_WINDOW(window), 0, 0);
    }
    void TearDown() override { gtk_widget_destroy(window); }
    void Show(GtkWidget* widget, int x, int y, int width, int height)
    {
        gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
        gtk_widget_set_size_request(widget, width, height);
        gtk_widget_show_all(window);
        Pump(300);
    }
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;
};

void Mouse(GtkWidget* widget, GdkEventType type, double x, double y)
{
    GdkEvent* event = gdk_event_new(type);
    GdkWindow* target = GTK_IS_TEXT_VIEW(widget) ? gtk_text_view_get_window(GTK_TEXT_VIEW(widget), GTK_TEXT_WINDOW_TEXT)
                                                 : gtk_widget_get_window(widget);
    if (type == GDK_MOTION_NOTIFY) {
        event->motion.window = GDK_WINDOW(g_object_ref(target));
        event->motion.x = x;
        event->motion.y = y;
    } else {
        event->button.window = GDK_WINDOW(g_object_ref(target));
        event->button.button = 1;
        event->button.x = x;
        event->button.y = y;
    }
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

TEST_F(ControlsGui, RichTextCountsCharactersAndLinks)
{
    CRichTextStaticControl control;
    control.SetLinkColour(0xCC6600);
    std::vector<std::string> clicked;
    control.SetLinkHandler([&](const std::string& address) { clicked.push_back(address); });
    control.SetContent({{0, {SPlainText{"old "}, SHyperlink{"gone", "u0"}}}});
    control.SetContent({{0, {SPlainText{"ab"}, SHyperlink{"cd", "u1"}}}, {2, {SHyperlink{"\xC3\xA9"
                                                                                         "f",
                                                                                         "u2"}}}});
    ASSERT_EQ(control.Links().size(), 2u);
    EXPECT_EQ(control.Links()[0].first, 2);
    EXPECT_EQ(control.Links()[0].last, 4);
    EXPECT_EQ(control.Links()[1].first, 5);  // after the paragraph end
    EXPECT_EQ(control.Links()[1].last, 7);
    EXPECT_EQ(control.CharacterCount(), 7);
    EXPECT_EQ(control.Text(), "abcd\n\xC3\xA9"
                              "f");

    control.Press(2);
    control.Release(3);  // same link
    control.Press(2);
    control.Release(6);  // dragged to another link
    control.Press(0);
    control.Release(3);  // pressed outside
    control.Press(5);
    control.Release(7);  // released past the end
    EXPECT_EQ(clicked, std::vector<std::string>{"u1"});
}

TEST_F(ControlsGui, RichTextQuoteInAddressStopsAfterWhatCameBefore)
{
    CRichTextStaticControl control;
    try {
        control.SetContent({{0, {SPlainText{"x"}, SHyperlink{"y", "a\"b"}, SPlainText{"z"}}}});
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "URL contains quote: a\"b");
    }
    EXPECT_EQ(control.Text(), "x");
}

TEST_F(ControlsGui, RichTextNeverSelectsAndShowsTheHandOverLinks)
{
    CRichTextStaticControl control;
    control.SetFont("Sans", 14);
    std::string clicked;
    control.SetLinkHandler([&](const std::string& address) { clicked = address; });
    control.SetContent({{0, {SHyperlink{"link", "u"}, SPlainText{" and a longer plain text"}}}});
    Show(control.Widget(), 0, 0, 400, 40);
    GtkTextView* view = GTK_TEXT_VIEW(control.Widget());
    EXPECT_FALSE(gtk_text_view_get_cursor_visible(view));
    Mouse(control.Widget(), GDK_MOTION_NOTIFY, 5, 5);
    GdkCursor* cursor = gdk_window_get_cursor(gtk_text_view_get_window(view, GTK_TEXT_WINDOW_TEXT));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(gdk_cursor_get_cursor_type(cursor), GDK_HAND2);
    Mouse(control.Widget(), GDK_MOTION_NOTIFY, 300, 5);
    EXPECT_EQ(gdk_cursor_get_cursor_type(gdk_window_get_cursor(gtk_text_view_get_window(view, GTK_TEXT_WINDOW_TEXT))),
              GDK_LEFT_PTR);
    // A drag over the text selects nothing.
    Mouse(control.Widget(), GDK_BUTTON_PRESS, 100, 5);
    Mouse(control.Widget(), GDK_MOTION_NOTIFY, 300, 5);
    Mouse(control.Widget(), GDK_BUTTON_RELEASE, 300, 5);
    EXPECT_FALSE(gtk_text_buffer_get_has_selection(gtk_text_view_get_buffer(view)));
    Mouse(control.Widget(), GDK_BUTTON_PRESS, 5, 5);
    Mouse(control.Widget(), GDK_BUTTON_RELEASE, 6, 5);
    EXPECT_EQ(clicked, "u");
}

TEST_F(ControlsGui, ButtonStatesAndTexts)
{
    CCustomButtonEx button;
    int clicks = 0;
    button.SetOnClick([&] { ++clicks; });
    button.SetText("Press me");
    button.SetNormalText(16, 0x0000FF, "Sans");
    button.SetAlignment(0);
    button.SetBackgroundMode(1);
    Show(button.Widget(), 10, 10, 200, 30);
    button.FitWidth();
    Pump(100);
    EXPECT_EQ(gtk_widget_get_allocated_width(button.Widget()), button.TextWidth());

    gtk_widget_grab_focus(button.Widget());
    gtk_window_present(GTK_WINDOW(window));
    Pump(200);
    SendKey(window, GDK_KEY_space);  // press and release
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.State().IsPressed());

    gtk_widget_set_sensitive(button.Widget(), FALSE);
    Pump(200);
    EXPECT_EQ(button.CurrentTextColour(), std::optional<Colour>(0x6D6D6D));
    const GdkPoint origin = ScreenOrigin(button.Widget());
    Screenshot shot("disabled-button");
    EXPECT_GT(shot.Count(origin.x, origin.y, origin.x + button.TextWidth(), origin.y + 30, 0x6D6D6D, 10), 10);
    EXPECT_EQ(shot.Count(origin.x, origin.y, origin.x + button.TextWidth(), origin.y + 30, 0xFF0000, 60), 0);
}

TEST_F(ControlsGui, ColouredLabelHasNoBackgroundOfItsOwn)
{
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background-color: #FFFFFF; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    CColoredLabel label;
    label.SetFont("Sans", 16);
    label.SetText("Dark blue");
    label.SetTextColour(0x993300);
    Show(label.Widget(), 10, 10, 200, 30);
    const GdkPoint origin = ScreenOrigin(label.Widget());
    Screenshot shot("coloured-label");
    EXPECT_GT(shot.Count(origin.x, origin.y, origin.x + 200, origin.y + 30, 0x003399, 12), 20);
    EXPECT_EQ(shot.At(origin.x + 199, origin.y + 29), 0xFFFFFFu);
}

TEST_F(ControlsGui, WindowTreeTranslatesWholeIds)
{
    gtk_window_set_title(GTK_WINDOW(window), "ERROR_FILE_CORRUPTED_TITLE");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_fixed_put(GTK_FIXED(fixed), box, 0, 0);
    GtkWidget* id = gtk_label_new("TRALVEX_APP_TITLE");
    GtkWidget* plain = gtk_label_new("Close the door");
    GtkWidget* empty = gtk_label_new("");
    GtkWidget* button = gtk_button_new_with_label("USAGE_TITLE");
    CColoredLabel drawn;
    drawn.SetText("ERROR_NOT_A_BOOK_TITLE");
    for (GtkWidget* w : {id, plain, empty, button, drawn.Widget()})
        gtk_box_pack_start(GTK_BOX(box), w, FALSE, FALSE, 0);
    TranslateGtkWindowTree(window, CDefaultTranslator());
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "File is corrupt");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(id)), "Veltrana Tralvex");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(plain)), "Close the door");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(empty)), "");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), "Utulity for updating Book Interaction");
    EXPECT_EQ(drawn.GetText(), "This is not a book");
    gtk_container_remove(GTK_CONTAINER(box), drawn.Widget());
}

}  // namespace
