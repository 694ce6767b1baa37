#include "imaging/GifStill.h"

#include "imaging/FreeImageSupport.h"
#include "imaging/ImageFailure.h"
#include "imaging/PictureHeaders.h"
#include "imaging/PngWriter.h"

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

// The first frame of a GIF: where it lies on the screen, its colours, its
// transparent colour (-1 for none) and its index data decoded.
struct FirstFrame {
    int screenWidth = 0, screenHeight = 0;
    int left = 0, top = 0, width = 0, height = 0;
    ColourTable colours{};
    unsigned colourCount = 0;  // entries of the table that applies
    int transparent = -1;
    std::vector<std::uint8_t> indices;  // width x height, rows from the top
    std::size_t decoded = 0;  // indices the data held
};

// Reads up to the first frame and hands its indices to put in screen order
// of the frame's rows (interlacing undone through rowOf). Nothing when the
// bytes are no GIF with a frame.
template <class Sink>
bool ReadFirstFrame(const std::vector<unsigned char>& bytes, const PictureInfo& info, FirstFrame& frame, Sink&& sink)
{
    Reader reader(bytes);
    if (!reader.Has(13))
        return false;
    const unsigned char* screen = reader.Take(13);
    frame.screenWidth = static_cast<int>(detail::Le16(screen + 6));
    frame.screenHeight = static_cast<int>(detail::Le16(screen + 8));
    if (frame.screenWidth != info.width || frame.screenHeight != info.height)
        return false;
    ColourTable global{};
    unsigned globalCount = 0;
    if (screen[10] & 0x80u) {
        globalCount = 2u << (screen[10] & 7u);
        if (!reader.Has(3u * globalCount))
            return false;
        ReadTable(reader, global, screen[10]);
    }
    while (reader.Has(1)) {
        const unsigned char introducer = reader.Byte();
        if (introducer == 0x21) {
            const unsigned char label = reader.Byte();
            if (label == 0xF9 && reader.Has(5) && bytes[reader.Position()] == 4) {
                const unsigned char* control = reader.Take(5);
                frame.transparent = (control[1] & 1u) ? control[4] : -1;
            }
            if (!reader.SkipSubBlocks())
                return false;
            continue;
        }
        if (introducer != 0x2C || !reader.Has(9))
            return false;
        const unsigned char* descriptor = reader.Take(9);
        frame.left = static_cast<int>(detail::Le16(descriptor));
        frame.top = static_cast<int>(detail::Le16(descriptor + 2));
        frame.width = static_cast<int>(detail::Le16(descriptor + 4));
        frame.height = static_cast<int>(detail::Le16(descriptor + 6));
        if (frame.width == 0 || frame.height == 0 || frame.left + frame.width > frame.screenWidth || frame.top + frame.height > frame.screenHeight)
            return false;
        frame.colours = global;
        frame.colourCount = globalCount;
        if (descriptor[8] & 0x80u) {
            frame.colourCount = 2u << (descriptor[8] & 7u);
            if (!reader.Has(3u * frame.colourCount))
                return false;
            ReadTable(reader, frame.colours, descriptor[8]);
        }
        const unsigned codeSize = reader.Byte();
        if (codeSize < 2 || codeSize > 8)
            return false;
        const bool interlaced = (descriptor[8] & 0x40u) != 0;
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int pass = 0, row = 0, column = 0;
        DecodeLzw(reader, codeSize, static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height),
                  [&](std::uint8_t index) {
                      sink(row, column, index);
                      ++frame.decoded;
                      if (++column < frame.width)
                          return;
                      column = 0;
                      row += interlaced ? kStep[pass] : 1;
                      while (interlaced && row >= frame.height && pass < 3)
                          row = kStart[++pass];
                  });
        return true;
    }
    return false;
}

}  // namespace

ArgbBitmap DecodeGifStill(const std::filesystem::path& path, const PictureInfo& info)
{
    std::vector<unsigned char> bytes;
    const ImageStatus read = detail::StatusOf([&] { bytes = detail::ReadWholeFile(path); });
    if (read != ImageStatus::Ok)
        return ArgbBitmap::Empty(read);
    // The screen starts transparent; the frame is drawn on it.
    ArgbBitmap bitmap(info.width, info.height);
    if (bitmap.IsEmpty())
        return bitmap;
    auto lock = bitmap.LockBits();
    FirstFrame frame;
    const bool decoded = ReadFirstFrame(bytes, info, frame, [&](int row, int column, std::uint8_t index) {
        if (index != frame.transparent)
            lock->Row(frame.top + row)[frame.left + column] = frame.colours[index];
    });
    if (!decoded)
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    lock.reset();  // a bitmap is handed on unlocked
    return bitmap;
}

bool SaveGifStill(const std::filesystem::path& path, const PictureInfo& info, const std::filesystem::path& still,
                  std::string_view what)
{
    std::vector<unsigned char> bytes;
    if (detail::StatusOf([&] { bytes = detail::ReadWholeFile(path); }) != ImageStatus::Ok)
        return false;
    FirstFrame frame;
    std::vector<std::uint8_t> indices;
    const auto frameSize = [&] { return static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height); };
    if (!ReadFirstFrame(bytes, info, frame, [&](int row, int column, std::uint8_t index) {
            if (indices.empty())
                indices.assign(frameSize(), 0);
            indices[static_cast<std::size_t>(row) * static_cast<std::size_t>(frame.width) + static_cast<std::size_t>(column)] = index;
        }))
        return false;
    const std::size_t capacity = frameSize();
    indices.resize(capacity, 0);
    // The entry that stands for "transparent": the frame's own transparent
    // colour, else one more entry after its table.
    const bool covers = frame.left == 0 && frame.top == 0 && frame.width == frame.screenWidth && frame.height == frame.screenHeight && frame.decoded == capacity;
    int clear = frame.transparent;
    unsigned count = std::max(frame.colourCount, 1u);
    if (clear < 0 && !covers) {
        if (count == 256)
            return false;
        clear = static_cast<int>(count++);
    }
    if (clear >= 0 && static_cast<unsigned>(clear) >= count)
        count = static_cast<unsigned>(clear) + 1;
    std::vector<std::uint32_t> palette(frame.colours.begin(), frame.colours.begin() + count);
    if (clear >= 0) {
        palette[static_cast<std::size_t>(clear)] = 0;
        // What the data did not reach stays transparent, as on the screen.
        std::fill(indices.begin() + static_cast<std::ptrdiff_t>(frame.decoded), indices.end(),
                  static_cast<std::uint8_t>(clear));
    }
    // Indices past the table give the colour an absent entry has: opaque black.
    for (std::uint8_t& index : indices)
        if (index >= count)
            index = static_cast<std::uint8_t>(clear >= 0 ? clear : 0);
    return SavePalettePng(
        still, frame.screenWidth, frame.screenHeight, palette, info.dpiX, info.dpiY,
        [&](int y, std::uint8_t* row) {
            if (y < frame.top || y >= frame.top + frame.height) {
                std::fill_n(row, frame.screenWidth, static_cast<std::uint8_t>(clear));
                return;
            }
            std::fill_n(row, frame.left, static_cast<std::uint8_t>(clear));
            std::copy_n(indices.data() + static_cast<std::size_t>(y - frame.top) * static_cast<std::size_t>(frame.width),
                        frame.width, row + frame.left);
            std::fill(row + frame.left + frame.width, row + frame.screenWidth, static_cast<std::uint8_t>(clear));
        },
        1, what);
}

}  // namespace imaging
