#include "imaging/FreeImageSupport.h"

#include "imaging/FreeImageCpp.h"
#include "imaging/ImageFailure.h"
#include "imaging/PictureHeaders.h"
#include "imaging/PictureProbe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tiffio.h>
#include <memory>
#include <mutex>
#include <stdexcept>

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

// A decoder reports its failures as FreeImage failures: they become the
// picture's own fault unless memory ran out.
template <class Step>
freeimagecpp::CFreeImageBitmap DecoderStep(const PictureInfo& info, Step&& step)
{
    try {
        return step();
    } catch (const std::runtime_error&) {
        throw ImageFailure(DecoderMemoryAvailable(info) ? ImageStatus::UnknownImageFormat : ImageStatus::OutOfMemory, "decoding failed");
    }
}

}  // namespace

std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw ImageFailure(ImageStatus::FileNotFound, "no such file");
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ImageFailure(ImageStatus::Win32Error, "cannot open file");
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (bytes.size() + got > kMaxImageFileBytes)
            throw ImageFailure(ImageStatus::ValueOverflow, "file too large");
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (std::ferror(file.get()))
        throw ImageFailure(ImageStatus::Win32Error, "cannot read file");
    return bytes;
}

ArgbBitmap DecodeImage(std::span<const unsigned char> bytes)
{
    PictureFault fault = PictureFault::UnknownFormat;
    const auto info = ProbePicture(bytes, &fault);
    if (!info)
        throw ImageFailure(fault == PictureFault::TooLarge ? ImageStatus::ValueOverflow : ImageStatus::UnknownImageFormat, "picture refused");
    if (bytes.size() > 0xFFFFFFFFu)
        throw ImageFailure(ImageStatus::ValueOverflow, "picture too large");
    SilenceFreeImage();
    freeimagecpp::CFreeImageMemory memory(bytes);
    const FREE_IMAGE_FORMAT format = DecoderFor(info->format);
    // A GIF's first frame drawn on the logical screen, as a viewer shows it.
    const int flags = format == FIF_GIF ? GIF_PLAYBACK : 0;
    freeimagecpp::CFreeImageBitmap decoded = DecoderStep(*info, [&] { return memory.Load(format, flags); });
    if (!decoded.HasPixels())
        throw ImageFailure(ImageStatus::UnknownImageFormat, "no pixels");
    if (!PixelCountAllowed(decoded.Width(), decoded.Height()))
        throw ImageFailure(ImageStatus::ValueOverflow, "picture too large");
    const FREE_IMAGE_TYPE type = decoded.ImageType();
    // 16-bit-a-sample colour (a 48- or 64-bit TIFF) has no standard type
    // of its own: it goes straight to 32 bits below.
    if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16)
        decoded = DecoderStep(*info, [&] { return decoded.ConvertToStandardType(true); });
    if (decoded.Bpp() != 32)
        decoded = decoded.ConvertTo32Bits();
    return ToArgb(decoded);
}

freeimagecpp::CFreeImageBitmap ToFreeImage(const ArgbBitmap& bitmap)
{
    freeimagecpp::CFreeImageBitmap result;
    result.Allocate(bitmap.Width(), bitmap.Height(), 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    const auto pixels = bitmap.Pixels();
    for (int y = 0; y < bitmap.Height(); ++y)
        std::memcpy(result.ScanLine(bitmap.Height() - 1 - y), pixels.data() + static_cast<std::size_t>(y) * bitmap.Width(),
                    static_cast<std::size_t>(bitmap.Width()) * 4);
    return result;
}

ArgbBitmap ToArgb(const freeimagecpp::CFreeImageBitmap& bitmap)
{
    freeimagecpp::CFreeImageBitmap standard;
    const freeimagecpp::CFreeImageBitmap* source = &bitmap;
    if (bitmap.ImageType() != FIT_BITMAP) {
        standard = bitmap.ConvertToType(FIT_BITMAP, true);
        source = &standard;
    }
    freeimagecpp::CFreeImageBitmap converted;
    if (source->Bpp() != 32) {
        converted = source->ConvertTo32Bits();
        source = &converted;
    }
    const int width = source->Width();
    const int height = source->Height();
    if (static_cast<std::int64_t>(width) * height > kMaxImagePixels)
        throw std::runtime_error("lock bits");
    ArgbBitmap result(width, height);
    auto lock = result.LockBits();
    if (!lock)
        throw std::runtime_error("lock bits");
    auto& writable = const_cast<freeimagecpp::CFreeImageBitmap&>(*source);
    for (int row = 0; row < height; ++row)
        std::memcpy(lock->Row(row), writable.ScanLine(height - 1 - row), static_cast<std::size_t>(width) * 4);
    return result;
}

}  // namespace imaging::detail
