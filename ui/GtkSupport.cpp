#include "ui/GtkSupport.h"

#include "ui/Desktop.h"

#include <algorithm>
#include <cmath>

namespace ui {

void SetSourceColour(cairo_t* cr, Colour colour)
{
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0);
}

GdkRGBA ToRgba(Colour colour)
{
    return {(colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0, 1.0};
}

PangoFontDescription* MakeFont(const std::string& face, int pixelHeight, int weight)
{
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, face.c_str());
    pango_font_description_set_absolute_size(font, std::max(1, pixelHeight) * PANGO_SCALE);
    pango_font_description_set_weight(font, static_cast<PangoWeight>(weight));
    return font;
}

namespace {

PangoFontDescription* DesktopFont()
{
    gchar* name = nullptr;
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_get(settings, "gtk-font-name", &name, nullptr);
    PangoFontDescription* font = pango_font_description_from_string(name != nullptr ? name : "Sans 9");
    g_free(name);
    return font;
}

}  // namespace

std::string DesktopFontFace()
{
    PangoFontDescription* font = DesktopFont();
    const char* family = pango_font_description_get_family(font);
    std::string face = family != nullptr ? family : "Sans";
    pango_font_description_free(font);
    return face;
}

int DesktopFontPixelHeight()
{
    PangoFontDescription* font = DesktopFont();
    int size = pango_font_description_get_size(font);
    const bool absolute = pango_font_description_get_size_is_absolute(font);
    pango_font_description_free(font);
    if (size <= 0)
        return 12;
    // Points at the screen's resolution.
    return absolute ? size / PANGO_SCALE
                    : static_cast<int>(std::lround(size / double(PANGO_SCALE) * ScreenDpi().y / 72.0));
}

cairo_surface_t* ToCairoSurface(const imaging::ArgbBitmap& bitmap)
{
    if (bitmap.IsEmpty())
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bitmap.Width(), bitmap.Height());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto pixels = bitmap.Pixels();
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * bitmap.Width() + x];
            const std::uint32_t a = p >> 24;
            const auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (premultiply((p >> 16) & 0xFF) << 16) | (premultiply((p >> 8) & 0xFF) << 8)
                     | premultiply(p & 0xFF);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void AttachTextWidget(GtkWidget* widget, ITextWidget* control)
{
    g_object_set_data(G_OBJECT(widget), "tralvex-text-widget", control);
}

ITextWidget* FindTextWidget(GtkWidget* widget)
{
    return static_cast<ITextWidget*>(g_object_get_data(G_OBJECT(widget), "tralvex-text-widget"));
}

}  // namespace ui

namespace ui {

GdkPixbuf* ToPixbuf(const imaging::ArgbBitmap& bitmap)
{
    cairo_surface_t* surface = ToCairoSurface(bitmap);
    if (surface == nullptr)
        return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, bitmap.Width(), bitmap.Height());
    cairo_surface_destroy(surface);
    return pixbuf;
}

std::optional<GdkRectangle> WorkAreaOf(GtkWidget* widget)
{
    GdkDisplay* display = gtk_widget_get_display(widget);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr)
        return std::nullopt;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return area;
}

}  // namespace ui
