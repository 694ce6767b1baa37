#include "imaging/FreeImageSupport.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace imaging::detail {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

std::uint16_t ReadLe16(const unsigned char* p) noexcept
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Skips a chain of GIF data sub-blocks starting at pos; returns the offset just
// past the terminating empty block, or nothing when the data ends first.
std::optional<std::size_t> SkipSubBlocks(std::span<const unsigned char> bytes, std::size_t pos) noexcept
{
    while (pos < bytes.size()) {
        const std::size_t length = bytes[pos];
        ++pos;
        if (length == 0)
            return pos;
        if (bytes.size() - pos < length)
            return std::nullopt;
        pos += length;
    }
    return std::nullopt;
}

bool SizeAllowed(std::int64_t width, std::int64_t height) noexcept
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool FormatAllowed(FREE_IMAGE_FORMAT format) noexcept
{
    switch (format) {
    case FIF_BMP:
    case FIF_ICO:
    case FIF_JPEG:
    case FIF_GIF:
    case FIF_PNG:
    case FIF_TIFF:
        return true;
    default:
        return false;
    }
}

ArgbBitmap Failed(ImageStatus status) noexcept
{
    return ArgbBitmap::Empty(status);
}

// Copies a 32-bit FreeImage bitmap (B, G, R, A bytes, bottom-up) into a new
// ArgbBitmap.
ArgbBitmap FromFreeImage32(FIBITMAP* dib) noexcept
{
    const int width = static_cast<int>(FreeImage_GetWidth(dib));
    const int height = static_cast<int>(FreeImage_GetHeight(dib));
    ArgbBitmap bitmap(width, height);
    {
        auto lock = bitmap.LockBits();
        if (!lock)
            return bitmap;
        for (int y = 0; y < height; ++y) {
            const BYTE* line = FreeImage_GetScanLine(dib, height - 1 - y);
            std::uint32_t* row = lock->Row(y);
            for (int x = 0; x < width; ++x, line += 4)
                row[x] = static_cast<std::uint32_t>(line[FI_RGBA_BLUE]) |
                         static_cast<std::uint32_t>(line[FI_RGBA_GREEN]) << 8 |
                         static_cast<std::uint32_t>(line[FI_RGBA_RED]) << 16 |
                         static_cast<std::uint32_t>(line[FI_RGBA_ALPHA]) << 24;
        }
    }
    return bitmap;
}

}  // namespace

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::filesystem::path& path, ImageStatus& status) noexcept
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        status = ImageStatus::FileNotFound;
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        status = ImageStatus::Win32Error;
        return std::nullopt;
    }
    try {
        std::vector<unsigned char> bytes;
        unsigned char buffer[65536];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            if (bytes.size() + got > kMaxImageFileBytes) {
                status = ImageStatus::ValueOverflow;
                return std::nullopt;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        if (std::ferror(file.get())) {
            status = ImageStatus::Win32Error;
            return std::nullopt;
        }
        status = ImageStatus::Ok;
        return bytes;
    } catch (const std::bad_alloc&) {
        status = ImageStatus::OutOfMemory;
        return std::nullopt;
    }
}

GifLayout WalkGif(std::span<const unsigned char> bytes) noexcept
{
    GifLayout layout;
    if (bytes.size() < 13 || (std::memcmp(bytes.data(), "GIF87a", 6) != 0 && std::memcmp(bytes.data(), "GIF89a", 6) != 0))
        return layout;
    layout.screenWidth = ReadLe16(bytes.data() + 6);
    layout.screenHeight = ReadLe16(bytes.data() + 8);
    std::size_t pos = 13;
    const unsigned packed = bytes[10];
    if (packed & 0x80u)
        pos += 3u * (2u << (packed & 7u));
    while (pos < bytes.size()) {
        const unsigned char introducer = bytes[pos];
        if (introducer == 0x3B) {
            layout.complete = true;
            break;
        }
        if (introducer == 0x21) {
            if (bytes.size() - pos < 2)
                break;
            const auto next = SkipSubBlocks(bytes, pos + 2);
            if (!next)
                break;
            pos = *next;
            continue;
        }
        if (introducer != 0x2C || bytes.size() - pos < 10)
            break;
        const unsigned char* descriptor = bytes.data() + pos + 1;
        const int left = ReadLe16(descriptor);
        const int top = ReadLe16(descriptor + 2);
        const int width = ReadLe16(descriptor + 4);
        const int height = ReadLe16(descriptor + 6);
        const unsigned localPacked = descriptor[8];
        std::size_t data = pos + 10;
        if (localPacked & 0x80u)
            data += 3u * (2u << (localPacked & 7u));
        // The LZW minimum code size byte, then the image data sub-blocks.
        if (data >= bytes.size())
            break;
        const auto next = SkipSubBlocks(bytes, data + 1);
        if (!next)
            break;
        if (width == 0 || height == 0 || left + width > layout.screenWidth || top + height > layout.screenHeight)
            layout.framesInsideScreen = false;
        ++layout.completeFrames;
        layout.endOfLastFrame = *next;
        pos = *next;
    }
    layout.valid = layout.completeFrames > 0;
    return layout;
}

bool ProbeImage(std::span<const unsigned char> bytes) noexcept
{
    if (WalkGif(bytes).valid)
        return !DecodeImage(bytes).IsEmpty();
    return !DecodeImage(bytes, true).IsEmpty();
}

ArgbBitmap DecodeImage(std::span<const unsigned char> input, bool headerOnly) noexcept
{
    if (input.empty() || input.size() > 0xFFFFFFFFu)
        return Failed(ImageStatus::UnknownImageFormat);
    try {
        std::span<const unsigned char> bytes = input;
        std::vector<unsigned char> repaired;
        // FreeImage's memory stream takes a non-const pointer but only reads.
        auto open = [](std::span<const unsigned char> data) {
            return FreeImageMemoryPtr(FreeImage_OpenMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size())));
        };
        FreeImageMemoryPtr memory = open(bytes);
        if (!memory)
            return Failed(ImageStatus::OutOfMemory);
        const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory.get(), 0);
        if (!FormatAllowed(format))
            return Failed(ImageStatus::UnknownImageFormat);

        int flags = 0;
        if (format == FIF_GIF) {
            // The decoder is only ever given a well-formed block structure: a
            // truncated file is cut after its last complete image and closed
            // with a trailer, so that no decoder reads past the data.
            const GifLayout layout = WalkGif(bytes);
            if (!layout.valid || !layout.framesInsideScreen || !SizeAllowed(layout.screenWidth, layout.screenHeight))
                return Failed(ImageStatus::UnknownImageFormat);
            if (!layout.complete || layout.endOfLastFrame + 1 != bytes.size()) {
                repaired.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(layout.endOfLastFrame));
                repaired.push_back(0x3B);
                bytes = repaired;
                memory = open(bytes);
                if (!memory)
                    return Failed(ImageStatus::OutOfMemory);
            }
            // The first frame drawn on the logical screen, as a viewer shows it.
            flags = GIF_PLAYBACK;
            if (headerOnly)
                return Failed(ImageStatus::UnknownImageFormat);
        } else {
            if (!FreeImage_FIFSupportsNoPixels(format))
                return Failed(ImageStatus::UnknownImageFormat);
            FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
            FreeImagePtr header(FreeImage_LoadFromMemory(format, memory.get(), FIF_LOAD_NOPIXELS));
            if (!header)
                return Failed(ImageStatus::UnknownImageFormat);
            if (!SizeAllowed(FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get())))
                return Failed(ImageStatus::ValueOverflow);
            if (headerOnly)
                return ArgbBitmap(1, 1);
        }
        FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
        FreeImagePtr decoded(FreeImage_LoadFromMemory(format, memory.get(), flags));
        if (!decoded || !FreeImage_HasPixels(decoded.get()))
            return Failed(ImageStatus::UnknownImageFormat);
        if (!SizeAllowed(FreeImage_GetWidth(decoded.get()), FreeImage_GetHeight(decoded.get())))
            return Failed(ImageStatus::ValueOverflow);
        if (FreeImage_GetImageType(decoded.get()) != FIT_BITMAP) {
            decoded.reset(FreeImage_ConvertToStandardType(decoded.get(), TRUE));
            if (!decoded)
                return Failed(ImageStatus::UnknownImageFormat);
        }
        if (FreeImage_GetBPP(decoded.get()) != 32) {
            decoded.reset(FreeImage_ConvertTo32Bits(decoded.get()));
            if (!decoded)
                return Failed(ImageStatus::OutOfMemory);
        }
        return FromFreeImage32(decoded.get());
    } catch (const std::bad_alloc&) {
        return Failed(ImageStatus::OutOfMemory);
    }
}

FreeImagePtr ToFreeImage(const ArgbBitmap& bitmap) noexcept
{
    if (bitmap.IsEmpty())
        return nullptr;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const std::uint32_t* pixels = bitmap.Pixels().data();
    FreeImagePtr dib(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!dib)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib.get(), height - 1 - y);
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x, line += 4) {
            const std::uint32_t p = row[x];
            line[FI_RGBA_BLUE] = static_cast<BYTE>(p);
            line[FI_RGBA_GREEN] = static_cast<BYTE>(p >> 8);
            line[FI_RGBA_RED] = static_cast<BYTE>(p >> 16);
            line[FI_RGBA_ALPHA] = static_cast<BYTE>(p >> 24);
        }
    }
    return dib;
}

}  // namespace imaging::detail
