#pragma once
// Helpers of the tests that show real windows (under Xvfb).
#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace guitest {

// Runs the main loop for about ms milliseconds.
void Pump(int ms);
// Calls step every 50 ms from the main loop that is running (a modal
// loop, for instance) until it returns true.
void WhileRunning(std::function<bool()> step);
// A synthetic key press and release sent to the window's focus.
void SendKey(GtkWidget* window, guint keyval, GdkModifierType modifiers = GdkModifierType(0));
// Moves the pointer to screen coordinates.
void MovePointer(int x, int y);

// The screen as 0xRRGGBB pixels at GTK's positions (one device pixel of
// each on a scaled screen); saved as name.png in the folder that
// TRALVEX_SCREENSHOTS names, when it is set.
class Screenshot {
public:
    explicit Screenshot(const std::string& name);
    ~Screenshot();
    Screenshot(const Screenshot&) = delete;
    Screenshot& operator=(const Screenshot&) = delete;
    std::uint32_t At(int x, int y) const;
    // Pixels within tolerance of colour in the rectangle.
    int Count(int left, int top, int right, int bottom, std::uint32_t rgb, int tolerance = 0) const;
    // Longest horizontal run of such pixels in one row of the rectangle.
    int LongestRun(int left, int top, int right, int bottom, std::uint32_t rgb, int tolerance = 0) const;

private:
    GdkPixbuf* m_pixbuf;
    int m_scale = 1;
};

// The screen position of a widget's top-left corner.
GdkPoint ScreenOrigin(GtkWidget* widget);
// Whether the window manager sees an icon on the widget's window
// (_NET_WM_ICON, what task switchers show).
bool HasWindowIcon(GtkWidget* window);
// The mapped top-level windows that are of the given type.
std::vector<GtkWidget*> ShownWindows(GType type);

// The accessible tree of this process as a screen reader reads it through
// at-spi2 (tests/ui/gui/atspi_tree.py: "role|name|actions|text" lines),
// read while the main loop keeps running; empty when at-spi2 is not up.
std::string AccessibleTree();

// Expected dots per inch of the display the tests run on (TRALVEX_TEST_DPI).
int ExpectedDpi();
// Expected device pixels per pixel (TRALVEX_TEST_SCALE, as GDK_SCALE).
int ExpectedScale();

}  // namespace guitest
