#pragma once

#include "imaging/ArgbBitmap.h"

#include <filesystem>
#include <span>
#include <string_view>

namespace imaging {

// The image encoders the program can write with, in the order they are
// searched (the order of the platform's encoder list).
enum class EncoderId { Bmp,
                       Jpeg,
                       Gif,
                       Tiff,
                       Png };

struct ImageEncoderInfo {
    EncoderId id;
    std::string_view formatDescription;  // "PNG"
    std::string_view filenameExtension;  // "*.PNG"
    std::string_view mimeType;  // "image/png"
};

// Every encoder, in search order.
std::span<const ImageEncoderInfo> GetImageEncoders() noexcept;

// The encoder for a file extension such as "png" (without the dot): the first
// encoder whose extension list contains "*." + extension, compared without
// case, so "jp" finds JPEG through "*.JPG". Returns its index and stores its
// id in *clsid (when given), or returns -1.
int FindEncoderClsid(std::string_view extension, EncoderId* clsid) noexcept;

// Writes the bitmap with an encoder, replacing any file at path. quality
// applies to JPEG (0..100, as the platform's quality parameter); other
// encoders ignore it. Returns Ok, or InvalidParameter for an empty bitmap.
// Throws ResourceError, leaving no file, when memory runs out or the file
// cannot be written; what names the file in its reason ("picture file
// <name>" when empty).
ImageStatus SaveBitmap(const ArgbBitmap& bitmap, const std::filesystem::path& path,
                       EncoderId encoder, long quality, std::string_view what = {});

// Number of frames of an image in time: more than one only for an animated
// GIF or WebP; 0 when ProbePicture refuses the file.
int GetTimeFrameCount(const std::filesystem::path& path) noexcept;

// True when the image has more than one frame in time; false also when the
// file cannot be loaded.
bool IsAnimatedImage(const std::filesystem::path& path) noexcept;

}  // namespace imaging
