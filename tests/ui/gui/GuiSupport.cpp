#include "GuiSupport.h"

#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace guitest {

void Pump(int ms)
{
    const gint64 end = g_get_monotonic_time() + ms * 1000;
    while (g_get_monotonic_time() < end) {
        while (gtk_events_pending())
            gtk_main_iteration();
        g_usleep(5000);
    }
}

void WhileRunning(std::function<bool()> step)
{
    auto* heap = new std::function<bool()>(std::move(step));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 50,
        [](gpointer data) -> gboolean { return (*static_cast<std::function<bool()>*>(data))() ? FALSE : TRUE; }, heap,
        [](gpointer data) { delete static_cast<std::function<bool()>*>(data); });
}

void SendKey(GtkWidget* window, guint keyval, GdkModifierType modifiers)
{
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    guint16 code = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0)
        code = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
    for (const GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.state = modifiers;
        event->key.hardware_keycode = code;
        gdk_event_set_device(event, keyboard);
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
}

void MovePointer(int x, int y)
{
    GdkDisplay* display = gdk_display_get_default();
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    gdk_device_warp(pointer, gdk_display_get_default_screen(display), x, y);
    gdk_display_flush(display);
}

Screenshot::Screenshot(const std::string& name)
{
    GdkWindow* root = gdk_get_default_root_window();
    m_scale = std::max(1, gdk_window_get_scale_factor(root));
    m_pixbuf = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
    if (const char* folder = std::getenv("TRALVEX_SCREENSHOTS"); folder && m_pixbuf)
        gdk_pixbuf_save(m_pixbuf, (std::string(folder) + "/" + name + ".png").c_str(), "png", nullptr, nullptr);
}

Screenshot::~Screenshot()
{
    if (m_pixbuf)
        g_object_unref(m_pixbuf);
}

std::uint32_t Screenshot::At(int x, int y) const
{
    // The image has device pixels; positions are GTK's.
    x *= m_scale;
    y *= m_scale;
    if (!m_pixbuf || x < 0 || y < 0 || x >= gdk_pixbuf_get_width(m_pixbuf) || y >= gdk_pixbuf_get_height(m_pixbuf))
        return 0xFF000000;
    const guchar* p = gdk_pixbuf_get_pixels(m_pixbuf) + y * gdk_pixbuf_get_rowstride(m_pixbuf)
                      + x * gdk_pixbuf_get_n_channels(m_pixbuf);
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

namespace {

bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return (a & 0xFF000000) == 0;
}

}  // namespace

int Screenshot::Count(int left, int top, int right, int bottom, std::uint32_t rgb, int tolerance) const
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += Near(At(x, y), rgb, tolerance) ? 1 : 0;
    return count;
}

int Screenshot::LongestRun(int left, int top, int right, int bottom, std::uint32_t rgb, int tolerance) const
{
    int best = 0;
    for (int y = top; y < bottom; ++y) {
        int run = 0;
        for (int x = left; x < right; ++x) {
            run = Near(At(x, y), rgb, tolerance) ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

GdkPoint ScreenOrigin(GtkWidget* widget)
{
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, top, 0, 0, &x, &y);
    int ox = 0;
    int oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    return {ox + x, oy + y};
}

bool HasWindowIcon(GtkWidget* window)
{
    GdkWindow* gdkWindow = gtk_widget_get_window(gtk_widget_get_toplevel(window));
    if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow))
        return false;
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, GDK_WINDOW_XID(gdkWindow), XInternAtom(display, "_NET_WM_ICON", False),
                                          0, 2, False, AnyPropertyType, &type, &format, &items, &left, &data);
    const bool has = status == Success && items == 2 && data != nullptr
                     && reinterpret_cast<unsigned long*>(data)[0] > 0;
    if (data)
        XFree(data);
    return has;
}

std::vector<GtkWidget*> ShownWindows(GType type)
{
    std::vector<GtkWidget*> shown;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (G_TYPE_CHECK_INSTANCE_TYPE(w->data, type) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            shown.push_back(GTK_WIDGET(w->data));
    g_list_free(windows);
    return shown;
}

std::string AccessibleTree()
{
    gchar* file = nullptr;
    const int fd = g_file_open_tmp("tralvex-atspi-XXXXXX", &file, nullptr);
    if (fd < 0)
        return {};
    close(fd);
    const std::string script = std::string(TRALVEX_SOURCE_DIR) + "/tests/ui/gui/atspi_tree.py";
    const std::string pid = std::to_string(getpid());
    const gchar* argv[] = {TRALVEX_SYSTEM_PYTHON, script.c_str(), pid.c_str(), file, nullptr};
    GPid child = 0;
    static bool done;  // outlives a child that does not end in time
    done = false;
    if (g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                      G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &child, nullptr)) {
        g_child_watch_add(
            child, [](GPid p, gint, gpointer flag) { *static_cast<bool*>(flag) = true; g_spawn_close_pid(p); },
            &done);
        const gint64 end = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
        while (!done && g_get_monotonic_time() < end)
            Pump(50);
    }
    gchar* contents = nullptr;
    std::string tree;
    if (done && g_file_get_contents(file, &contents, nullptr, nullptr))
        tree = contents;
    g_free(contents);
    g_unlink(file);
    g_free(file);
    return tree;
}

int ExpectedDpi()
{
    const char* dpi = std::getenv("TRALVEX_TEST_DPI");
    return dpi ? std::atoi(dpi) : 96;
}

int ExpectedScale()
{
    const char* scale = std::getenv("TRALVEX_TEST_SCALE");
    return scale && std::atoi(scale) > 0 ? std::atoi(scale) : 1;
}

}  // namespace guitest
