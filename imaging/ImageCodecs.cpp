#include "imaging/ImageCodecs.h"

#include "imaging/FileDescriptor.h"
#include "imaging/FreeImageSupport.h"
#include "imaging/PictureProbe.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>

namespace imaging {

namespace {

constexpr std::array<ImageEncoderInfo, 5> kEncoders{{
    {EncoderId::Bmp, "BMP", "*.BMP;*.DIB;*.RLE", "image/bmp"},
    {EncoderId::Jpeg, "JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF", "image/jpeg"},
    {EncoderId::Gif, "GIF", "*.GIF", "image/gif"},
    {EncoderId::Tiff, "TIFF", "*.TIF;*.TIFF", "image/tiff"},
    {EncoderId::Png, "PNG", "*.PNG", "image/png"},
}};

std::string FoldAscii(std::string_view text)
{
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return folded;
}

// The bitmap in the layout an encoder accepts.
detail::FreeImagePtr PrepareForEncoder(FIBITMAP* dib32, EncoderId encoder)
{
    switch (encoder) {
    case EncoderId::Jpeg:
        return detail::FreeImagePtr(FreeImage_ConvertTo24Bits(dib32));
    case EncoderId::Gif: {
        detail::FreeImagePtr rgb(FreeImage_ConvertTo24Bits(dib32));
        if (!rgb)
            return nullptr;
        return detail::FreeImagePtr(FreeImage_ColorQuantize(rgb.get(), FIQ_WUQUANT));
    }
    default:
        return detail::FreeImagePtr(FreeImage_Clone(dib32));
    }
}

}  // namespace

std::span<const ImageEncoderInfo> GetImageEncoders() noexcept
{
    return kEncoders;
}

int FindEncoderClsid(std::string_view extension, EncoderId* clsid) noexcept
{
    // No extension names no format (a bare "*." would match every list).
    if (extension.empty())
        return -1;
    try {
        const std::string pattern = "*." + FoldAscii(extension);
        for (std::size_t i = 0; i < kEncoders.size(); ++i) {
            if (FoldAscii(kEncoders[i].filenameExtension).find(pattern) != std::string::npos) {
                if (clsid != nullptr)
                    *clsid = kEncoders[i].id;
                return static_cast<int>(i);
            }
        }
    } catch (const std::bad_alloc&) {
    }
    return -1;
}

ImageStatus SaveBitmap(const ArgbBitmap& bitmap, const std::filesystem::path& path, EncoderId encoder,
                       long quality) noexcept
{
    if (bitmap.IsEmpty())
        return ImageStatus::InvalidParameter;
    try {
        detail::FreeImagePtr dib32 = detail::ToFreeImage(bitmap);
        if (!dib32)
            return ImageStatus::OutOfMemory;
        detail::FreeImagePtr prepared = PrepareForEncoder(dib32.get(), encoder);
        if (!prepared)
            return ImageStatus::OutOfMemory;
        FREE_IMAGE_FORMAT format = FIF_PNG;
        int flags = 0;
        switch (encoder) {
        case EncoderId::Bmp: format = FIF_BMP; break;
        case EncoderId::Gif: format = FIF_GIF; break;
        case EncoderId::Tiff: format = FIF_TIFF; break;
        case EncoderId::Png: format = FIF_PNG; flags = PNG_Z_BEST_SPEED; break;
        case EncoderId::Jpeg:
            format = FIF_JPEG;
            // Quality 0 is the worst quality, as the platform encoder takes it;
            // FreeImage reads 0 as "default", so the lowest it knows is 1.
            flags = static_cast<int>(std::clamp(quality, 1L, 100L));
            break;
        }
        detail::FreeImageMemoryPtr memory(FreeImage_OpenMemory());
        if (!memory || !FreeImage_SaveToMemory(format, prepared.get(), memory.get(), flags))
            return ImageStatus::Win32Error;
        BYTE* data = nullptr;
        DWORD size = 0;
        if (!FreeImage_AcquireMemory(memory.get(), &data, &size))
            return ImageStatus::Win32Error;
        const std::string_view bytes(reinterpret_cast<const char*>(data), size);
        return files::WriteFile(path, bytes, true) ? ImageStatus::Ok : ImageStatus::Win32Error;
    } catch (const std::bad_alloc&) {
        return ImageStatus::OutOfMemory;
    }
}

int GetTimeFrameCount(const std::filesystem::path& path) noexcept
{
    // The probe's verdict is the one the presentation engine uses too: a
    // picture it refuses has no frames here either.
    const auto info = ProbePicture(path);
    return info ? info->frameCount : 0;
}

bool IsAnimatedImage(const std::filesystem::path& path) noexcept
{
    return GetTimeFrameCount(path) > 1;
}

}  // namespace imaging
