#include "imaging/PictureHeaders.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace imaging::detail {

namespace {

constexpr double kInchesPerMetre = 0.0254;
constexpr double kCentimetresPerInch = 2.54;

HeaderResult Sized(PictureInfo info) noexcept
{
    if (info.width <= 0 || info.height <= 0)
        return PictureFault::Malformed;
    return info;
}

bool IsJpegFrameMarker(unsigned marker) noexcept
{
    // Baseline, extended, progressive, and their arithmetic-coded forms: what
    // the JPEG decoder reads. Lossless and hierarchical frames it does not.
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

bool IsOtherJpegFrameMarker(unsigned marker) noexcept
{
    return marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC && !IsJpegFrameMarker(marker);
}

// The entropy-coded data ends with EOI; inside it 0xFF is always followed by
// 0x00 or a restart marker, so an EOI near the end means the file is whole.
// Read backwards in small pieces into a buffer of its own: a probe that
// needed memory could refuse a good picture when memory runs short.
bool EndsWithEndOfImage(ByteSource& source, std::uint64_t scanStart) noexcept
{
    constexpr std::uint64_t kTail = 65536;
    const std::uint64_t size = source.Size();
    const std::uint64_t from = std::max(scanStart, size > kTail ? size - kTail : 0);
    if (size - from < 2)
        return false;
    unsigned char piece[4096];
    int next = -1;  // the byte after the piece, read with the piece before
    for (std::uint64_t end = size; end > from;) {
        const std::uint64_t start = std::max(from, end - std::min<std::uint64_t>(end, sizeof piece));
        const auto length = static_cast<std::size_t>(end - start);
        if (!source.Read(start, piece, length))
            return false;
        if (piece[length - 1] == 0xFF && next == 0xD9)
            return true;
        for (std::size_t i = length - 1; i > 0; --i)
            if (piece[i - 1] == 0xFF && piece[i] == 0xD9)
                return true;
        next = piece[0];
        end = start;
    }
    return false;
}

}  // namespace

HeaderResult ReadPngHeader(ByteSource& source) noexcept
{
    unsigned char ihdr[8 + 13];
    if (!source.Read(8, ihdr, sizeof ihdr))
        return PictureFault::Truncated;
    if (Be32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0)
        return PictureFault::Malformed;
    const std::uint32_t width = Be32(ihdr + 8), height = Be32(ihdr + 12);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return PictureFault::Malformed;
    // No pixel cap here: a PNG is stored as it is, and a caller that decodes
    // it has the cap applied by ProbePicture.
    PictureInfo info;
    info.format = PictureFormat::Png;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);

    // Every chunk up to IEND must be there: a cut file is refused here.
    bool sawData = false;
    std::uint64_t pos = 8;
    for (;;) {
        unsigned char chunk[8];
        if (!source.Read(pos, chunk, sizeof chunk))
            return PictureFault::Truncated;
        const std::uint32_t length = Be32(chunk);
        if (length > 0x7FFFFFFFu)
            return PictureFault::Malformed;
        const std::uint64_t end = pos + 12 + length;
        if (end > source.Size())
            return PictureFault::Truncated;
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0)
            sawData = true;
        else if (std::memcmp(chunk + 4, "IEND", 4) == 0)
            return sawData ? HeaderResult(info) : HeaderResult(PictureFault::Malformed);
        else if (std::memcmp(chunk + 4, "pHYs", 4) == 0 && length == 9) {
            unsigned char phys[9];
            if (!source.Read(pos + 8, phys, sizeof phys))
                return PictureFault::Truncated;
            if (phys[8] == 1) {
                info.dpiX = Be32(phys) * kInchesPerMetre;
                info.dpiY = Be32(phys + 4) * kInchesPerMetre;
            }
        }
        pos = end;
    }
}

HeaderResult ReadJpegHeader(ByteSource& source) noexcept
{
    PictureInfo info;
    info.format = PictureFormat::Jpeg;
    bool sawFrame = false;
    constexpr unsigned kMaxStrayBytes = 65536;
    unsigned strayBytes = 0;
    std::uint64_t pos = 2;
    for (;;) {
        unsigned char mark[2];
        if (!source.Read(pos, mark, 2))
            return PictureFault::Truncated;
        if (mark[0] != 0xFF) {
            // Stray bytes between segments: the decoder skips them with a
            // warning, and so do we, within reason.
            if (++strayBytes > kMaxStrayBytes)
                return PictureFault::Malformed;
            ++pos;
            continue;
        }
        const unsigned marker = mark[1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        pos += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (marker == 0xD8 || marker == 0xD9)
            return PictureFault::Malformed;
        unsigned char lengthBytes[2];
        if (!source.Read(pos, lengthBytes, 2))
            return PictureFault::Truncated;
        const std::uint32_t length = Be16(lengthBytes);
        if (length < 2)
            return PictureFault::Malformed;
        if (pos + length > source.Size())
            return PictureFault::Truncated;
        if (IsJpegFrameMarker(marker)) {
            unsigned char frame[6];
            if (length < 8 || !source.Read(pos + 2, frame, sizeof frame))
                return PictureFault::Malformed;
            info.height = static_cast<int>(Be16(frame + 1));
            info.width = static_cast<int>(Be16(frame + 3));
            if (info.width == 0 || info.height == 0)
                return PictureFault::Malformed;
            sawFrame = true;
        } else if (IsOtherJpegFrameMarker(marker)) {
            return PictureFault::UnknownFormat;
        } else if (marker == 0xE0 && length >= 16 && !sawFrame) {
            unsigned char jfif[14];
            if (source.Read(pos + 2, jfif, sizeof jfif) && std::memcmp(jfif, "JFIF\0", 5) == 0) {
                const unsigned units = jfif[7];
                const double factor = units == 1 ? 1.0 : units == 2 ? kCentimetresPerInch
                                                                    : 0.0;
                info.dpiX = Be16(jfif + 8) * factor;
                info.dpiY = Be16(jfif + 10) * factor;
            }
        } else if (marker == 0xDA) {
            if (!sawFrame)
                return PictureFault::Malformed;
            return EndsWithEndOfImage(source, pos + length) ? HeaderResult(info)
                                                            : HeaderResult(PictureFault::Truncated);
        }
        pos += length;
    }
}

HeaderResult ReadBmpHeader(ByteSource& source) noexcept
{
    unsigned char header[14 + 40];
    if (!source.Read(0, header, 18))
        return PictureFault::Truncated;
    const std::uint32_t dataOffset = Le32(header + 10);
    const std::uint32_t infoSize = Le32(header + 14);
    PictureInfo info;
    info.format = PictureFormat::Bmp;
    std::int64_t width = 0, height = 0;
    std::uint32_t bitsPerPixel = 0, compression = 0;
    if (infoSize == 12) {
        if (!source.Read(0, header, 14 + 12))
            return PictureFault::Truncated;
        width = Le16(header + 18);
        height = Le16(header + 20);
        bitsPerPixel = Le16(header + 24);
    } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 || infoSize == 108 || infoSize == 124) {
        if (!source.Read(0, header, sizeof header))
            return PictureFault::Truncated;
        width = static_cast<std::int32_t>(Le32(header + 18));
        height = static_cast<std::int32_t>(Le32(header + 22));
        bitsPerPixel = Le16(header + 28);
        compression = Le32(header + 30);
        const auto ppmX = static_cast<std::int32_t>(Le32(header + 38));
        const auto ppmY = static_cast<std::int32_t>(Le32(header + 42));
        if (ppmX > 0 && ppmY > 0) {
            info.dpiX = ppmX * kInchesPerMetre;
            info.dpiY = ppmY * kInchesPerMetre;
        }
    } else {
        return PictureFault::Malformed;
    }
    height = height < 0 ? -height : height;  // negative: rows stored top-down
    if (width <= 0 || height <= 0)
        return PictureFault::Malformed;
    if (!PixelCountAllowed(width, height))
        return PictureFault::TooLarge;
    const bool depthKnown = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
    const bool plain = compression == 0 || compression == 3 || compression == 6;
    const bool rle = (compression == 1 && bitsPerPixel == 8) || (compression == 2 && bitsPerPixel == 4);
    if (!depthKnown || (!plain && !rle))
        return PictureFault::Malformed;
    if (dataOffset < 14 + infoSize || dataOffset >= source.Size())
        return PictureFault::Truncated;
    if (plain) {
        const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
        if (dataOffset + rowBytes * static_cast<std::uint64_t>(height) > source.Size())
            return PictureFault::Truncated;
    }
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    return info;
}

HeaderResult ReadWebPHeader(ByteSource& source) noexcept
{
    unsigned char header[30] = {};
    if (!source.Read(0, header, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof header, source.Size()))))
        return PictureFault::Unreadable;
    // Lossless images have the shortest header: 5 bytes after the chunk's.
    if (source.Size() < 25)
        return PictureFault::Truncated;
    const std::uint64_t end = 8 + static_cast<std::uint64_t>(Le32(header + 4));
    if (end > source.Size())
        return PictureFault::Truncated;
    PictureInfo info;
    info.format = PictureFormat::WebP;
    const unsigned char* chunk = header + 12;
    const unsigned char* data = header + 20;
    const bool shortHeader = source.Size() < sizeof header;
    if (std::memcmp(chunk, "VP8 ", 4) == 0) {
        if (shortHeader)
            return PictureFault::Truncated;
        if ((data[0] & 1) != 0 || data[3] != 0x9D || data[4] != 0x01 || data[5] != 0x2A)
            return PictureFault::Malformed;  // not a key frame
        info.width = static_cast<int>(Le16(data + 6) & 0x3FFF);
        info.height = static_cast<int>(Le16(data + 8) & 0x3FFF);
    } else if (std::memcmp(chunk, "VP8L", 4) == 0) {
        if (data[0] != 0x2F)
            return PictureFault::Malformed;
        const std::uint32_t bits = Le32(data + 1);
        info.width = static_cast<int>((bits & 0x3FFF) + 1);
        info.height = static_cast<int>(((bits >> 14) & 0x3FFF) + 1);
    } else if (std::memcmp(chunk, "VP8X", 4) == 0) {
        if (shortHeader)
            return PictureFault::Truncated;
        auto le24 = [](const unsigned char* p) { return std::uint32_t(p[2]) << 16 | Le16(p); };
        info.width = static_cast<int>(le24(data + 4) + 1);
        info.height = static_cast<int>(le24(data + 7) + 1);
    } else {
        return PictureFault::Malformed;
    }
    if (info.width > 0 && info.height > 0 && !PixelCountAllowed(info.width, info.height))
        return PictureFault::TooLarge;

    // Every chunk must lie inside the file; animation frames are counted.
    int frames = 0;
    for (std::uint64_t pos = 12; pos < end;) {
        unsigned char head[8];
        if (end - pos < 8 || !source.Read(pos, head, sizeof head))
            return PictureFault::Truncated;
        const std::uint64_t next = pos + 8 + Le32(head + 4) + (Le32(head + 4) & 1);
        if (next > end + 1)  // the last chunk's padding byte may be missing
            return PictureFault::Truncated;
        if (std::memcmp(head, "ANMF", 4) == 0)
            ++frames;
        pos = next;
    }
    if (frames > 1) {
        info.frameCount = frames;
        info.animated = true;
    }
    return Sized(info);
}

}  // namespace imaging::detail
