#pragma once
#include "imaging/ArgbBitmap.h"

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>
#include <string>

// Small helpers shared by the program's GTK widgets.
namespace ui {

using Colour = std::uint32_t;  // 0x00BBGGRR

void SetSourceColour(cairo_t* cr, Colour colour);
GdkRGBA ToRgba(Colour colour);

// A font of the given character height in pixels.
PangoFontDescription* MakeFont(const std::string& face, int pixelHeight, int weight = 400);

// The desktop's own font (family and pixel height).
std::string DesktopFontFace();
int DesktopFontPixelHeight();

// A premultiplied cairo surface with the bitmap's pixels; null when empty.
cairo_surface_t* ToCairoSurface(const imaging::ArgbBitmap& bitmap);
// A new pixbuf with the bitmap's pixels; null when empty.
GdkPixbuf* ToPixbuf(const imaging::ArgbBitmap& bitmap);

// The work area of the monitor a widget's window appears on (the primary
// one, else the first), or nothing when the display names none.
std::optional<GdkRectangle> WorkAreaOf(GtkWidget* widget);

// Owns one reference to a GObject.
template <class T>
class GRef {
public:
    GRef() = default;
    explicit GRef(T* object) : m_object(object) {}
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
    GRef(GRef&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    ~GRef()
    {
        if (m_object)
            g_object_unref(m_object);
    }
    T* get() const { return m_object; }

private:
    T* m_object = nullptr;
};

// Texts of the program's own drawn widgets, reachable from the widget, so
// that a walk over a window translates them like labels and buttons.
class ITextWidget {
public:
    virtual ~ITextWidget() = default;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
};
void AttachTextWidget(GtkWidget* widget, ITextWidget* control);
ITextWidget* FindTextWidget(GtkWidget* widget);

}  // namespace ui
