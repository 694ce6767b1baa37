#include "imaging/CompactPng.h"

#include "imaging/FreeImageCpp.h"
#include "imaging/ImageFailure.h"
#include "imaging/FreeImageSupport.h"
#include "imaging/ResourceError.h"

#include <algorithm>
#include <vector>

namespace imaging {

std::optional<std::vector<std::uint32_t>> DistinctColours(std::span<const std::uint32_t> pixels)
{
    std::vector<std::uint32_t> colours;
    std::uint32_t last = pixels.empty() ? 0 : ~pixels[0];
    for (const std::uint32_t p : pixels) {
        if (p == last)
            continue;
        last = p;
        const auto at = std::lower_bound(colours.begin(), colours.end(), p);
        if (at != colours.end() && *at == p)
            continue;
        if (colours.size() == 256)
            return std::nullopt;
        colours.insert(at, p);
    }
    return colours;
}

void IndexPixels(std::span<const std::uint32_t> pixels, std::span<const std::uint32_t> colours, std::uint8_t* indices)
{
    std::uint32_t last = pixels.empty() ? 0 : ~pixels[0];
    std::uint8_t index = 0;
    for (const std::uint32_t p : pixels) {
        if (p != last) {
            last = p;
            index = static_cast<std::uint8_t>(std::lower_bound(colours.begin(), colours.end(), p) - colours.begin());
        }
        *indices++ = index;
    }
}

namespace {

freeimagecpp::CFreeImageBitmap PaletteImage(const ArgbBitmap& bitmap, const std::vector<std::uint32_t>& colours)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    freeimagecpp::CFreeImageBitmap dib;
    dib.Allocate(w, h, 8);
    RGBQUAD* palette = dib.Palette();
    BYTE alphas[256] = {};
    bool translucent = false;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        palette[i].rgbRed = static_cast<BYTE>(colours[i] >> 16);
        palette[i].rgbGreen = static_cast<BYTE>(colours[i] >> 8);
        palette[i].rgbBlue = static_cast<BYTE>(colours[i]);
        alphas[i] = static_cast<BYTE>(colours[i] >> 24);
        translucent = translucent || alphas[i] != 255;
    }
    if (translucent)
        dib.SetTransparencyTable(alphas, static_cast<int>(colours.size()));
    const auto pixels = bitmap.Pixels();
    for (int y = 0; y < h; ++y) {
        BYTE* line = dib.ScanLine(h - 1 - y);
        IndexPixels(pixels.subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(w), static_cast<std::size_t>(w)), colours, line);
    }
    return dib;
}

freeimagecpp::CFreeImageBitmap DirectImage(const ArgbBitmap& bitmap)
{
    freeimagecpp::CFreeImageBitmap rgba = detail::ToFreeImage(bitmap);
    const auto pixels = bitmap.Pixels();
    if (std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p >> 24 == 255; }))
        return rgba.ConvertTo24Bits();
    return rgba;
}

}  // namespace

bool SaveCompactPng(const ArgbBitmap& bitmap, const std::filesystem::path& path, int level, std::string_view what)
{
    if (bitmap.IsEmpty())
        return false;
    const std::string file = what.empty() ? "picture file " + path.filename().string() : std::string(what);
    bool written = false;
    // The pixels are whole and the encoder is lossless: the only way encoding
    // fails is for want of memory.
    const ImageStatus status = detail::StatusOf([&] {
        const auto colours = DistinctColours(bitmap.Pixels());
        const freeimagecpp::CFreeImageBitmap dib = colours ? PaletteImage(bitmap, *colours) : DirectImage(bitmap);
        freeimagecpp::CFreeImageMemory png;
        png.Save(FIF_PNG, dib, std::clamp(level, 1, 9));
        const auto bytes = png.Bytes();
        written = WriteWorkingFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), false, file);
    });
    if (status != ImageStatus::Ok)
        ThrowOutOfMemory("writing " + file);
    return written;
}

}  // namespace imaging
