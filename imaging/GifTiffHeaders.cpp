#include "imaging/PictureHeaders.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>
#include <limits>

namespace imaging::detail {

namespace {

// Skips a chain of GIF data sub-blocks; the offset just past the terminating
// empty block, or nothing when the file ends first.
std::optional<std::uint64_t> SkipSubBlocks(ByteSource& source, std::uint64_t pos) noexcept
{
    for (;;) {
        unsigned char length = 0;
        if (!source.Read(pos, &length, 1))
            return std::nullopt;
        pos += 1 + std::uint64_t{length};
        if (length == 0)
            return pos;
    }
}

class TiffReader {
public:
    TiffReader(ByteSource& source, bool bigEndian) noexcept : source_(source), bigEndian_(bigEndian) {}

    bool U16(std::uint64_t at, std::uint32_t& value) noexcept
    {
        unsigned char b[2];
        if (!source_.Read(at, b, 2))
            return false;
        value = bigEndian_ ? Be16(b) : Le16(b);
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t& value) noexcept
    {
        unsigned char b[4];
        if (!source_.Read(at, b, 4))
            return false;
        value = bigEndian_ ? Be32(b) : Le32(b);
        return true;
    }

    // Value i of an entry of SHORT (3) or LONG (4) values, inline or at its offset.
    bool Value(std::uint64_t entry, std::uint32_t type, std::uint32_t count, std::uint32_t i,
               std::uint32_t& value) noexcept
    {
        const unsigned size = type == 3 ? 2 : type == 4 ? 4
                                                        : 0;
        if (size == 0 || i >= count)
            return false;
        std::uint64_t at = entry + 8;
        if (std::uint64_t{count} * size > 4) {
            std::uint32_t offset = 0;
            if (!U32(entry + 8, offset))
                return false;
            at = offset;
        }
        at += std::uint64_t{i} * size;
        return size == 2 ? U16(at, value) : U32(at, value);
    }

    // Every value of an entry of SHORT or LONG values, read in one pass.
    template <class Entry>
    bool Values(const Entry& entry, std::vector<std::uint32_t>& values) noexcept
    {
        const unsigned size = entry.type == 3 ? 2 : entry.type == 4 ? 4
                                                                    : 0;
        if (size == 0)
            return false;
        std::uint64_t at = entry.at + 8;
        if (std::uint64_t{entry.count} * size > 4) {
            std::uint32_t offset = 0;
            if (!U32(entry.at + 8, offset))
                return false;
            at = offset;
        }
        try {
            std::vector<unsigned char> raw(std::size_t{entry.count} * size);
            if (!source_.Read(at, raw.data(), raw.size()))
                return false;
            values.resize(entry.count);
            for (std::size_t i = 0; i < values.size(); ++i) {
                const unsigned char* p = raw.data() + i * size;
                values[i] = size == 2 ? (bigEndian_ ? Be16(p) : Le16(p)) : (bigEndian_ ? Be32(p) : Le32(p));
            }
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    // A RATIONAL at the entry's offset, as a double; 0 when unusable.
    double Rational(std::uint64_t entry) noexcept
    {
        std::uint32_t offset = 0, numerator = 0, denominator = 0;
        if (!U32(entry + 8, offset) || !U32(offset, numerator) || !U32(std::uint64_t{offset} + 4, denominator) || denominator == 0)
            return 0;
        return static_cast<double>(numerator) / denominator;
    }

private:
    ByteSource& source_;
    bool bigEndian_;
};

struct TiffEntry {
    std::uint64_t at = 0;
    std::uint32_t type = 0;
    std::uint32_t count = 0;
};

}  // namespace

HeaderResult ReadGifHeader(ByteSource& source) noexcept
{
    unsigned char screen[13];
    if (!source.Read(0, screen, sizeof screen))
        return PictureFault::Truncated;
    PictureInfo info;
    info.format = PictureFormat::Gif;
    info.width = static_cast<int>(Le16(screen + 6));
    info.height = static_cast<int>(Le16(screen + 8));
    // No screen to draw on: refused, by the engine and the still maker alike.
    if (info.width == 0 || info.height == 0)
        return PictureFault::Malformed;
    std::uint64_t pos = 13;
    if (screen[10] & 0x80u)
        pos += 3u * (2u << (screen[10] & 7u));
    int frames = 0;
    for (;;) {
        unsigned char introducer = 0;
        if (!source.Read(pos, &introducer, 1))
            return PictureFault::Truncated;
        if (introducer == 0x3B)
            break;
        if (introducer == 0x21) {
            const auto next = SkipSubBlocks(source, pos + 2);
            if (!next)
                return PictureFault::Truncated;
            pos = *next;
            continue;
        }
        if (introducer != 0x2C)
            return PictureFault::Malformed;
        unsigned char descriptor[10];
        if (!source.Read(pos + 1, descriptor, sizeof descriptor))
            return PictureFault::Truncated;
        const std::uint32_t left = Le16(descriptor), top = Le16(descriptor + 2);
        const std::uint32_t width = Le16(descriptor + 4), height = Le16(descriptor + 6);
        // A frame outside the logical screen is refused, not clipped.
        if (width == 0 || height == 0 || left + width > static_cast<std::uint32_t>(info.width) || top + height > static_cast<std::uint32_t>(info.height))
            return PictureFault::Malformed;
        std::uint64_t data = pos + 10;
        if (descriptor[8] & 0x80u)
            data += 3u * (2u << (descriptor[8] & 7u));
        unsigned char codeSize = 0;
        if (!source.Read(data, &codeSize, 1))
            return PictureFault::Truncated;
        if (codeSize < 2 || codeSize > 8)
            return PictureFault::Malformed;
        const auto next = SkipSubBlocks(source, data + 1);
        if (!next)
            return PictureFault::Truncated;
        if (frames < std::numeric_limits<int>::max())
            ++frames;
        pos = *next;
    }
    if (frames == 0)
        return PictureFault::Malformed;
    info.frameCount = frames;
    info.animated = frames > 1;
    return info;
}

HeaderResult ReadTiffHeader(ByteSource& source) noexcept
{
    unsigned char head[8];
    if (!source.Read(0, head, sizeof head))
        return PictureFault::Truncated;
    TiffReader tiff(source, head[0] == 'M');
    std::uint32_t ifd = 0, entryCount = 0;
    if (!tiff.U32(4, ifd) || !tiff.U16(ifd, entryCount))
        return PictureFault::Truncated;
    if (entryCount == 0)
        return PictureFault::Malformed;
    if (std::uint64_t{ifd} + 2 + 12ull * entryCount + 4 > source.Size())
        return PictureFault::Truncated;

    TiffEntry width, height, offsets, counts, xResolution, yResolution, unit, samplesPerPixel;
    bool tileTags = false;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::uint64_t at = std::uint64_t{ifd} + 2 + 12ull * i;
        std::uint32_t tag = 0, type = 0, count = 0;
        if (!tiff.U16(at, tag) || !tiff.U16(at + 2, type) || !tiff.U32(at + 4, count))
            return PictureFault::Truncated;
        const TiffEntry entry{at, type, count};
        switch (tag) {
        case 256:
            width = entry;
            break;
        case 257:
            height = entry;
            break;
        case 273:
            offsets = entry;
            break;
        case 324:
            offsets = entry;
            tileTags = true;
            break;
        case 277:
            samplesPerPixel = entry;
            break;
        case 279:
        case 325:
            counts = entry;
            break;
        case 282:
            xResolution = entry;
            break;
        case 283:
            yResolution = entry;
            break;
        case 296:
            unit = entry;
            break;
        default:
            break;
        }
    }
    std::uint32_t w = 0, h = 0;
    if (!tiff.Value(width.at, width.type, width.count, 0, w) || !tiff.Value(height.at, height.type, height.count, 0, h) || w == 0 || h == 0)
        return PictureFault::Malformed;
    if (!PixelCountAllowed(w, h))
        return PictureFault::TooLarge;

    // Every strip or tile must lie inside the file. There are no more of
    // them than rows (strips) or 16 x 16 blocks (tiles), planes counted, and
    // each table is read in one pass: a hostile count costs one read.
    const bool tiles = tileTags;
    std::uint32_t samples = 1;
    if (samplesPerPixel.count > 0)
        tiff.Value(samplesPerPixel.at, samplesPerPixel.type, samplesPerPixel.count, 0, samples);
    samples = std::clamp<std::uint32_t>(samples, 1, 16);
    const std::uint64_t blocks = tiles ? std::uint64_t{(w + 15) / 16} * ((h + 15) / 16) : std::uint64_t{h};
    if (offsets.count == 0 || offsets.count != counts.count || offsets.count > blocks * samples || offsets.count > source.Size())
        return PictureFault::Malformed;
    std::vector<std::uint32_t> starts, lengths;
    if (!tiff.Values(offsets, starts) || !tiff.Values(counts, lengths))
        return PictureFault::Truncated;
    for (std::uint32_t i = 0; i < offsets.count; ++i)
        if (std::uint64_t{starts[i]} + lengths[i] > source.Size())
            return PictureFault::Truncated;

    PictureInfo info;
    info.format = PictureFormat::Tiff;
    info.width = static_cast<int>(w);
    info.height = static_cast<int>(h);
    std::uint32_t resolutionUnit = 2;  // inches when the tag is absent
    if (unit.count > 0)
        tiff.Value(unit.at, unit.type, unit.count, 0, resolutionUnit);
    const double factor = resolutionUnit == 2 ? 1.0 : resolutionUnit == 3 ? 2.54
                                                                          : 0.0;
    if (xResolution.type == 5 && yResolution.type == 5) {
        info.dpiX = tiff.Rational(xResolution.at) * factor;
        info.dpiY = tiff.Rational(yResolution.at) * factor;
    }
    return info;
}

}  // namespace imaging::detail
