#pragma once

#include "imaging/ArgbBitmap.h"
#include "imaging/PictureProbe.h"

#include <filesystem>
#include <string_view>

namespace imaging {

// The first frame of a GIF drawn on its logical screen, as a viewer shows
// it before the animation moves on: transparent where the frame does not
// cover the screen or has its transparent colour. Only the
// first frame's data is read and decoded, so a small frame on a large screen
// costs little more than filling the screen. On failure an empty bitmap
// whose status says why.
ArgbBitmap DecodeGifStill(const std::filesystem::path& path, const PictureInfo& info);

// The same still written straight to a palette PNG at path, with only the
// first frame decoded into memory (1 byte a pixel): the rest of the screen is
// written as transparent rows, so an empty screen costs no bitmap. False when
// the picture needs DecodeGifStill (its frame uses all 256 colours and leaves
// something transparent, or the data is not a GIF) or an entry exists at
// path; throws ResourceError when the file cannot be written.
bool SaveGifStill(const std::filesystem::path& path, const PictureInfo& info, const std::filesystem::path& still,
                  std::string_view what);

}  // namespace imaging
