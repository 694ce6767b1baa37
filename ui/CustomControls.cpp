#include "ui/CustomControls.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

namespace customcontrols {

namespace {

GtkWidget* NewDrawingArea()
{
    GtkWidget* widget = gtk_drawing_area_new();
    g_object_ref_sink(widget);
    return widget;
}

int LogicalWidth(PangoLayout* layout)
{
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    return width;
}

}  // namespace

// ---- CColoredLabel

CColoredLabel::CColoredLabel() : m_widget(NewDrawingArea())
{
    ui::AttachTextWidget(m_widget, this);
    g_signal_connect(m_widget, "draw", G_CALLBACK(OnDraw), this);
}

CColoredLabel::~CColoredLabel()
{
    g_signal_handlers_disconnect_by_data(m_widget, this);
    ui::AttachTextWidget(m_widget, nullptr);
    g_object_unref(m_widget);
}

void CColoredLabel::SetText(const std::string& text)
{
    m_text = text;
    gtk_widget_queue_draw(m_widget);
}

void CColoredLabel::SetTextColour(Colour colour)
{
    m_colour = colour;
    gtk_widget_queue_draw(m_widget);
}

void CColoredLabel::SetFont(const std::string& face, int pixelHeight)
{
    m_face = face;
    m_pixelHeight = pixelHeight;
    gtk_widget_queue_draw(m_widget);
}

PangoLayout* CColoredLabel::MakeLayout(int width) const
{
    PangoLayout* layout = gtk_widget_create_pango_layout(m_widget, m_text.c_str());
    PangoFontDescription* font = ui::MakeFont(m_face, m_pixelHeight);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_width(layout, std::max(1, width) * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    return layout;
}

int CColoredLabel::MeasureHeight(int width) const
{
    PangoLayout* layout = MakeLayout(width);
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    return h;
}

gboolean CColoredLabel::OnDraw(GtkWidget* widget, cairo_t* cr, CColoredLabel* self)
{
    // No background of its own: the parent shows through.
    PangoLayout* layout = self->MakeLayout(gtk_widget_get_allocated_width(widget));
    ui::SetSourceColour(cr, self->m_colour);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    return TRUE;
}

// ---- CCustomButton

CCustomButton::CCustomButton() : m_widget(NewDrawingArea())
{
    ui::AttachTextWidget(m_widget, this);
    gtk_widget_set_can_focus(m_widget, TRUE);
    gtk_widget_add_events(m_widget, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK
                                        | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_KEY_PRESS_MASK
                                        | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    g_signal_connect(m_widget, "draw", G_CALLBACK(OnDrawSignal), this);
    g_signal_connect(m_widget, "event", G_CALLBACK(OnEvent), this);
}

CCustomButton::~CCustomButton()
{
    g_signal_handlers_disconnect_by_data(m_widget, this);
    ui::AttachTextWidget(m_widget, nullptr);
    g_object_unref(m_widget);
}

void CCustomButton::SetText(const std::string& text)
{
    m_text = text;
    Repaint();
}

void CCustomButton::SetImages(imaging::ArgbBitmap normal, imaging::ArgbBitmap hot, imaging::ArgbBitmap pressed,
                              imaging::ArgbBitmap disabled, imaging::ArgbBitmap focused)
{
    m_images[0] = std::move(normal);
    m_images[1] = std::move(hot);
    m_images[2] = std::move(pressed);
    m_images[3] = std::move(disabled);
    m_images[4] = std::move(focused);
    Repaint();
}

void CCustomButton::Show(bool visible)
{
    gtk_widget_set_visible(m_widget, visible);
    Repaint();
}

bool CCustomButton::IsEnabled() const { return gtk_widget_is_sensitive(m_widget); }
void CCustomButton::Repaint() { gtk_widget_queue_draw(m_widget); }
int CCustomButton::Width() const { return gtk_widget_get_allocated_width(m_widget); }
int CCustomButton::Height() const { return gtk_widget_get_allocated_height(m_widget); }

void CCustomButton::Apply(const ButtonEvent& event)
{
    if (event.repaint) {
        UpdateCursor();
        OnStateChanged();
        Repaint();
    }
    if (event.clicked && m_onClick)
        m_onClick();
}

void CCustomButton::DrawThemedFace(cairo_t* cr, bool pressed, bool hot, bool focused)
{
    GtkWidgetPath* path = gtk_widget_path_copy(gtk_widget_get_path(m_widget));
    gtk_widget_path_append_type(path, GTK_TYPE_BUTTON);
    gtk_widget_path_iter_set_object_name(path, -1, "button");
    GtkStyleContext* context = gtk_style_context_new();
    gtk_style_context_set_path(context, path);
    gtk_style_context_set_parent(context, gtk_widget_get_style_context(m_widget));
    int flags = GTK_STATE_FLAG_NORMAL;
    if (!IsEnabled())
        flags |= GTK_STATE_FLAG_INSENSITIVE;
    if (pressed)
        flags |= GTK_STATE_FLAG_ACTIVE;
    if (hot)
        flags |= GTK_STATE_FLAG_PRELIGHT;
    if (focused)
        flags |= GTK_STATE_FLAG_FOCUSED;
    gtk_style_context_set_state(context, static_cast<GtkStateFlags>(flags));
    gtk_render_background(context, cr, 0, 0, Width(), Height());
    gtk_render_frame(context, cr, 0, 0, Width(), Height());
    if (focused)
        gtk_render_focus(context, cr, 3, 3, Width() - 6, Height() - 6);
    g_object_unref(context);
    gtk_widget_path_unref(path);
}

bool CCustomButton::Draw(cairo_t* cr)
{
    if (m_background) {
        ui::SetSourceColour(cr, *m_background);
        cairo_paint(cr);
    }
    if (!m_images[0].IsEmpty() || !m_images[1].IsEmpty() || !m_images[2].IsEmpty()) {
        const ButtonImagesSet set{!m_images[1].IsEmpty(), !m_images[2].IsEmpty(), !m_images[3].IsEmpty(),
                                  !m_images[4].IsEmpty()};
        const ButtonImage choice = ChooseButtonImage(m_state, IsEnabled(), set);
        const imaging::ArgbBitmap* image = &m_images[0];
        int offset = 0;
        switch (choice) {
        case ButtonImage::Hot: image = &m_images[1]; break;
        case ButtonImage::Pressed: image = &m_images[2]; break;
        case ButtonImage::Disabled: image = &m_images[3]; break;
        case ButtonImage::Focused: image = &m_images[4]; break;
        case ButtonImage::NormalPressedOffset: offset = 1; break;
        case ButtonImage::Normal: break;
        }
        if (cairo_surface_t* surface = ui::ToCairoSurface(*image)) {
            cairo_save(cr);
            if (m_stretch) {
                cairo_scale(cr, double(Width()) / image->Width(), double(Height()) / image->Height());
                cairo_set_source_surface(cr, surface, 0, 0);
            } else {
                cairo_set_source_surface(cr, surface, (Width() - image->Width()) / 2 + offset,
                                         (Height() - image->Height()) / 2 + offset);
            }
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(surface);
        }
        return true;
    }
    DrawThemedFace(cr, m_state.IsPressed(), m_state.IsHot(), m_state.IsFocused());
    return true;
}

gboolean CCustomButton::OnDrawSignal(GtkWidget*, cairo_t* cr, CCustomButton* self)
{
    return self->Draw(cr) ? TRUE : FALSE;
}

gboolean CCustomButton::OnEvent(GtkWidget* widget, GdkEvent* event, CCustomButton* self)
{
    const auto inside = [widget](double x, double y) {
        return x >= 0 && y >= 0 && x < gtk_widget_get_allocated_width(widget)
               && y < gtk_widget_get_allocated_height(widget);
    };
    switch (event->type) {
    case GDK_ENTER_NOTIFY:
        self->Apply(self->m_state.MouseMove(true));
        return FALSE;
    case GDK_MOTION_NOTIFY:
        self->Apply(self->m_state.MouseMove(inside(event->motion.x, event->motion.y)));
        return FALSE;
    case GDK_LEAVE_NOTIFY: {
        ButtonEvent e = self->m_state.MouseLeave();
        if (self->m_state.IsCaptured())
            e.repaint |= self->m_state.MouseMove(false).repaint;
        self->Apply(e);
        return FALSE;
    }
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
        if (event->button.button != 1)
            return FALSE;
        gtk_widget_grab_focus(widget);
        self->Apply(event->type == GDK_BUTTON_PRESS ? self->m_state.ButtonDown() : self->m_state.DoubleClick());
        return TRUE;
    case GDK_BUTTON_RELEASE:
        if (event->button.button != 1)
            return FALSE;
        self->Apply(self->m_state.ButtonUp(inside(event->button.x, event->button.y)));
        return TRUE;
    case GDK_GRAB_BROKEN:
        self->Apply(self->m_state.CaptureLost());
        return FALSE;
    case GDK_KEY_PRESS:
        if (event->key.keyval == GDK_KEY_space) {
            self->Apply(self->m_state.SpaceDown());
            return TRUE;
        }
        if (event->key.keyval == GDK_KEY_Return || event->key.keyval == GDK_KEY_KP_Enter) {
            self->Apply(self->m_state.Enter());
            return TRUE;
        }
        return FALSE;
    case GDK_KEY_RELEASE:
        if (event->key.keyval == GDK_KEY_space) {
            self->Apply(self->m_state.SpaceUp());
            return TRUE;
        }
        return FALSE;
    case GDK_FOCUS_CHANGE:
        self->Apply(event->focus_change.in ? self->m_state.FocusIn() : self->m_state.FocusOut());
        return FALSE;
    default:
        return FALSE;
    }
}

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
    gtk_widget_set_size_request(Widget(), width, std::max(0, gtk_widget_get_allocated_height(Widget())));
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
