#pragma once
// A texture of at most 256 colours as palette indices whose rows are
// compressed once: every tint of it is the same rows with a palette of its
// own. The build stores the built-in textures in this form, so that a run
// neither decodes nor compresses them.

#include "imaging/ArgbBitmap.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace imaging {

struct IndexedTexture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> colours;  // distinct, sorted 0xAARRGGBB
    std::string rows;  // zlib stream of the index rows, as a palette PNG holds it
};

// The bitmap's indexed form, or nothing when it is empty or has more than
// 256 colours.
std::optional<IndexedTexture> IndexTexture(const ArgbBitmap& bitmap);

// The stored form of an indexed texture, and back: nothing when the bytes are
// not one whole (the build stores an empty file for a texture that has no
// indexed form).
std::string StoreIndexedTexture(const IndexedTexture& texture);
std::optional<IndexedTexture> LoadIndexedTexture(std::span<const unsigned char> bytes);

}  // namespace imaging
