#include "imaging/FreeImageSupport.h"

#include "imaging/PictureHeaders.h"
#include "imaging/PictureProbe.h"

#include <cstdio>
#include <cstdlib>
#include <tiffio.h>
#include <cstring>
#include <memory>
#include <mutex>

namespace imaging::detail {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

FREE_IMAGE_FORMAT DecoderFor(PictureFormat format) noexcept
{
    switch (format) {
    case PictureFormat::Png:
        return FIF_PNG;
    case PictureFormat::Jpeg:
        return FIF_JPEG;
    case PictureFormat::Gif:
        return FIF_GIF;
    case PictureFormat::Bmp:
        return FIF_BMP;
    case PictureFormat::Tiff:
        return FIF_TIFF;
    case PictureFormat::WebP:
        return FIF_WEBP;
    }
    return FIF_UNKNOWN;
}

// FreeImage reports decoder complaints through one global callback, and the
// TIFF library it decodes with prints its own to standard error (also about
// tags it merely does not know). Neither is of use to a user.
void SilenceFreeImage() noexcept
{
    static std::once_flag once;
    std::call_once(once, [] {
        FreeImage_SetOutputMessage([](FREE_IMAGE_FORMAT, const char*) {});
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

ArgbBitmap Failed(ImageStatus status) noexcept
{
    return ArgbBitmap::Empty(status);
}

// A decoder reports a picture it could not decode and one it had no memory
// for alike. Memory for the decoded image, at the most a decoder of these
// formats holds for it (16-bit RGBA), tells them apart: a decoder that failed
// for want of less than this leaves too little of it free.
bool DecoderMemoryAvailable(const PictureInfo& info) noexcept
{
    const std::size_t bytes = static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.height) * 8;
    void* probe = std::malloc(bytes);
    std::free(probe);
    return probe != nullptr;
}

// Copies a 32-bit FreeImage bitmap (B, G, R, A bytes, bottom-up) into a new
// ArgbBitmap.
ArgbBitmap FromFreeImage32(FIBITMAP* dib) noexcept
{
    const int width = static_cast<int>(FreeImage_GetWidth(dib));
    const int height = static_cast<int>(FreeImage_GetHeight(dib));
    ArgbBitmap bitmap(width, height);
    if (bitmap.IsEmpty())
        return bitmap;  // with the reason (out of memory) as its status
    {
        auto lock = bitmap.LockBits();
        if (!lock)
            return bitmap;
        for (int y = 0; y < height; ++y) {
            const BYTE* line = FreeImage_GetScanLine(dib, height - 1 - y);
            std::uint32_t* row = lock->Row(y);
            for (int x = 0; x < width; ++x, line += 4)
                row[x] = static_cast<std::uint32_t>(line[FI_RGBA_BLUE]) | static_cast<std::uint32_t>(line[FI_RGBA_GREEN]) << 8 | static_cast<std::uint32_t>(line[FI_RGBA_RED]) << 16 | static_cast<std::uint32_t>(line[FI_RGBA_ALPHA]) << 24;
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

ArgbBitmap DecodeImage(std::span<const unsigned char> bytes) noexcept
{
    PictureFault fault = PictureFault::UnknownFormat;
    const auto info = ProbePicture(bytes, &fault);
    if (!info)
        return Failed(fault == PictureFault::TooLarge ? ImageStatus::ValueOverflow : ImageStatus::UnknownImageFormat);
    if (bytes.size() > 0xFFFFFFFFu)
        return Failed(ImageStatus::ValueOverflow);
    SilenceFreeImage();
    try {
        // FreeImage's memory stream takes a non-const pointer but only reads.
        FreeImageMemoryPtr memory(FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())));
        if (!memory)
            return Failed(ImageStatus::OutOfMemory);
        const FREE_IMAGE_FORMAT format = DecoderFor(info->format);
        // A GIF's first frame drawn on the logical screen, as a viewer shows it.
        const int flags = format == FIF_GIF ? GIF_PLAYBACK : 0;
        FreeImagePtr decoded(FreeImage_LoadFromMemory(format, memory.get(), flags));
        if (!decoded)
            return Failed(DecoderMemoryAvailable(*info) ? ImageStatus::UnknownImageFormat : ImageStatus::OutOfMemory);
        if (!FreeImage_HasPixels(decoded.get()))
            return Failed(ImageStatus::UnknownImageFormat);
        if (!PixelCountAllowed(FreeImage_GetWidth(decoded.get()), FreeImage_GetHeight(decoded.get())))
            return Failed(ImageStatus::ValueOverflow);
        const FREE_IMAGE_TYPE type = FreeImage_GetImageType(decoded.get());
        // 16-bit-a-sample colour (a 48- or 64-bit TIFF) has no standard type
        // of its own: it goes straight to 32 bits below.
        if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16) {
            decoded.reset(FreeImage_ConvertToStandardType(decoded.get(), TRUE));
            if (!decoded)
                return Failed(DecoderMemoryAvailable(*info) ? ImageStatus::UnknownImageFormat : ImageStatus::OutOfMemory);
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
