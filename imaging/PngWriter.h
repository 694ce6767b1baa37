#pragma once
// PNG files written straight from pixels with zlib, row by row: no second
// copy of the image is made, and the resolution goes into the file.

#include "imaging/ArgbBitmap.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace imaging {

// Writes the bitmap as an RGB PNG when it is opaque, else as RGBA, with its
// resolution in dots per inch (none written when 0). Creates the file
// exclusively: false, leaving no file, when an entry exists at path or the
// bitmap is empty. Throws ResourceError when memory runs out or the file
// cannot be written; what names the file in its reason.
bool SavePng(const ArgbBitmap& bitmap, const std::filesystem::path& path, int level, double dpiX, double dpiY,
             std::string_view what);

// Writes an 8-bit palette PNG (0xAARRGGBB colours, at most 256) whose row y
// of indices rowOf fills (width bytes), exclusively as SavePng does.
bool SavePalettePng(const std::filesystem::path& path, int width, int height, std::span<const std::uint32_t> palette,
                    double dpiX, double dpiY, const std::function<void(int, std::uint8_t*)>& rowOf, int level,
                    std::string_view what);

// The zlib stream of an 8-bit indexed image's rows (each with the PNG filter
// that suits it), as a palette PNG holds it: compressed once, it serves every
// palette.
std::string CompressIndexRows(int width, int height, std::span<const std::uint8_t> indices, int level);

// A palette PNG (0xAARRGGBB colours, at most 256) of rows compressed by
// CompressIndexRows, in two pieces: what depends on the palette (signature,
// header, PLTE and tRNS), and what does not (the image data and the end),
// which serves every palette of the same rows.
std::string PalettePngHead(int width, int height, std::span<const std::uint32_t> palette);
std::string PalettePngTail(std::string_view compressedRows);

}  // namespace imaging
