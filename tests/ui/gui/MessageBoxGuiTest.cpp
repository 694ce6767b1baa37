#include "GuiSupport.h"

#include "ui/CustomMessageBox.h"
#include "ui/Desktop.h"
#include "ui/MessageCatalogue.h"
#include "ui/Messages.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>
#include <string>

using namespace ui;

using namespace guitest;

namespace {

constexpr std::uint32_t kTitleRgb = 0x003399;
constexpr std::uint32_t kBodyRgb = 0x414141;
constexpr std::uint32_t kLinkRgb = 0x0066CC;
constexpr std::uint32_t kPanelRgb = 0xF0F0F0;
constexpr std::uint32_t kButtonRgb = 0xE1E1E1;

struct MessageCase {
    const char* name;
    std::function<void()> show;
    bool link;
    std::string title;
    const char* icon;  // the icon's accessible name
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxGui : public ::testing::TestWithParam<MessageCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenDesktop()) << "no display";
        LoadMessageCatalogue();
    }
};

CustomMessageBox* FindShownBox()
{
    CustomMessageBox* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (auto* box = static_cast<CustomMessageBox*>(g_object_get_data(G_OBJECT(w->data), "tralvex-message-box")))
            if (gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                found = box;
    g_list_free(windows);
    return found;
}

struct Rect {
    int left, top, right, bottom;
};
Rect ScreenRect(GtkWidget* widget)
{
    const GdkPoint o = ScreenOrigin(widget);
    return {o.x, o.y, o.x + gtk_widget_get_allocated_width(widget), o.y + gtk_widget_get_allocated_height(widget)};
}

// What a screen reader finds in the box: the window an alert, the title a
// label, the icon named by its kind, the buttons and the link with their
// captions and an action. Only where at-spi2 runs for the test.
void CheckAccessibleTree(CustomMessageBox& box, const MessageCase& c)
{
    if (std::getenv("TRALVEX_TEST_ATSPI") == nullptr)
        return;
    const std::string tree = AccessibleTree();
    if (const char* folder = std::getenv("TRALVEX_SCREENSHOTS"))
        g_file_set_contents((std::string(folder) + "/" + c.name + "-atspi.txt").c_str(), tree.c_str(), -1, nullptr);
    std::vector<std::string> expected{"alert|Veltrana Tralvex|", "label|" + c.title + "|", std::string("icon|") + c.icon + "|",
                                      "push button|Close|click|"};
    if (c.link)
        expected.push_back("link|" + box.LinkButton().GetText() + "|activate|");
    for (const std::string& line : expected)
        EXPECT_NE(tree.find("  " + line), std::string::npos) << line << " not in\n"
                                                             << tree;
}

// Everything the box must show, checked while it is up; then Escape, the
// window manager's close and Enter.
void CheckShownBox(CustomMessageBox& box, const MessageCase& c, bool& closedEarly)
{
    const ui::Dpi& dpi = ui::ScreenDpi();
    EXPECT_EQ(dpi.y, ExpectedDpi());
    GtkWidget* window = box.Window();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Veltrana Tralvex");
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(window)));

    // One "Close" button, in the rightmost slot.
    EXPECT_TRUE(gtk_widget_get_visible(box.Slot(0)));
    EXPECT_FALSE(gtk_widget_get_visible(box.Slot(1)));
    EXPECT_FALSE(gtk_widget_get_visible(box.Slot(2)));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(box.Slot(0))), "Close");
    // In the title's font.
    int labelWidth = 0;
    int labelHeight = 0;
    pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(gtk_bin_get_child(GTK_BIN(box.Slot(0))))), &labelWidth,
                                &labelHeight);
    EXPECT_GE(labelHeight, dpi.ScaleY(16));
    const Rect close = ScreenRect(box.Slot(0));
    const Rect panel = ScreenRect(box.Panel());
    const ui::MessageBoxTemplate slots = ui::MessageBoxTemplateAt(dpi);
    EXPECT_EQ(panel.right - close.right, slots.clientWidth - slots.slots[0].right);

    // Fonts and icon follow the resolution: 16 px title, 32 px icon at 96 dpi.
    EXPECT_EQ(box.TitleLabel().GetPixelHeight(), dpi.ScaleY(16));
    EXPECT_EQ(box.IconSize(), ui::MulDiv(32, ExpectedDpi(), 96));
    EXPECT_EQ(gtk_widget_get_allocated_width(box.IconArea()), box.IconSize());
    EXPECT_TRUE(box.HasIconImage());
    EXPECT_EQ(box.TitleLabel().GetTextColour(), 0x993300u);
    EXPECT_EQ(box.TitleLabel().GetText(), c.title);

    // The body is fitted to its text: its height is the laid out text's.
    GtkTextView* view = GTK_TEXT_VIEW(box.Body().Widget());
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(gtk_text_view_get_buffer(view), &end);
    int y = 0;
    int height = 0;
    gtk_text_view_get_line_yrange(view, &end, &y, &height);
    EXPECT_EQ(gtk_widget_get_allocated_height(box.Body().Widget()), y + height);
    const Rect body = ScreenRect(box.Body().Widget());
    const ui::MessageBoxTemplate t = ui::MessageBoxTemplateAt(dpi);
    EXPECT_EQ(panel.top - body.bottom, t.panel.top - t.body.bottom);

    // Centred on the work area.
    GdkRectangle area;
    gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
    int wx = 0;
    int wy = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &wx, &wy);
    const ui::Point centre = ui::CentreInWorkArea({area.x, area.y, area.x + area.width, area.y + area.height},
                                                  gtk_widget_get_allocated_width(window),
                                                  gtk_widget_get_allocated_height(window));
    EXPECT_EQ(wx, centre.x);
    EXPECT_EQ(wy, centre.y);

    {
        Screenshot shot(std::string(c.name) + "-" + std::to_string(ExpectedDpi()));
        const Rect title = ScreenRect(box.TitleLabel().Widget());
        const Rect icon = ScreenRect(box.IconArea());
        EXPECT_GT(shot.Count(title.left, title.top, title.right, title.bottom, kTitleRgb, 12), 20);
        EXPECT_GT(shot.Count(body.left, body.top, body.right, body.bottom, kBodyRgb, 12), 50);
        EXPECT_EQ(shot.At(panel.left + 2, panel.top + 2), kPanelRgb);
        EXPECT_EQ(shot.At(panel.right - 2, panel.bottom - 2), kPanelRgb);
        EXPECT_EQ(shot.At(body.right + 2, wy + 2), 0xFFFFFFu);
        // The buttons keep the template's light face in a dark theme too.
        const int closeArea = (close.right - close.left) * (close.bottom - close.top);
        EXPECT_GT(shot.Count(close.left, close.top, close.right, close.bottom, kButtonRgb, 16), closeArea / 2);
        // The icon is drawn at its size, not beyond it.
        EXPECT_GT(box.IconSize() * box.IconSize() - shot.Count(icon.left, icon.top, icon.right, icon.bottom, 0xFFFFFF),
                  box.IconSize() * box.IconSize() / 4);
        EXPECT_EQ(shot.Count(icon.right, icon.top, icon.right + 4, icon.bottom, 0xFFFFFF), 4 * box.IconSize());
    }

    EXPECT_EQ(gtk_widget_get_visible(box.LinkButton().Widget()), c.link);
    if (c.link) {
        const Rect link = ScreenRect(box.LinkButton().Widget());
        EXPECT_EQ(link.right - link.left, box.LinkButton().TextWidth());
        EXPECT_GE(close.left - link.right, ui::DialogUnitsY(5, dpi));
        EXPECT_EQ(link.left - panel.left, t.link.left);
        int underline = 0;
        {
            Screenshot shot(std::string(c.name) + "-" + std::to_string(ExpectedDpi()) + "-plain");
            EXPECT_GT(shot.Count(link.left, link.top, link.right, link.bottom, kLinkRgb, 12), 20);
            underline = shot.LongestRun(link.left, link.top, link.right, link.bottom, kLinkRgb, 12);
        }
        MovePointer((link.left + link.right) / 2, (link.top + link.bottom) / 2);
        Pump(300);
        EXPECT_TRUE(box.LinkButton().UsesHoverFont());
        GdkCursor* cursor = gdk_window_get_cursor(gtk_widget_get_window(box.LinkButton().Widget()));
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(gdk_cursor_get_cursor_type(cursor), GDK_HAND2);
        {
            Screenshot shot(std::string(c.name) + "-" + std::to_string(ExpectedDpi()) + "-hover");
            // The underline: a run of link colour nearly as long as the text.
            const int hovered = shot.LongestRun(link.left, link.top, link.right, link.bottom, kLinkRgb, 12);
            EXPECT_GT(hovered, (link.right - link.left) * 8 / 10);
            EXPECT_LT(underline, (link.right - link.left) / 2);
        }
        MovePointer(wx + 2, wy + 2);
        Pump(300);
        EXPECT_FALSE(box.LinkButton().UsesHoverFont());
        EXPECT_EQ(gdk_window_get_cursor(gtk_widget_get_window(box.LinkButton().Widget())), nullptr);

        // Keyboard focus on the link shows.
        const Screenshot before(std::string(c.name) + "-" + std::to_string(ExpectedDpi()) + "-unfocused");
        gtk_widget_grab_focus(box.LinkButton().Widget());
        Pump(200);
        const Screenshot after(std::string(c.name) + "-" + std::to_string(ExpectedDpi()) + "-focused");
        int changed = 0;
        for (int y = link.top; y < link.bottom; ++y)
            for (int x = link.left; x < link.right; ++x)
                changed += before.At(x, y) != after.At(x, y) ? 1 : 0;
        EXPECT_GT(changed, link.right - link.left) << "no focus mark on the link";
        gtk_widget_grab_focus(box.Slot(0));
    }

    EXPECT_TRUE(HasWindowIcon(window));
    CheckAccessibleTree(box, c);

    // A scaled monitor enlarges the box as it does GTK's windows, and the
    // icon is drawn from a frame of its device pixels.
    const int scale = gtk_widget_get_scale_factor(window);
    EXPECT_EQ(scale, ExpectedScale());
    EXPECT_EQ(gtk_widget_get_allocated_width(window) * scale, t.clientWidth * ExpectedScale());
    EXPECT_GE(box.IconFrameWidth(), box.IconSize() * ExpectedScale());

    // Ctrl+C copies the message as text and as RTF.
    SendKey(window, GDK_KEY_c, GDK_CONTROL_MASK);
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gchar* text = gtk_clipboard_wait_for_text(clipboard);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), box.ClipboardText());
    EXPECT_EQ(std::string(text).rfind(c.title + "\n\n", 0), 0u);
    g_free(text);
    GtkSelectionData* rtf = gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern_static_string("text/rtf"));
    ASSERT_NE(rtf, nullptr);
    const std::string document(reinterpret_cast<const char*>(gtk_selection_data_get_data(rtf)),
                               static_cast<std::size_t>(gtk_selection_data_get_length(rtf)));
    gtk_selection_data_free(rtf);
    EXPECT_EQ(document, box.ClipboardRtf());
    EXPECT_EQ(document.rfind("{\\rtf1{\\colortbl;\\red0\\green51\\blue153;", 0), 0u);
    EXPECT_EQ(document.find("HYPERLINK") != std::string::npos, c.link);

    // Escape and the window manager's close do nothing.
    SendKey(window, GDK_KEY_Escape);
    GdkEvent* del = gdk_event_new(GDK_DELETE);
    del->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    gtk_main_do_event(del);
    gdk_event_free(del);
    Pump(100);
    closedEarly = FindShownBox() == nullptr;
    if (!closedEarly)
        SendKey(window, GDK_KEY_Return);
}

TEST_P(MessageBoxGui, ShowsAndClosesOnlyWithItsButton)
{
    bool checked = false;
    bool closedEarly = false;
    const gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
    int shownFor = 0;
    WhileRunning([&] {
        if (g_get_monotonic_time() > deadline) {
            if (CustomMessageBox* box = FindShownBox())
                box->Command(1);
            return true;
        }
        CustomMessageBox* box = FindShownBox();
        if (!box || ++shownFor < 6)  // let it be drawn
            return false;
        CheckShownBox(*box, GetParam(), closedEarly);
        checked = true;
        return true;
    });
    GetParam().show();  // returns when the box is closed
    EXPECT_TRUE(checked);
    EXPECT_FALSE(closedEarly);
    EXPECT_EQ(FindShownBox(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageBoxGui,
    ::testing::Values(MessageCase{"Usage", ShowUsageMessage, false, "Utulity for updating Book Interaction",
                                  "Warning"},
                      MessageCase{"NotABook", ShowNotABookMessage, false, "This is not a book", "Warning"},
                      MessageCase{"PptNotInstalled", ShowPptNotInstalledMessage, false,
                                  "Microsoft PowerPoint is not installed", "Warning"},
                      MessageCase{"FileCorrupted", [] { ShowFileCorruptedMessage("https://example.invalid/help"); },
                                  true, "File is corrupt", "Error"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

TEST(MessageBoxButtons, ThreeButtonsInListOrderAndEscapeCancels)
{
    ASSERT_TRUE(OpenDesktop());
    LoadMessageCatalogue();
    auto box = CreateMessageBox(0x20);
    box->SetTitle("Replace the file?");
    box->SetText("Short.");
    box->SetButtons({{6, "Yes"}, {7, "No/Never"}, {2, "Cancel"}});
    bool checked = false;
    WhileRunning([&, ticks = 0]() mutable {
        if (!box->Window() || !gtk_widget_get_mapped(box->Window()) || ++ticks < 4)
            return false;
        // A two-text caption shows its first text.
        const char* expected[3] = {"Cancel", "No", "Yes"};
        int previousLeft = 1 << 20;
        for (int position = 0; position < 3; ++position) {
            EXPECT_TRUE(gtk_widget_get_visible(box->Slot(position)));
            EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(box->Slot(position))), expected[position]);
            const GdkPoint o = ScreenOrigin(box->Slot(position));
            EXPECT_LT(o.x + gtk_widget_get_allocated_width(box->Slot(position)), previousLeft);
            previousLeft = o.x;
        }
        EXPECT_TRUE(gtk_window_get_deletable(GTK_WINDOW(box->Window())));
        SendKey(box->Window(), GDK_KEY_Escape);
        checked = true;
        return true;
    });
    EXPECT_EQ(box->DoModal(), 2);
    EXPECT_TRUE(checked);
}

}  // namespace

namespace {

// Whatever the texts, the buttons stay inside their slots and on screen: a
// two-text caption does not reach over its neighbour, a body taller than
// the work area scrolls.
TEST(MessageBoxLimits, TwoTextCaptionAndTallBodyStayInside)
{
    ASSERT_TRUE(OpenDesktop());
    LoadMessageCatalogue();
    auto box = CreateMessageBox(0x30);
    box->SetTitle("A long story");
    std::string text;
    for (int line = 1; line <= 150; ++line)
        text += "Line " + std::to_string(line) + " of a body far taller than any screen.\n";
    box->SetText(text);
    box->SetButtons({{6, "Keep the old one/Keep them all, whatever they say"}, {1, "Close"}});
    bool checked = false;
    WhileRunning([&, ticks = 0]() mutable {
        if (!box->Window() || !gtk_widget_get_mapped(box->Window()) || ++ticks < 4)
            return false;
        Screenshot shot("limits-" + std::to_string(ExpectedDpi()));
        GdkRectangle area;
        gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
        const GdkPoint close = ScreenOrigin(box->Slot(0));
        EXPECT_LE(close.y + gtk_widget_get_allocated_height(box->Slot(0)), area.y + area.height);
        EXPECT_LE(gtk_widget_get_allocated_height(box->Window()), area.height);
        EXPECT_TRUE(GTK_IS_SCROLLED_WINDOW(gtk_widget_get_parent(box->Body().Widget())));
        const GdkPoint two = ScreenOrigin(box->Slot(1));
        EXPECT_LE(two.x + gtk_widget_get_allocated_width(box->Slot(1)), close.x);
        // The caption's text is drawn within its slot.
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(box->Slot(1)));
        int width = 0;
        pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label)), &width, nullptr);
        EXPECT_LE(width, gtk_widget_get_allocated_width(box->Slot(1)));
        box->Command(1);
        checked = true;
        return true;
    });
    EXPECT_EQ(box->DoModal(), 1);
    EXPECT_TRUE(checked);
}

}  // namespace
