#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace imaging {

// A source rectangle in pixels.
struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// Redraws an image file into a new 32-bit image and saves it.
class CImageResampler {
public:
    virtual ~CImageResampler() = default;

    // Draws the first frame of source (or the part of it in sourceRect) into a
    // width x height image and saves it to destination. A negative width or
    // height mirrors the source that way; 0 x 0 keeps the source size, which
    // copies pixels exactly (nearest neighbour); any other size is bicubic.
    // The encoder comes from format, or from destination's extension when
    // format is empty. quality is the JPEG quality (0 means 100 for "jpg").
    // Returns false when no encoder matches, the source cannot be loaded or
    // the size or rectangle is unusable. Throws ResourceError when memory
    // runs out or the destination cannot be written.
    bool Resample(const std::filesystem::path& destination, const std::filesystem::path& source,
                  int width, int height, long quality, std::optional<RectF> sourceRect,
                  std::string_view format) const;
};

}  // namespace imaging
