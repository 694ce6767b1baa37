#include "imaging/ImageCodecs.h"

#include "imaging/FreeImageCpp.h"
#include "imaging/ImageFailure.h"
#include "imaging/FreeImageSupport.h"
#include "imaging/PictureProbe.h"
#include "imaging/ResourceError.h"

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

// True when list holds "*." + extension, compared without case. Nothing is
// allocated: a lookup that ran out of memory would pass for an unknown format.
bool ListsExtension(std::string_view list, std::string_view extension) noexcept
{
    const auto same = [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); };
    for (std::size_t at = list.find("*."); at != std::string_view::npos; at = list.find("*.", at + 1)) {
        const std::string_view rest = list.substr(at + 2);
        if (rest.size() >= extension.size() && std::equal(extension.begin(), extension.end(), rest.begin(), same))
            return true;
    }
    return false;
}

// The bitmap in the layout an encoder accepts.
freeimagecpp::CFreeImageBitmap PrepareForEncoder(freeimagecpp::CFreeImageBitmap dib32, EncoderId encoder)
{
    switch (encoder) {
    case EncoderId::Jpeg:
        return dib32.ConvertTo24Bits();
    case EncoderId::Gif:
        return dib32.ConvertTo24Bits().ColorQuantize(FIQ_WUQUANT);
    default:
        return dib32;
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
    for (std::size_t i = 0; i < kEncoders.size(); ++i) {
        if (ListsExtension(kEncoders[i].filenameExtension, extension)) {
            if (clsid != nullptr)
                *clsid = kEncoders[i].id;
            return static_cast<int>(i);
        }
    }
    return -1;
}

ImageStatus SaveBitmap(const ArgbBitmap& bitmap, const std::filesystem::path& path, EncoderId encoder,
                       long quality, std::string_view what)
{
    if (bitmap.IsEmpty())
        return ImageStatus::InvalidParameter;
    const std::string file = what.empty() ? "picture file " + path.filename().string() : std::string(what);
    FREE_IMAGE_FORMAT format = FIF_PNG;
    int flags = 0;
    switch (encoder) {
    case EncoderId::Bmp:
        format = FIF_BMP;
        break;
    case EncoderId::Gif:
        format = FIF_GIF;
        break;
    case EncoderId::Tiff:
        format = FIF_TIFF;
        break;
    case EncoderId::Png:
        format = FIF_PNG;
        flags = PNG_Z_BEST_SPEED;
        break;
    case EncoderId::Jpeg:
        format = FIF_JPEG;
        // Quality 0 is the worst quality, as the platform encoder takes it;
        // FreeImage reads 0 as "default", so the lowest it knows is 1.
        flags = static_cast<int>(std::clamp(quality, 1L, 100L));
        break;
    }
    // The bitmap is whole and every encoder takes the layout prepared for it:
    // a failed conversion or encoding is memory that ran out.
    const ImageStatus status = detail::StatusOf([&] {
        const freeimagecpp::CFreeImageBitmap prepared = PrepareForEncoder(detail::ToFreeImage(bitmap), encoder);
        freeimagecpp::CFreeImageMemory encoded;
        encoded.Save(format, prepared, flags);
        const auto bytes = encoded.Bytes();
        WriteWorkingFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), true, file);
    });
    if (status != ImageStatus::Ok)
        ThrowOutOfMemory("writing " + file);
    return ImageStatus::Ok;
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
