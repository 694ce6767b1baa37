#pragma once

#include "imaging/ArgbBitmap.h"
#include "imaging/PictureProbe.h"

#include <filesystem>

namespace imaging {

// The first frame of a GIF drawn on its logical screen, as a viewer shows
// it before the animation moves on: transparent where the frame does not
// cover the screen or has its transparent colour. Only the
// first frame's data is read and decoded, so a small frame on a large screen
// costs little more than filling the screen. On failure an empty bitmap
// whose status says why.
ArgbBitmap DecodeGifStill(const std::filesystem::path& path, const PictureInfo& info);

}  // namespace imaging
