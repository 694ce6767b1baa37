#pragma once

#include <cstddef>
#include <span>

namespace ui {

// The PNG image of an ICO file (as the icon generator writes them) best suited
// to show at `size` pixels: the smallest image at least that large, else the
// largest. Empty when the file is malformed or holds no PNG image. GdkPixbuf's
// own ICO loader does not read PNG images, so callers hand it this one.
std::span<const unsigned char> IconImage(std::span<const unsigned char> ico, int size);

}  // namespace ui
