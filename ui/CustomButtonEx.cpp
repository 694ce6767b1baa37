#include "ui/CustomControls.h"

#include <algorithm>

namespace ui {

namespace customcontrols {

namespace {

int LogicalWidth(PangoLayout* layout)
{
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    return width;
}

}  // namespace

// ---- CCustomButtonEx

void CCustomButtonEx::SetNormalText(int height, std::optional<Colour> colour, const std::string& face, int weight)
{
    m_normalHeight = height;
    m_normalColour = colour;
    m_normalFace = face;
    m_normalWeight = weight;
    Repaint();
}

void CCustomButtonEx::SetHoverText(int height, std::optional<Colour> colour, const std::string& face)
{
    m_hoverHeight = height;
    m_hoverColour = colour;
    m_hoverFace = face;
    Repaint();
}

void CCustomButtonEx::SetMargins(int left, int top, int right, int bottom)
{
    m_margins[0] = left;
    m_margins[1] = top;
    m_margins[2] = right;
    m_margins[3] = bottom;
    Repaint();
}

bool CCustomButtonEx::UsesHoverFont() const { return m_hoverEffects && State().IsHot(); }

std::optional<Colour> CCustomButtonEx::CurrentTextColour() const
{
    if (!IsEnabled())
        return m_disabledColour;
    if (UsesHoverFont() && m_hoverColour)
        return m_hoverColour;
    return m_normalColour;
}

const imaging::ArgbBitmap& CCustomButtonEx::CurrentImage() const
{
    return !IsEnabled() && !m_disabledImage.IsEmpty() ? m_disabledImage : m_image;
}

PangoLayout* CCustomButtonEx::MakeLayout(bool hover) const
{
    PangoLayout* layout = gtk_widget_create_pango_layout(Widget(), m_textShown ? m_text.c_str() : "");
    const int height = hover ? m_hoverHeight : m_normalHeight;
    const std::string& face = hover ? m_hoverFace : m_normalFace;
    PangoFontDescription* font = ui::MakeFont(face.empty() ? ui::DesktopFontFace() : face,
                                              height == -1 ? ui::DesktopFontPixelHeight() : height, m_normalWeight);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    return layout;
}

int CCustomButtonEx::TextWidth() const
{
    PangoLayout* layout = MakeLayout(false);
    const int width = LogicalWidth(layout);
    g_object_unref(layout);
    return width;
}

int CCustomButtonEx::Gap(int textWidth) const
{
    if (CurrentImage().IsEmpty() || !m_textShown || textWidth == 0)
        return 0;
    PangoLayout* space = MakeLayout(false);
    pango_layout_set_text(space, " ", -1);
    const int spaceWidth = LogicalWidth(space);
    g_object_unref(space);
    return std::max(spaceWidth, m_minimumGap);
}

void CCustomButtonEx::FitWidth()
{
    const imaging::ArgbBitmap& image = CurrentImage();
    if (image.IsEmpty() && !m_textShown)
        return;
    const int text = m_textShown ? TextWidth() : 0;
    const int width = image.Width() + text + m_margins[0] + m_margins[2] + 3 * Gap(text);
    int height = -1;
    gtk_widget_get_size_request(Widget(), nullptr, &height);
    if (height < 0 && gtk_widget_get_realized(Widget()))
        height = gtk_widget_get_allocated_height(Widget());
    gtk_widget_set_size_request(Widget(), width, height);
}

void CCustomButtonEx::UpdateCursor()
{
    GdkWindow* window = gtk_widget_get_window(Widget());
    if (window == nullptr)
        return;
    if (m_hoverEffects && State().IsHot()) {
        GdkCursor* hand = gdk_cursor_new_for_display(gdk_window_get_display(window), GDK_HAND2);
        gdk_window_set_cursor(window, hand);
        if (hand)
            g_object_unref(hand);
    } else {
        gdk_window_set_cursor(window, nullptr);
    }
}

bool CCustomButtonEx::Draw(cairo_t* cr)
{
    switch (m_backgroundMode) {
    case 0:
        if (!CCustomButton::Draw(cr))
            return false;
        break;
    case 1:
        ui::SetSourceColour(cr, 0xF0F0F0);
        cairo_paint(cr);
        break;
    default:
        break;
    }
    const bool hover = UsesHoverFont();
    PangoLayout* layout = MakeLayout(hover);
    const int textWidth = m_textShown ? LogicalWidth(layout) : 0;
    const imaging::ArgbBitmap& image = CurrentImage();
    const int gap = Gap(textWidth);
    const int content = image.Width() + textWidth + gap;
    int start = gap;
    if (m_alignment == 1)
        start = (Width() - content) / 2;
    else if (m_alignment == 2)
        start = std::max(0, Width() - content);

    int imageX = start;
    int textLeft = start + image.Width() + gap;
    int textRight = Width();
    if (m_placement == 1) {
        textLeft = start;
        textRight = start + textWidth + gap;
        imageX = textRight;
    }
    if (cairo_surface_t* surface = ui::ToCairoSurface(image)) {
        cairo_set_source_surface(cr, surface, imageX, (Height() - image.Height()) / 2);
        cairo_paint(cr);
        cairo_surface_destroy(surface);
    }
    if (m_textShown && !m_text.empty()) {
        textLeft += m_margins[0];
        textRight -= m_margins[2];
        const int top = m_margins[1];
        const int bottom = Height() - m_margins[3];
        if (m_wordEllipsis) {
            pango_layout_set_width(layout, std::max(0, textRight - textLeft) * PANGO_SCALE);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
        int w = 0;
        int h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        cairo_save(cr);
        cairo_rectangle(cr, textLeft, top, std::max(0, textRight - textLeft), std::max(0, bottom - top));
        cairo_clip(cr);
        if (const auto colour = CurrentTextColour())
            ui::SetSourceColour(cr, *colour);
        else
            cairo_set_source_rgb(cr, 0, 0, 0);
        const int textTop = top + (bottom - top - h) / 2;
        cairo_move_to(cr, textLeft, textTop);
        pango_cairo_show_layout(cr, layout);
        if (hover) {
            // Whole pixels, as the system draws an underlined font.
            PangoFontMetrics* metrics = pango_context_get_metrics(
                pango_layout_get_context(layout), pango_layout_get_font_description(layout), nullptr);
            const int baseline = textTop + PANGO_PIXELS(pango_layout_get_baseline(layout));
            const int below = std::max(1, PANGO_PIXELS(-pango_font_metrics_get_underline_position(metrics)));
            const int thickness = std::max(1, PANGO_PIXELS(pango_font_metrics_get_underline_thickness(metrics)));
            pango_font_metrics_unref(metrics);
            int lineWidth = w;
            if (m_wordEllipsis)
                lineWidth = std::min(w, textRight - textLeft);
            cairo_rectangle(cr, textLeft, baseline + below, lineWidth, thickness);
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }
    g_object_unref(layout);
    if (State().IsFocused() && m_focusRect) {
        const int inset = m_hoverEffects ? 0 : 3;
        GtkStyleContext* context = gtk_widget_get_style_context(Widget());
        gtk_render_focus(context, cr, inset, 3, Width() - 2 * inset, Height() - 6);
    }
    return true;
}

}  // namespace customcontrols

}  // namespace ui
