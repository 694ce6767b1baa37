#pragma once

// Header readers behind ProbePicture, one per format. Internal to imaging.

#include "imaging/PictureProbe.h"

#include <cstddef>
#include <cstdint>
#include <variant>

namespace imaging::detail {

// Random access to the bytes of a picture.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const noexcept = 0;
    // Exactly n bytes at offset; false when fewer exist or reading fails.
    virtual bool Read(std::uint64_t offset, void* out, std::size_t n) noexcept = 0;
};

using HeaderResult = std::variant<PictureInfo, PictureFault>;

HeaderResult ReadPngHeader(ByteSource& source) noexcept;
HeaderResult ReadJpegHeader(ByteSource& source) noexcept;
HeaderResult ReadGifHeader(ByteSource& source) noexcept;
HeaderResult ReadBmpHeader(ByteSource& source) noexcept;
HeaderResult ReadTiffHeader(ByteSource& source) noexcept;
HeaderResult ReadWebPHeader(ByteSource& source) noexcept;

inline std::uint32_t Be16(const unsigned char* p) noexcept { return std::uint32_t(p[0]) << 8 | p[1]; }
inline std::uint32_t Be32(const unsigned char* p) noexcept { return Be16(p) << 16 | Be16(p + 2); }
inline std::uint32_t Le16(const unsigned char* p) noexcept { return std::uint32_t(p[1]) << 8 | p[0]; }
inline std::uint32_t Le32(const unsigned char* p) noexcept { return Le16(p + 2) << 16 | Le16(p); }

// True when width x height is within the pixel cap.
bool PixelCountAllowed(std::int64_t width, std::int64_t height) noexcept;

}  // namespace imaging::detail
