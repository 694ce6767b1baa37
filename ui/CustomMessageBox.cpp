#include "ui/CustomMessageBox.h"

#include "ui/AccessibleArea.h"

#include "ui/Desktop.h"
#include "ui/GtkSupport.h"
#include "ui/GtkWindowTree.h"
#include "ui/MessageCatalogue.h"
#include "ui/MessageIcons.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

namespace ui {

namespace {

constexpr ui::Colour kTitleColour = 0x993300;
constexpr ui::Colour kBodyColour = 0x414141;
constexpr ui::Colour kLinkColour = 0xCC6600;
constexpr ui::Colour kPanelColour = 0xF0F0F0;
constexpr int kSlotIds[3] = {1, 3, 4};

// What a screen reader calls the icon.
const char* IconKindName(unsigned type)
{
    switch (type) {
    case 0x10:
        return "Error";
    case 0x20:
        return "Question";
    case 0x30:
        return "Warning";
    default:
        return "Information";
    }
}

}  // namespace

CustomMessageBox::CustomMessageBox() = default;

CustomMessageBox::~CustomMessageBox()
{
    if (m_window)
        gtk_widget_destroy(m_window);
    if (m_themeIcon)
        g_object_unref(m_themeIcon);
    for (GdkPixbuf* icon : m_windowIcons)
        g_object_unref(icon);
}

void CustomMessageBox::SetCaption(const std::string& caption)
{
    m_caption = caption;
    if (m_window)
        gtk_window_set_title(GTK_WINDOW(m_window), caption.c_str());
}

void CustomMessageBox::SetTitle(const std::string& title)
{
    m_title = title;
    if (m_window)
        LayOut();
}

void CustomMessageBox::SetText(const std::string& text)
{
    m_text = text;
    m_bodyParagraphs.clear();
    customcontrols::rtf::Paragraph paragraph;
    if (!text.empty())
        paragraph.items.push_back(customcontrols::rtf::SColoredText{text, kBodyColour});
    m_bodyParagraphs.push_back(paragraph);
    if (m_window)
        LayOut();
}

void CustomMessageBox::SetIconType(unsigned flags)
{
    const unsigned type = flags & 0xF0;
    if (type < 0x10 || type > 0x40)
        return;
    const ui::Dpi& dpi = ui::ScreenDpi();
    m_iconSize = dpi.ScaleY(32);
    m_iconImage = imaging::ArgbBitmap();
    if (m_themeIcon) {
        g_object_unref(m_themeIcon);
        m_themeIcon = nullptr;
    }
    m_iconWidth = dpi.ScaleX(32);
    m_iconResource = ui::MessageIconResource(type);
    m_iconScale = 1;
    if (!m_iconResource.empty())
        m_iconImage = ui::LoadIconResource(m_iconResource, m_iconWidth, m_iconSize);
    if (m_iconImage.IsEmpty())
        m_themeIcon = gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), ui::MessageIconThemeName(type),
                                               m_iconSize, GTK_ICON_LOOKUP_FORCE_SIZE, nullptr);
    m_iconName = IconKindName(type);
    if (m_iconArea) {
        ui::SetAccessibleName(m_iconArea, m_iconName);
        gtk_widget_queue_draw(m_iconArea);
    }
}

void CustomMessageBox::SetWindowIcon(const std::string& resource)
{
    m_windowIconResource = resource;
    for (GdkPixbuf* icon : m_windowIcons)
        g_object_unref(icon);
    m_windowIcons.clear();
    for (const int size : {16, 32, 48, 256}) {
        const imaging::ArgbBitmap image = ui::LoadIconResource(resource, size, size);
        if (image.IsEmpty())
            continue;
        cairo_surface_t* surface = ui::ToCairoSurface(image);
        if (GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, image.Width(), image.Height()))
            m_windowIcons.push_back(pixbuf);
        cairo_surface_destroy(surface);
    }
    if (m_windowIcons.empty())
        if (GdkPixbuf* fallback = gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), "application-x-executable",
                                                           48, GTK_ICON_LOOKUP_FORCE_SIZE, nullptr))
            m_windowIcons.push_back(fallback);
    if (m_window) {
        GList* list = nullptr;
        for (GdkPixbuf* icon : m_windowIcons)
            list = g_list_append(list, icon);
        gtk_window_set_icon_list(GTK_WINDOW(m_window), list);
        g_list_free(list);
    }
}

void CustomMessageBox::SetButtons(std::vector<MessageBoxButton> buttons)
{
    m_buttons = std::move(buttons);
    if (m_window)
        LayOut();
}

void CustomMessageBox::SetHyperlink(const std::string& caption, std::function<void()> handler,
                                    const std::string& address)
{
    m_hasLink = true;
    m_linkCaption = caption;
    m_linkHandler = std::move(handler);
    m_linkAddress = address;
    if (m_window)
        LayOut();
}

bool CustomMessageBox::HasButton(int id) const
{
    return std::any_of(m_buttons.begin(), m_buttons.end(), [id](const auto& b) { return b.id == id; });
}

void CustomMessageBox::Build()
{
    const ui::Dpi& dpi = ui::ScreenDpi();
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_set_data(G_OBJECT(m_window), "tralvex-message-box", this);
    gtk_window_set_title(GTK_WINDOW(m_window), "Dialog");
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_DIALOG);
    static const bool styled = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css,
                                        // The template's own look whatever the
                                        // desktop theme, dark or high contrast.
                                        "window.tralvex-message { background-color: #FFFFFF; color: #000000; }"
                                        " button.tralvex-slot { padding: 0; min-width: 0; min-height: 0;"
                                        "   color: #000000; background-image: none; background-color: #E1E1E1;"
                                        "   border: 1px solid #ADADAD; border-radius: 0; box-shadow: none;"
                                        "   text-shadow: none; outline-color: #000000; }"
                                        " button.tralvex-slot:hover { background-color: #E5F1FB; border-color: #0078D7; }"
                                        " button.tralvex-slot:active { background-color: #CCE4F7; border-color: #005499; }"
                                        " button.tralvex-slot:focus { border-color: #0078D7; }"
                                        " button.tralvex-slot label { color: #000000; }"
                                        " window.tralvex-message textview,"
                                        " window.tralvex-message textview text { background-color: #FFFFFF; }",
                                        -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        return true;
    }();
    (void)styled;
    gtk_style_context_add_class(gtk_widget_get_style_context(m_window), "tralvex-message");
    ui::SetAccessibleRole(m_window, ATK_ROLE_ALERT);

    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_fixed);
    m_panel = gtk_drawing_area_new();
    g_signal_connect(m_panel, "draw", G_CALLBACK(OnDrawPanel), this);
    ui::SetAccessibleRole(m_panel, ATK_ROLE_FILLER);  // only a background
    gtk_fixed_put(GTK_FIXED(m_fixed), m_panel, 0, 0);
    m_iconArea = ui::NewAccessibleArea();
    ui::SetAccessibleRole(m_iconArea, ATK_ROLE_ICON);
    ui::SetAccessibleName(m_iconArea, m_iconName);
    g_signal_connect(m_iconArea, "draw", G_CALLBACK(OnDrawIcon), this);
    gtk_fixed_put(GTK_FIXED(m_fixed), m_iconArea, 0, 0);
    gtk_fixed_put(GTK_FIXED(m_fixed), m_titleLabel.Widget(), 0, 0);
    m_bodyScroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(m_bodyScroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(m_bodyScroller), m_body.Widget());
    gtk_fixed_put(GTK_FIXED(m_fixed), m_bodyScroller, 0, 0);
    gtk_fixed_put(GTK_FIXED(m_fixed), m_linkButton.Widget(), 0, 0);
    gtk_widget_set_no_show_all(m_linkButton.Widget(), TRUE);
    for (int position = 0; position < 3; ++position) {
        m_slots[position] = gtk_button_new_with_label("");
        gtk_style_context_add_class(gtk_widget_get_style_context(m_slots[position]), "tralvex-slot");
        gtk_widget_set_no_show_all(m_slots[position], TRUE);
        const int id = kSlotIds[position];
        g_object_set_data(G_OBJECT(m_slots[position]), "tralvex-id", GINT_TO_POINTER(id));
        g_signal_connect(m_slots[position], "clicked", G_CALLBACK(+[](GtkButton* button, CustomMessageBox* self) {
                             self->Command(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "tralvex-id")));
                         }),
                         this);
        gtk_fixed_put(GTK_FIXED(m_fixed), m_slots[position], 0, 0);
    }
    gtk_widget_set_can_default(m_slots[0], TRUE);
    gtk_window_set_default(GTK_WINDOW(m_window), m_slots[0]);

    // The template's texts are catalogue ids.
    TranslateGtkWindowTree(m_window, CDefaultTranslator());
    gtk_window_set_title(GTK_WINDOW(m_window), m_caption.c_str());
    SetWindowIcon(m_windowIconResource);

    m_titleLabel.SetFont(ui::UiFontFace(), dpi.ScaleY(16));
    m_titleLabel.SetTextColour(kTitleColour);
    m_body.SetFont(ui::UiFontFace(), dpi.ScaleY(14));
    m_body.SetLinkColour(kLinkColour);

    m_linkButton.SetMinimumGap(dpi.ScaleX(6));
    m_linkButton.SetNormalText(-1, kLinkColour, "", 400);
    m_linkButton.SetHoverText(-1, kLinkColour, "");
    m_linkButton.SetHoverEffects(true);
    m_linkButton.SetAlignment(0);
    m_linkButton.SetImagePlacement(0);
    m_linkButton.SetBackgroundMode(2);
    m_linkButton.SetOnClick([this] { if (m_linkHandler) m_linkHandler(); });
    ui::SetAccessibleRole(m_linkButton.Widget(), ATK_ROLE_LINK);
    m_linkButton.SetAccessibleAction("activate");
    // Keyboard users see where the focus is.
    m_linkButton.SetFocusRectangle(true);

    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);
    LayOut();
}

int CustomMessageBox::DoModal()
{
    if (!m_window)
        Build();
    gtk_widget_show_all(m_window);
    // Centred on the work area of the monitor it will appear on.
    if (const auto area = ui::WorkAreaOf(m_window)) {
        int width = 0;
        int height = 0;
        gtk_window_get_size(GTK_WINDOW(m_window), &width, &height);
        const ui::Point p = ui::CentreInWorkArea({area->x, area->y, area->x + area->width, area->y + area->height},
                                                 width, height);
        gtk_window_move(GTK_WINDOW(m_window), p.x, p.y);
    }
    if (m_layout.buttons.visible[0])
        gtk_widget_grab_focus(m_slots[0]);
    gtk_window_set_focus_visible(GTK_WINDOW(m_window), TRUE);
    m_result = 0;
    m_loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(m_loop);
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
    // A copy made with Ctrl+C outlives the box where a clipboard manager
    // takes it over.
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (m_copied)
        gtk_clipboard_store(clipboard);
    gtk_widget_destroy(m_window);
    m_window = nullptr;
    while (gtk_events_pending())
        gtk_main_iteration();
    return m_result;
}

void CustomMessageBox::End(int result)
{
    m_result = result;
    if (m_loop)
        g_main_loop_quit(m_loop);
}

void CustomMessageBox::Command(int controlId)
{
    for (std::size_t position = 0; position < 3; ++position)
        if (kSlotIds[position] == controlId) {
            if (m_buttons.size() > position)
                End(m_buttons[m_buttons.size() - 1 - position].id);
            return;
        }
    if (controlId == 2 && HasButton(2))
        End(2);
}

gboolean CustomMessageBox::OnKey(GtkWidget*, GdkEventKey* event, CustomMessageBox* self)
{
    if ((event->state & GDK_CONTROL_MASK) && (event->keyval == GDK_KEY_c || event->keyval == GDK_KEY_C)) {
        self->CopyToClipboard();
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape) {
        self->Command(2);
        return TRUE;
    }
    return FALSE;
}

gboolean CustomMessageBox::OnDelete(GtkWidget*, GdkEvent*, CustomMessageBox* self)
{
    // Alt+F4 and the window manager's close are the cancel command.
    self->Command(2);
    return TRUE;
}

gboolean CustomMessageBox::OnDrawIcon(GtkWidget* widget, cairo_t* cr, CustomMessageBox* self)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    // On a scaled monitor the frame is taken for the device pixels, so
    // that it is not stretched.
    const int scale = std::max(1, gtk_widget_get_scale_factor(widget));
    if (scale != self->m_iconScale && !self->m_iconResource.empty()) {
        imaging::ArgbBitmap image =
            ui::LoadIconResource(self->m_iconResource, self->m_iconWidth * scale, self->m_iconSize * scale);
        if (!image.IsEmpty()) {
            self->m_iconImage = std::move(image);
            self->m_iconScale = scale;
        }
    }
    if (cairo_surface_t* surface = ui::ToCairoSurface(self->m_iconImage)) {
        cairo_surface_set_device_scale(surface, self->m_iconScale, self->m_iconScale);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_surface_destroy(surface);
    } else if (self->m_themeIcon) {
        gdk_cairo_set_source_pixbuf(cr, self->m_themeIcon, 0, 0);
        cairo_paint(cr);
    }
    return TRUE;
}

gboolean CustomMessageBox::OnDrawPanel(GtkWidget*, cairo_t* cr, CustomMessageBox*)
{
    ui::SetSourceColour(cr, kPanelColour);
    cairo_paint(cr);
    return TRUE;
}

std::unique_ptr<CustomMessageBox> CreateMessageBox(unsigned iconType)
{
    auto box = std::make_unique<CustomMessageBox>();
    box->SetCaption(Translate("TRALVEX_APP_TITLE"));
    box->SetIconType(iconType);
    box->SetWindowIcon("program");
    box->SetButtons({{1, Translate("Close")}});
    return box;
}

}  // namespace ui
