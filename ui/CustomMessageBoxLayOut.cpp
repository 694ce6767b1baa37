#include "ui/CustomMessageBox.h"

#include "ui/Desktop.h"
#include "ui/GtkSupport.h"

#include <algorithm>

namespace ui {

// Places the parts of a built message box: the buttons from the right, the
// title and the body fitted to their texts, the panel below them.

namespace {

PangoFontDescription* TitleFont() { return ui::MakeFont(ui::UiFontFace(), ui::ScreenDpi().ScaleY(16)); }

}  // namespace

void CustomMessageBox::LayOut()
{
    const ui::Dpi& dpi = ui::ScreenDpi();
    m_titleLabel.SetText(m_title);
    m_body.SetContent(m_bodyParagraphs);
    if (m_hasLink)
        m_linkButton.SetText(m_linkCaption);
    gtk_widget_set_visible(m_linkButton.Widget(), m_hasLink);
    // The window manager's close is the cancel command: offered only with a button of id 2.
    gtk_window_set_deletable(GTK_WINDOW(m_window), HasButton(2));

    PangoLayout* measure = gtk_widget_create_pango_layout(m_slots[0], "");
    PangoFontDescription* titleFont = TitleFont();
    pango_layout_set_font_description(measure, titleFont);
    PangoFontMetrics* metrics = pango_context_get_metrics(pango_layout_get_context(measure), titleFont, nullptr);
    const int textHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    pango_font_description_free(titleFont);

    ui::MessageBoxLayoutInput in;
    in.dpi = dpi;
    for (const auto& button : m_buttons)
        in.captions.push_back(button.caption);
    in.buttonTextWidth = [measure](const std::string& text) {
        pango_layout_set_text(measure, text.c_str(), -1);
        int w = 0;
        int h = 0;
        pango_layout_get_pixel_size(measure, &w, &h);
        return w;
    };
    in.buttonTextHeight = textHeight;
    in.hasLink = m_hasLink;
    in.linkWidth = m_hasLink ? m_linkButton.TextWidth() : 0;
    in.hasIcon = !m_iconImage.IsEmpty() || m_themeIcon != nullptr;
    in.hasTitle = !m_title.empty();
    in.titleHeight = [this](int width) { return m_titleLabel.MeasureHeight(width); };
    in.bodyHeight = [this](int width) { return m_body.MeasureHeight(width); };
    m_layout = ui::LayOutMessageBox(in);
    g_object_unref(measure);
    // A body taller than the work area scrolls; the buttons stay on screen.
    if (const auto area = ui::WorkAreaOf(m_window)) {
        // Room for the window manager's title bar.
        ui::LimitHeight(m_layout, area->height - dpi.ScaleY(48), textHeight);
    }

    const auto place = [this](GtkWidget* widget, const ui::Rect& r) {
        gtk_fixed_move(GTK_FIXED(m_fixed), widget, r.left, r.top);
        gtk_widget_set_size_request(widget, std::max(0, r.Width()), std::max(0, r.Height()));
    };
    gtk_widget_set_size_request(m_fixed, m_layout.clientWidth, m_layout.clientHeight);
    place(m_panel, m_layout.panel);
    ui::Rect icon = m_layout.icon;
    icon.right = icon.left + m_iconSize;
    icon.bottom = icon.top + m_iconSize;
    place(m_iconArea, icon);
    place(m_titleLabel.Widget(), m_layout.title);
    place(m_bodyScroller, m_layout.body);
    place(m_linkButton.Widget(), m_layout.link);
    for (int position = 0; position < 3; ++position) {
        place(m_slots[position], m_layout.buttons.slots[position]);
        const bool visible = m_layout.buttons.visible[position];
        gtk_widget_set_visible(m_slots[position], visible);
        if (!visible)
            continue;
        GtkButton* slot = GTK_BUTTON(m_slots[position]);
        // A caption of two texts ("one/other") shows one at a time; the slot
        // is as wide as the wider.
        const std::string& caption = m_buttons[m_buttons.size() - 1 - static_cast<std::size_t>(position)].caption;
        gtk_button_set_label(slot, ui::CaptionParts(caption).front().c_str());
        // The slots show their captions in the title's font.
        PangoFontDescription* font = TitleFont();
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_font_desc_new(font));
        if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(slot)); GTK_IS_LABEL(label)) {
            gtk_label_set_attributes(GTK_LABEL(label), attributes);
            gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);  // never beyond the slot
        }
        pango_attr_list_unref(attributes);
        pango_font_description_free(font);
    }
}

}  // namespace ui
