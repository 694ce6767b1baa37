#pragma once
#include "ui/Geometry.h"

#include <string>

namespace ui {

// The desktop is opened only where a window may be shown, and only once:
// GTK is initialised on the first call when a display can be opened.
// Without one every later call answers false as well, and the console
// texts stand in for the windows.
bool OpenDesktop();

// The screen's logical resolution, read once after the desktop is open:
// GTK's own (gtk-xft-dpi: the desktop's setting or the Xft.dpi resource),
// else 96, so that the program's windows scale with GTK's.
const Dpi& ScreenDpi();

// "Segoe UI" when that family is installed, else "Arial", else the
// desktop's own font family.
const std::string& UiFontFace();

}  // namespace ui
