#include "ui/CustomControls.h"

#include "ui/AccessibleArea.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

namespace ui {

namespace customcontrols {

namespace {

GtkWidget* NewDrawingArea()
{
    GtkWidget* widget = ui::NewAccessibleArea();
    g_object_ref_sink(widget);
    return widget;
}

}  // namespace

// ---- CColoredLabel

CColoredLabel::CColoredLabel() : m_widget(NewDrawingArea())
{
    ui::AttachTextWidget(m_widget, this);
    ui::SetAccessibleRole(m_widget, ATK_ROLE_LABEL);
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
    ui::SetAccessibleName(m_widget, text);
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
    ui::SetAccessibleRole(m_widget, ATK_ROLE_PUSH_BUTTON);
    SetAccessibleAction("click");
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

void CCustomButton::SetAccessibleAction(const char* name)
{
    ui::SetAccessibleAction(m_widget, name, [this] {
        if (IsEnabled() && m_onClick)
            m_onClick();
    });
}

void CCustomButton::SetText(const std::string& text)
{
    m_text = text;
    ui::SetAccessibleName(m_widget, text);
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
        case ButtonImage::Hot:
            image = &m_images[1];
            break;
        case ButtonImage::Pressed:
            image = &m_images[2];
            break;
        case ButtonImage::Disabled:
            image = &m_images[3];
            break;
        case ButtonImage::Focused:
            image = &m_images[4];
            break;
        case ButtonImage::NormalPressedOffset:
            offset = 1;
            break;
        case ButtonImage::Normal:
            break;
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

}  // namespace customcontrols

}  // namespace ui
