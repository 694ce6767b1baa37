#include "ImageTestSupport.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

namespace imagingtest {

ScratchFolder::ScratchFolder(const std::string& name)
    : path_(std::filesystem::temp_directory_path() / ("tralvex-imaging-" + std::to_string(::getpid()) + "-" + name))
{
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

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
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace imagingtest
