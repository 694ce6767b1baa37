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

// Decodes the first frame of an encoded image held in memory. Only what
// ProbePicture accepts reaches a decoder (the slide formats, complete, within
// the pixel cap); anything else gives an empty bitmap. A GIF gives its first
// frame drawn on its logical screen.
ArgbBitmap DecodeImage(std::span<const unsigned char> bytes) noexcept;

// The bitmap as a 32-bit FreeImage bitmap (bottom-up scan lines), or null.
FreeImagePtr ToFreeImage(const ArgbBitmap& bitmap) noexcept;

}  // namespace imaging::detail
