#pragma once

// FreeImage handles owned by RAII, and the few conversions the image
// operations share. Internal to the imaging library.

#include "imaging/ArgbBitmap.h"

#include <FreeImage.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace imaging::detail {

struct FreeImageUnloader {
    void operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }
};
using FreeImagePtr = std::unique_ptr<FIBITMAP, FreeImageUnloader>;

struct FreeImageMemoryCloser {
    void operator()(FIMEMORY* memory) const noexcept { FreeImage_CloseMemory(memory); }
};
using FreeImageMemoryPtr = std::unique_ptr<FIMEMORY, FreeImageMemoryCloser>;

// Largest file read into memory for decoding.
inline constexpr std::uintmax_t kMaxImageFileBytes = 512ULL * 1024 * 1024;

// The whole file, or nothing (status says why) when it is missing, unreadable
// or larger than kMaxImageFileBytes.
std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path, ImageStatus& status) noexcept;

// Block structure of a GIF file, walked without decoding any pixels.
struct GifLayout {
    bool valid = false;            // a GIF header and at least one complete image
    int screenWidth = 0;
    int screenHeight = 0;
    int completeFrames = 0;        // images whose data ended properly
    bool framesInsideScreen = true;
    bool complete = false;         // the trailer was reached
    std::size_t endOfLastFrame = 0;  // offset just past the last complete image
};
GifLayout WalkGif(std::span<const unsigned char> bytes) noexcept;

// Decodes the first frame of an encoded image held in memory, refusing
// anything but BMP, ICO, JPEG, GIF, PNG and TIFF, and anything larger than
// kMaxImagePixels, before its pixels are allocated.
// With headerOnly, a 1 x 1 bitmap stands for success (GIF: always failure).
ArgbBitmap DecodeImage(std::span<const unsigned char> bytes, bool headerOnly = false) noexcept;

// True when the bytes are an image of an accepted format whose header gives
// an accepted size; no pixels are decoded (except for GIF, whose decoder has
// no header-only mode: there the first frame is decoded).
bool ProbeImage(std::span<const unsigned char> bytes) noexcept;

// The bitmap as a 32-bit FreeImage bitmap (bottom-up scan lines), or null.
FreeImagePtr ToFreeImage(const ArgbBitmap& bitmap) noexcept;

}  // namespace imaging::detail
