#include "ui/Desktop.h"

#include "ui/MessageIcons.h"
#include "ui/GtkSupport.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace ui {

bool OpenDesktop()
{
    static const bool open = [] {
        const char* x = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if ((x == nullptr || *x == '\0') && (wayland == nullptr || *wayland == '\0'))
            return false;
        if (gtk_init_check(nullptr, nullptr) == FALSE)
            return false;
        ui::InstallProgramIcon();
        return true;
    }();
    return open;
}

void InstallProgramIcon()
{
    // Every window the program shows, GTK's own dialogs included, carries it.
    GList* icons = nullptr;
    for (const int size : {16, 32, 48, 256})
        if (GdkPixbuf* pixbuf = ToPixbuf(LoadIconResource("program", size, size)))
            icons = g_list_append(icons, pixbuf);
    if (icons == nullptr)
        return;
    gtk_window_set_default_icon_list(icons);
    g_list_free_full(icons, g_object_unref);
}

namespace {

// GTK's own logical resolution: what it sizes its windows and fonts by,
// from the desktop's settings or the Xft.dpi resource, else 96. A monitor's
// scale factor enlarges both alike, in device pixels.
int ReadDpi()
{
    gint xftDpi = -1;
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_get(settings, "gtk-xft-dpi", &xftDpi, nullptr);
    const long dpi = std::lround(xftDpi / 1024.0);
    return xftDpi > 0 && dpi >= 24 && dpi <= 960 ? static_cast<int>(dpi) : 96;
}

bool HasFamily(const char* name)
{
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoFontFamily** families = nullptr;
    int count = 0;
    pango_font_map_list_families(map, &families, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i)
        found = g_ascii_strcasecmp(pango_font_family_get_name(families[i]), name) == 0;
    g_free(families);
    return found;
}

}  // namespace

const Dpi& ScreenDpi()
{
    static const Dpi dpi = [] {
        if (!OpenDesktop())
            return Dpi{};
        const int dpi = ReadDpi();
        return Dpi{dpi, dpi};
    }();
    return dpi;
}

const std::string& UiFontFace()
{
    static const std::string face = []() -> std::string {
        if (HasFamily("Segoe UI"))
            return "Segoe UI";
        if (HasFamily("Arial"))
            return "Arial";
        gchar* name = nullptr;
        if (OpenDesktop())
            g_object_get(gtk_settings_get_default(), "gtk-font-name", &name, nullptr);
        std::string family = "Sans";
        if (name != nullptr) {
            PangoFontDescription* description = pango_font_description_from_string(name);
            if (const char* f = pango_font_description_get_family(description))
                family = f;
            pango_font_description_free(description);
            g_free(name);
        }
        return family;
    }();
    return face;
}

}  // namespace ui
