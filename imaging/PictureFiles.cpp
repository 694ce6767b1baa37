#include "imaging/PictureFiles.h"

#include <FreeImage.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>

#if __has_include("resources/Textures.h")
#include "resources/Textures.h"
#define TRALVEX_HAVE_TEXTURES 1
#endif

namespace fs = std::filesystem;

namespace {

// Images larger than this are not decoded: tinting or converting them would
// take unbounded memory for no use on a slide.
constexpr unsigned long long kMaxPixels = 64ull * 1024 * 1024;

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

struct MultiBitmapCloser {
    void operator()(FIMULTIBITMAP* bitmap) const { FreeImage_CloseMultiBitmap(bitmap, 0); }
};

bool Exists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// The header decides the format; the pixel count is checked before the
// pixels are decoded.
Bitmap LoadBounded(const fs::path& path, int flags = 0)
{
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format))
        return nullptr;
    Bitmap header(FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS));
    if (!header)
        return nullptr;
    const unsigned long long pixels =
        static_cast<unsigned long long>(FreeImage_GetWidth(header.get())) * FreeImage_GetHeight(header.get());
    if (pixels == 0 || pixels > kMaxPixels)
        return nullptr;
    return Bitmap(FreeImage_Load(format, path.c_str(), flags));
}

std::optional<std::span<const unsigned char>> FindTexture(int number)
{
#ifdef TRALVEX_HAVE_TEXTURES
    return resources::FindTextures(std::to_string(number));
#else
    (void)number;
    return std::nullopt;
#endif
}

}  // namespace

fs::path GetTextureFile(int resourceNumber, const fs::path& textureFolder)
{
    const auto bytes = FindTexture(resourceNumber);
    if (!bytes)
        return {};
    const fs::path path = textureFolder / ("texture_" + std::to_string(resourceNumber));
    if (Exists(path))
        return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        std::error_code ec;
        fs::remove(path, ec);
        return {};
    }
    return path;
}

fs::path GetTintedTextureFile(const fs::path& texture, std::uint32_t colorref, const fs::path& textureFolder)
{
    const fs::path tinted = textureFolder / (texture.stem().string() + "_" + std::to_string(colorref) + ".png");
    if (Exists(tinted))
        return tinted;
    Bitmap source = LoadBounded(texture);
    if (!source)
        return texture;
    Bitmap bitmap(FreeImage_ConvertTo32Bits(source.get()));
    if (!bitmap)
        return texture;
    const float light[3] = {float(colorref & 0xFF), float((colorref >> 8) & 0xFF), float((colorref >> 16) & 0xFF)};
    const unsigned width = FreeImage_GetWidth(bitmap.get());
    const unsigned height = FreeImage_GetHeight(bitmap.get());
    for (unsigned y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) {
            BYTE* px = line + 4 * x;
            const float r = px[FI_RGBA_RED], g = px[FI_RGBA_GREEN], b = px[FI_RGBA_BLUE];
            const float luminance = (0.27f * r + 0.67f * g + 0.06f * b) / 255.0f;
            auto channel = [&](float l) {
                const float v = std::trunc(l * luminance);
                return static_cast<BYTE>(v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v));
            };
            px[FI_RGBA_RED] = channel(light[0]);
            px[FI_RGBA_GREEN] = channel(light[1]);
            px[FI_RGBA_BLUE] = channel(light[2]);
        }
    }
    if (!FreeImage_Save(FIF_PNG, bitmap.get(), tinted.c_str(), PNG_DEFAULT)) {
        std::error_code ec;
        fs::remove(tinted, ec);
        return texture;
    }
    return tinted;
}

fs::path PrepareStillPicture(const fs::path& picture)
{
    if (picture.empty() || FreeImage_GetFileType(picture.c_str(), 0) != FIF_GIF)
        return picture;
    std::unique_ptr<FIMULTIBITMAP, MultiBitmapCloser> gif(
        FreeImage_OpenMultiBitmap(FIF_GIF, picture.c_str(), FALSE, TRUE, FALSE, GIF_DEFAULT));
    if (!gif || FreeImage_GetPageCount(gif.get()) <= 1)
        return picture;
    gif.reset();
    // GIF_PLAYBACK composes the first frame as it is shown.
    Bitmap frame = LoadBounded(picture, GIF_PLAYBACK);
    if (!frame)
        return picture;
    Bitmap still(FreeImage_ConvertTo32Bits(frame.get()));
    fs::path target = picture;
    target.replace_extension();
    target += "._fixed.png";
    if (!still || !FreeImage_Save(FIF_PNG, still.get(), target.c_str(), PNG_DEFAULT))
        return picture;
    return target;
}
