#include "imaging/GifStill.h"

#include "imaging/FreeImageSupport.h"
#include "imaging/PictureHeaders.h"

#include <algorithm>
#include <array>
#include <vector>

namespace imaging {

namespace {

class Reader {
public:
    explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    bool Has(std::size_t n) const { return bytes_.size() - pos_ >= n; }
    unsigned char Byte() { return Has(1) ? bytes_[pos_++] : 0; }
    const unsigned char* Take(std::size_t n)
    {
        const unsigned char* at = bytes_.data() + pos_;
        pos_ += n;
        return at;
    }
    bool SkipSubBlocks()
    {
        for (;;) {
            if (!Has(1))
                return false;
            const unsigned length = Byte();
            if (length == 0)
                return true;
            if (!Has(length))
                return false;
            pos_ += length;
        }
    }
    std::size_t Position() const { return pos_; }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t pos_ = 0;
};

using ColourTable = std::array<std::uint32_t, 256>;

void ReadTable(Reader& reader, ColourTable& table, unsigned flags)
{
    const unsigned entries = 2u << (flags & 7u);
    const unsigned char* rgb = reader.Take(3u * entries);
    for (unsigned i = 0; i < entries; ++i)
        table[i] = 0xFF000000u | std::uint32_t(rgb[3 * i]) << 16 | std::uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
}

// Decodes the LZW data of one frame, handing each index to put in order;
// stops at the end code, at the end of the data, or after count indices.
template <class Put>
void DecodeLzw(Reader& reader, unsigned minimumCodeSize, std::size_t count, Put&& put)
{
    const unsigned clear = 1u << minimumCodeSize, end = clear + 1;
    std::vector<std::uint16_t> prefix(4096);
    std::vector<std::uint8_t> suffix(4096), stack(4097);
    unsigned codeSize = minimumCodeSize + 1, next = end + 1, previous = 4096;
    std::uint8_t first = 0;
    std::uint32_t bits = 0;
    unsigned bitCount = 0;
    std::size_t produced = 0;
    for (unsigned i = 0; i < clear; ++i)
        suffix[i] = static_cast<std::uint8_t>(i);
    for (;;) {
        if (!reader.Has(1))
            return;
        const unsigned length = reader.Byte();
        if (length == 0 || !reader.Has(length))
            return;
        const unsigned char* block = reader.Take(length);
        for (unsigned b = 0; b < length; ++b) {
            bits |= std::uint32_t(block[b]) << bitCount;
            bitCount += 8;
            while (bitCount >= codeSize) {
                unsigned code = bits & ((1u << codeSize) - 1);
                bits >>= codeSize;
                bitCount -= codeSize;
                if (code == clear) {
                    codeSize = minimumCodeSize + 1;
                    next = end + 1;
                    previous = 4096;
                    continue;
                }
                if (code == end) {
                    reader.SkipSubBlocks();
                    return;
                }
                if (previous == 4096) {
                    if (code >= clear)
                        return;
                    first = static_cast<std::uint8_t>(code);
                    put(first);
                    if (++produced == count)
                        return;
                    previous = code;
                    continue;
                }
                std::size_t depth = 0;
                unsigned walk = code;
                if (code >= next) {
                    if (code > next)
                        return;  // not a code the stream can have made
                    stack[depth++] = first;
                    walk = previous;
                }
                while (walk >= clear) {
                    stack[depth++] = suffix[walk];
                    walk = prefix[walk];
                }
                first = static_cast<std::uint8_t>(walk);
                stack[depth++] = first;
                if (next < 4096) {
                    prefix[next] = static_cast<std::uint16_t>(previous);
                    suffix[next] = first;
                    ++next;
                    if (next == (1u << codeSize) && codeSize < 12)
                        ++codeSize;
                }
                previous = code;
                while (depth > 0) {
                    put(stack[--depth]);
                    if (++produced == count)
                        return;
                }
            }
        }
    }
}

}  // namespace

ArgbBitmap DecodeGifStill(const std::filesystem::path& path, const PictureInfo& info)
{
    ImageStatus status = ImageStatus::Ok;
    const auto bytes = detail::ReadWholeFile(path, status);
    if (!bytes)
        return ArgbBitmap::Empty(status);
    Reader reader(*bytes);
    if (!reader.Has(13))
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    const unsigned char* screen = reader.Take(13);
    const int width = static_cast<int>(detail::Le16(screen + 6)), height = static_cast<int>(detail::Le16(screen + 8));
    if (width != info.width || height != info.height)
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    ColourTable global{};
    const bool hasGlobal = (screen[10] & 0x80u) != 0;
    if (hasGlobal) {
        if (!reader.Has(3u * (2u << (screen[10] & 7u))))
            return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
        ReadTable(reader, global, screen[10]);
    }
    int transparent = -1;
    while (reader.Has(1)) {
        const unsigned char introducer = reader.Byte();
        if (introducer == 0x21) {
            const unsigned char label = reader.Byte();
            if (label == 0xF9 && reader.Has(5) && (*bytes)[reader.Position()] == 4) {
                const unsigned char* control = reader.Take(5);
                transparent = (control[1] & 1u) ? control[4] : -1;
                if (!reader.SkipSubBlocks())
                    break;
            } else if (!reader.SkipSubBlocks()) {
                break;
            }
            continue;
        }
        if (introducer != 0x2C || !reader.Has(9))
            break;
        const unsigned char* descriptor = reader.Take(9);
        const int left = static_cast<int>(detail::Le16(descriptor)), top = static_cast<int>(detail::Le16(descriptor + 2));
        const int frameWidth = static_cast<int>(detail::Le16(descriptor + 4));
        const int frameHeight = static_cast<int>(detail::Le16(descriptor + 6));
        if (frameWidth == 0 || frameHeight == 0 || left + frameWidth > width || top + frameHeight > height)
            break;
        ColourTable local = global;
        if (descriptor[8] & 0x80u) {
            if (!reader.Has(3u * (2u << (descriptor[8] & 7u))))
                break;
            ReadTable(reader, local, descriptor[8]);
        }
        const unsigned codeSize = reader.Byte();
        if (codeSize < 2 || codeSize > 8)
            break;
        // The screen starts transparent; the frame is drawn on it.
        ArgbBitmap bitmap(width, height);
        if (bitmap.IsEmpty())
            return bitmap;
        auto lock = bitmap.LockBits();
        const bool interlaced = (descriptor[8] & 0x40u) != 0;
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int pass = 0, row = interlaced ? kStart[0] : 0, column = 0;
        std::uint32_t* line = lock->Row(top + row) + left;
        DecodeLzw(reader, codeSize, static_cast<std::size_t>(frameWidth) * static_cast<std::size_t>(frameHeight),
                  [&](std::uint8_t index) {
                      if (index != transparent)
                          line[column] = local[index];
                      if (++column < frameWidth)
                          return;
                      column = 0;
                      row += interlaced ? kStep[pass] : 1;
                      while (interlaced && row >= frameHeight && pass < 3)
                          row = kStart[++pass];
                      if (row < frameHeight)
                          line = lock->Row(top + row) + left;
                  });
        lock.reset();  // a bitmap is handed on unlocked
        return bitmap;
    }
    return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
}

}  // namespace imaging
