#include "imaging/CompactPng.h"

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

namespace {

detail::FreeImagePtr PaletteImage(const ArgbBitmap& bitmap, const std::vector<std::uint32_t>& colours)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    detail::FreeImagePtr dib(FreeImage_Allocate(w, h, 8));
    if (!dib)
        return nullptr;
    RGBQUAD* palette = FreeImage_GetPalette(dib.get());
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
        FreeImage_SetTransparencyTable(dib.get(), alphas, static_cast<int>(colours.size()));
    const auto pixels = bitmap.Pixels();
    for (int y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib.get(), h - 1 - y);
        const std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        std::uint32_t last = ~row[0];
        BYTE index = 0;
        for (int x = 0; x < w; ++x) {
            if (row[x] != last) {
                last = row[x];
                index = static_cast<BYTE>(std::lower_bound(colours.begin(), colours.end(), last) - colours.begin());
            }
            line[x] = index;
        }
    }
    return dib;
}

detail::FreeImagePtr DirectImage(const ArgbBitmap& bitmap)
{
    detail::FreeImagePtr rgba = detail::ToFreeImage(bitmap);
    if (!rgba)
        return nullptr;
    const auto pixels = bitmap.Pixels();
    if (std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p >> 24 == 255; }))
        return detail::FreeImagePtr(FreeImage_ConvertTo24Bits(rgba.get()));
    return rgba;
}

}  // namespace

bool SaveCompactPng(const ArgbBitmap& bitmap, const std::filesystem::path& path, int level, std::string_view what)
{
    if (bitmap.IsEmpty())
        return false;
    const std::string file = what.empty() ? "picture file " + path.filename().string() : std::string(what);
    try {
        const auto colours = DistinctColours(bitmap.Pixels());
        detail::FreeImagePtr dib = colours ? PaletteImage(bitmap, *colours) : DirectImage(bitmap);
        detail::FreeImageMemoryPtr memory(FreeImage_OpenMemory());
        BYTE* data = nullptr;
        DWORD size = 0;
        // The pixels are whole and the encoder is lossless: the only way
        // these fail is for want of memory.
        if (!dib || !memory || !FreeImage_SaveToMemory(FIF_PNG, dib.get(), memory.get(), std::clamp(level, 1, 9)) || !FreeImage_AcquireMemory(memory.get(), &data, &size))
            ThrowOutOfMemory("writing " + file);
        return WriteWorkingFile(path, std::string_view(reinterpret_cast<const char*>(data), size), false, file);
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory("writing " + file);
    }
}

}  // namespace imaging
