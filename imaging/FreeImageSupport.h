#pragma once

// Reading a picture file and decoding it with FreeImage. Both throw
// (detail::ImageFailure with the status, std::bad_alloc when memory runs
// out); ImageFailure.h turns that into what the public functions report.
// Internal to the imaging library.

#include "imaging/ArgbBitmap.h"
#include "imaging/FreeImageCpp.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace imaging::detail {

// Largest file read into memory for decoding.
inline constexpr std::uintmax_t kMaxImageFileBytes = 512ULL * 1024 * 1024;

// The whole file. Throws ImageFailure FileNotFound when it is missing,
// Win32Error when it cannot be read, ValueOverflow when it is larger than
// kMaxImageFileBytes.
std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path);

// Decodes the first frame of an encoded image held in memory. Only what
// ProbePicture accepts reaches a decoder (the slide formats, complete, within
// the pixel cap); anything else throws ImageFailure UnknownImageFormat or
// ValueOverflow. A GIF gives its first frame drawn on its logical screen.
ArgbBitmap DecodeImage(std::span<const unsigned char> bytes);

// Between the program's bitmaps and FreeImage's, whose rows run bottom up.
// ToArgb takes any FreeImage type and gives 32 bits with alpha; both throw
// std::runtime_error.
freeimagecpp::CFreeImageBitmap ToFreeImage(const ArgbBitmap& bitmap);
ArgbBitmap ToArgb(const freeimagecpp::CFreeImageBitmap& bitmap);

}  // namespace imaging::detail
