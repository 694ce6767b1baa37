#pragma once
#include "imaging/ArgbBitmap.h"

#include <string>

namespace ui {

// The embedded icon file stored under name (an icon resource number), its
// frame chosen for and scaled to size x size; empty when the program has no
// such icon or it cannot be decoded.
imaging::ArgbBitmap LoadIconResource(const std::string& name, int size);

// Resource numbers of the message icons, empty for a type without one.
std::string MessageIconResource(unsigned iconType);
// The desktop theme's icon name standing in for a message icon type.
const char* MessageIconThemeName(unsigned iconType);

}  // namespace ui
