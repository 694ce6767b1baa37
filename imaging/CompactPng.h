#pragma once

#include "imaging/ArgbBitmap.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace imaging {

// zlib level of the tinted textures. bench_tint: level 9 saves another 1 % over
// level 6 for four times the time; level 1 is 10 % larger.
inline constexpr int kCompactPngLevel = 6;

// Writes the bitmap as the smallest of the lossless PNG forms that hold it:
// an 8-bit palette (with transparency only when needed) when it has at most
// 256 colours, as tinted grayscale textures do; else RGB when it is opaque,
// else RGBA. Creates the file exclusively: false, leaving no file, when an
// entry exists at path or the bitmap is empty. Throws ResourceError when
// memory runs out or the file cannot be written; what names the file in its
// reason ("a background texture"; "picture file <name>" when empty).
// The distinct colours of pixels, sorted, or nothing when there are more
// than 256: the palette of an 8-bit PNG that holds them.
std::optional<std::vector<std::uint32_t>> DistinctColours(std::span<const std::uint32_t> pixels);

// Each pixel's position in colours (sorted, holding every one of them),
// written to indices.
void IndexPixels(std::span<const std::uint32_t> pixels, std::span<const std::uint32_t> colours, std::uint8_t* indices);

bool SaveCompactPng(const ArgbBitmap& bitmap, const std::filesystem::path& path,
                    int level = kCompactPngLevel, std::string_view what = {});

}  // namespace imaging
