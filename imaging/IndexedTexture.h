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
    // How every tinted PNG of it ends: the image data chunks (the index rows,
    // each with the filter that suits it, compressed) and the end chunk.
    std::string_view PngTail() const { return storedTail.empty() ? std::string_view(ownTail) : storedTail; }

    std::string ownTail;
    std::string_view storedTail;  // in stored bytes that outlive it, or empty
};

// The bitmap's indexed form, or nothing when it is empty or has more than
// 256 colours.
std::optional<IndexedTexture> IndexTexture(const ArgbBitmap& bitmap);

// The stored form of an indexed texture, and back: nothing when the bytes are
// not one whole (the build stores an empty file for a texture that has no
// indexed form). The tail is not copied: the bytes must outlive the result,
// as the program's built-in ones do.
std::string StoreIndexedTexture(const IndexedTexture& texture);
std::optional<IndexedTexture> LoadIndexedTexture(std::span<const unsigned char> bytes);

}  // namespace imaging
