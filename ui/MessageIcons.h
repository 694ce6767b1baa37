#pragma once
#include "imaging/ArgbBitmap.h"

#include <string>

namespace ui {

// The embedded icon file stored under name ("program", "error", "question",
// "warning"), its frame chosen for height and scaled to width x height;
// empty when the program has no such icon or it cannot be decoded.
imaging::ArgbBitmap LoadIconResource(const std::string& name, int width, int height);

// Names of the message icons, empty for a type without one.
std::string MessageIconResource(unsigned iconType);
// The desktop theme's icon name standing in for a message icon type.
const char* MessageIconThemeName(unsigned iconType);

// Makes the program's icon the default of every window (GTK's dialogs too).
void InstallProgramIcon();

}  // namespace ui
