#include "ImageTestSupport.h"

#include <stdexcept>

namespace imagingtest {

void WriteImage(const std::filesystem::path& path, int width, int height, const std::vector<std::uint32_t>& pixels,
                FREE_IMAGE_FORMAT format)
{
    FIBITMAP* dib = FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
            line[4 * x + FI_RGBA_BLUE] = static_cast<BYTE>(p);
            line[4 * x + FI_RGBA_GREEN] = static_cast<BYTE>(p >> 8);
            line[4 * x + FI_RGBA_RED] = static_cast<BYTE>(p >> 16);
            line[4 * x + FI_RGBA_ALPHA] = static_cast<BYTE>(p >> 24);
        }
    }
    FIBITMAP* out = dib;
    if (format == FIF_JPEG)
        out = FreeImage_ConvertTo24Bits(dib);
    const bool ok = FreeImage_Save(format, out, path.c_str(), format == FIF_JPEG ? 100 : 0);
    if (out != dib)
        FreeImage_Unload(out);
    FreeImage_Unload(dib);
    if (!ok)
        throw std::runtime_error("cannot write test image " + path.string());
}

void WriteGif(const std::filesystem::path& path, int width, int height,
              const std::vector<std::vector<std::uint8_t>>& frames)
{
    std::filesystem::remove(path);
    FIMULTIBITMAP* gif = FreeImage_OpenMultiBitmap(FIF_GIF, path.c_str(), TRUE, FALSE, FALSE);
    if (gif == nullptr)
        throw std::runtime_error("cannot create GIF");
    for (const auto& frame : frames) {
        FIBITMAP* dib = FreeImage_Allocate(width, height, 8);
        RGBQUAD* palette = FreeImage_GetPalette(dib);
        for (int i = 0; i < 256; ++i) {
            palette[i].rgbRed = static_cast<BYTE>(i);
            palette[i].rgbGreen = static_cast<BYTE>(255 - i);
            palette[i].rgbBlue = static_cast<BYTE>(i / 2);
        }
        for (int y = 0; y < height; ++y) {
            BYTE* line = FreeImage_GetScanLine(dib, height - 1 - y);
            for (int x = 0; x < width; ++x)
                line[x] = frame[static_cast<std::size_t>(y * width + x)];
        }
        FreeImage_AppendPage(gif, dib);
        FreeImage_Unload(dib);
    }
    FreeImage_CloseMultiBitmap(gif, 0);
}

std::vector<unsigned char> ReadBytes(const std::filesystem::path& path)
{
    const std::string bytes = testsupport::ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    testsupport::WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace imagingtest
