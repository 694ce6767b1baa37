#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace imaging {

// The picture formats a slide can hold. TIFF and WebP are accepted and stored
// as PNG by the presentation engine.
enum class PictureFormat { Png,
                           Jpeg,
                           Gif,
                           Bmp,
                           Tiff,
                           WebP };

// What a picture's header says, learnt without decoding any pixels.
struct PictureInfo {
    PictureFormat format = PictureFormat::Png;
    int width = 0;  // pixels; for GIF the logical screen
    int height = 0;
    // Dots per inch from the header; 0 when the header carries none.
    double dpiX = 0;
    double dpiY = 0;
    // Images in time: more than one only for an animated GIF.
    int frameCount = 1;
    bool animated = false;
};

// Why a picture was refused.
enum class PictureFault {
    Unreadable,  // missing, not a regular file, or a read error
    Empty,
    UnknownFormat,  // not one of PictureFormat (ICO, PSD, PCX, ... included)
    Truncated,  // the file ends before its image data does
    Malformed,  // inconsistent header; a GIF with a 0 x 0 screen or a frame outside it
    TooLarge,  // over kMaxImagePixels or kMaxImageSide
};

// Whether a picture over kMaxImagePixels is refused: it is where its pixels
// are to be decoded; a picture stored as it is (PNG, JPEG, a still GIF) is
// not decoded, and its size is only read from its header.
enum class PixelCap { Applied,
                      NotApplied };

// Checks a picture before any decoder sees it: format by magic bytes, size
// from the header, and that the file is complete. Returns nothing when the
// picture is refused, with the reason in *fault when given. Never throws and
// never writes to standard error. Reads the header blocks only (for GIF, the
// block structure without the image data; for JPEG, the markers and the
// end of the file).
std::optional<PictureInfo> ProbePicture(const std::filesystem::path& file, PictureFault* fault = nullptr,
                                        PixelCap cap = PixelCap::Applied) noexcept;
std::optional<PictureInfo> ProbePicture(std::span<const unsigned char> bytes, PictureFault* fault = nullptr,
                                        PixelCap cap = PixelCap::Applied) noexcept;

}  // namespace imaging
