#include "ui/Desktop.h"

#include "ui/MessageIcons.h"
#include "ui/GtkSupport.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstdlib>
#include <string>

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

namespace ui {

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

int ReadDpi(bool vertical)
{
    GdkScreen* screen = gdk_screen_get_default();
    if (screen == nullptr)
        return 96;
    // The program draws in GTK's logical pixels, which a scaled monitor
    // already enlarges: the resolution wanted is the logical one.
    int scale = 1;
    if (GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default()))
        scale = std::max(1, gdk_monitor_get_scale_factor(monitor));
    // GTK reports 96 when no settings manager runs; only a running one's
    // value is the desktop's.
    bool desktopSetting = true;
    if (GDK_IS_X11_SCREEN(screen)) {
        Display* display = GDK_SCREEN_XDISPLAY(screen);
        const std::string selection = "_XSETTINGS_S" + std::to_string(GDK_SCREEN_XNUMBER(screen));
        desktopSetting = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
    }
    gint xftDpi = -1;
    g_object_get(gtk_settings_get_default(), "gtk-xft-dpi", &xftDpi, nullptr);
    if (desktopSetting && xftDpi > 0)
        return static_cast<int>(std::lround(xftDpi / 1024.0));
    if (GDK_IS_X11_SCREEN(screen)) {
        Display* display = GDK_SCREEN_XDISPLAY(screen);
        if (const char* value = XGetDefault(display, "Xft", "dpi")) {
            const double dpi = std::atof(value);
            if (dpi >= 24 && dpi <= 960)
                return static_cast<int>(std::lround(dpi / scale));
        }
        const int number = GDK_SCREEN_XNUMBER(screen);
        const double pixels = vertical ? DisplayHeight(display, number) : DisplayWidth(display, number);
        const double mm = vertical ? DisplayHeightMM(display, number) : DisplayWidthMM(display, number);
        if (mm > 0) {
            const double dpi = pixels * 25.4 / mm;
            if (dpi >= 24 && dpi <= 960)
                return static_cast<int>(std::lround(dpi / scale));
        }
    }
    return 96;
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
        return Dpi{ReadDpi(false), ReadDpi(true)};
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
