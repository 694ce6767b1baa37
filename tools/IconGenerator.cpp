// Draws the program's icons: the program icon and the error, question and
// warning message icons as multi-size ICO files (PNG frames, 16 to 256 px),
// and the program and book-type icons as hicolor theme PNGs. Deterministic.
//
// usage: tralvex_icon_generator <output folder>
// writes program.ico error.ico question.ico warning.ico and
//        hicolor/<n>x<n>/{apps/tralvex.png, mimetypes/application-x-mordx.png}

#include "IconCanvas.h"

#include <FreeImage.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace icons;
using Bytes = std::vector<std::uint8_t>;

constexpr int kIcoSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// A round badge with a soft shadow, a darker rim and a lit top.
void Badge(Canvas& c, Color light, Color dark, Color rim)
{
    Vec centre{0.5f, 0.48f};
    c.Fill(Circle({0.5f, 0.52f}, 0.43f), Rgb(0x000000, 0.35f), 0.06f);
    c.Fill(Circle(centre, 0.44f), rim);
    float border = std::max(c.Pixel(), 0.03f);
    c.Fill(Circle(centre, 0.44f - border), Vertical(light, dark, 0.08f, 0.9f));
    c.Fill(Intersect(Circle(centre, 0.44f - border), Circle({0.5f, 0.1f}, 0.42f)), Rgb(0xFFFFFF, 0.16f));
}

void DrawError(Canvas& c)
{
    Badge(c, Rgb(0xF0564A), Rgb(0xC0221A), Rgb(0x8E1610));
    float arm = 0.16f, half = 0.058f;
    c.Fill(Union(Capsule({0.5f - arm, 0.48f - arm}, {0.5f + arm, 0.48f + arm}, half),
                 Capsule({0.5f + arm, 0.48f - arm}, {0.5f - arm, 0.48f + arm}, half)),
           Rgb(0xFFFFFF));
}

void DrawQuestion(Canvas& c)
{
    Badge(c, Rgb(0x4C93E6), Rgb(0x1F5FB8), Rgb(0x143F80));
    float half = 0.048f;
    Shape hook = Union(Arc({0.5f, 0.385f}, 0.12f, half, 90.0f, 180.0f), Capsule({0.5f, 0.505f}, {0.5f, 0.575f}, half));
    c.Fill(Union(hook, Circle({0.5f, 0.71f}, 0.056f)), Rgb(0xFFFFFF));
}

void DrawWarning(Canvas& c)
{
    Vec top{0.5f, 0.12f}, left{0.1f, 0.83f}, right{0.9f, 0.83f};
    c.Fill(Triangle({0.5f, 0.16f}, {0.1f, 0.87f}, {0.9f, 0.87f}, 0.06f), Rgb(0x000000, 0.3f), 0.06f);
    c.Fill(Triangle(top, left, right, 0.06f), Rgb(0xB36A00));
    float border = std::max(c.Pixel(), 0.03f);
    c.Fill(Inset(Triangle(top, left, right, 0.06f), border), Vertical(Rgb(0xFFC940), Rgb(0xF29A0E), 0.1f, 0.9f));
    Color ink = Rgb(0x2B2100);
    c.Fill(Union(Capsule({0.5f, 0.37f}, {0.5f, 0.6f}, 0.052f), Circle({0.5f, 0.72f}, 0.055f)), ink);
}

// A closed book with a slide in front of it.
void DrawProgram(Canvas& c)
{
    float px = c.Pixel();
    // Book: page block peeking out behind the cover, a darker spine and a label.
    c.Fill(Box(0.1f, 0.1f, 0.74f, 0.93f, 0.05f), Rgb(0x000000, 0.3f), 0.05f);
    c.Fill(Box(0.13f, 0.1f, 0.72f, 0.9f, 0.04f), Rgb(0x9C8F6C));
    c.Fill(Box(0.13f, 0.1f, 0.72f - px, 0.9f - px, 0.04f), Rgb(0xF6EED6));
    c.Fill(Box(0.08f, 0.06f, 0.68f, 0.86f, 0.05f), Rgb(0x16306A));
    c.Fill(Box(0.08f + px, 0.06f + px, 0.68f - px, 0.86f - px, 0.05f), Vertical(Rgb(0x3A6FC4), Rgb(0x22468C), 0.06f, 0.86f));
    c.Fill(Box(0.08f, 0.06f, 0.17f, 0.86f, 0.05f), Rgb(0x000000, 0.25f));
    c.Fill(Box(0.25f, 0.15f, 0.59f, 0.28f, 0.02f), Rgb(0xEEF3FB, 0.9f));
    // Slide: a 4:3 sheet with a title bar, a picture and lines of text.
    c.Fill(Box(0.33f, 0.45f, 0.97f, 0.95f, 0.03f), Rgb(0x000000, 0.35f), 0.05f);
    c.Fill(Box(0.32f, 0.42f, 0.96f, 0.9f, 0.03f), Rgb(0x7C8696));
    c.Fill(Box(0.32f + px, 0.42f + px, 0.96f - px, 0.9f - px, 0.03f), Rgb(0xFFFFFF));
    c.Fill(Box(0.37f, 0.48f, 0.91f, 0.55f, 0.01f), Rgb(0xE8743B));
    c.Fill(Box(0.37f, 0.6f, 0.63f, 0.84f), Rgb(0xBFDDF5));
    c.Fill(Intersect(Triangle({0.37f, 0.86f}, {0.49f, 0.67f}, {0.65f, 0.86f}), Box(0.37f, 0.6f, 0.63f, 0.84f)), Rgb(0x3E8E5E));
    c.Fill(Circle({0.575f, 0.655f}, 0.028f), Rgb(0xF7C948));
    float line = std::max(px / 2, 0.014f);
    for (auto [y, end] : {std::pair{0.64f, 0.9f}, {0.72f, 0.86f}, {0.8f, 0.89f}})
        c.Fill(Capsule({0.69f, y}, {end, y}, line), Rgb(0x8A94A6));
}

// A page with a folded corner carrying the program's emblem.
void DrawBookType(Canvas& c)
{
    float px = c.Pixel();
    Vec fold{0.62f, 0.04f}, corner{0.84f, 0.26f};
    Shape page = Intersect(Box(0.16f, 0.04f, 0.84f, 0.96f, 0.02f), HalfPlane(fold, corner));
    c.Fill(Box(0.17f, 0.06f, 0.86f, 0.98f, 0.02f), Rgb(0x000000, 0.3f), 0.04f);
    c.Fill(page, Rgb(0x8C96A5));
    c.Fill(Inset(page, px), Vertical(Rgb(0xFFFFFF), Rgb(0xE9EDF2), 0.04f, 0.96f));
    c.Fill(Triangle(fold, {fold.x, corner.y}, corner, 0.005f), Rgb(0xC9D0DA));
    c.Place({0.2f, 0.3f}, 0.6f);
    DrawProgram(c);
}

using Drawing = void (*)(Canvas&);

Bytes Png(Drawing draw, int size)
{
    Canvas canvas(size);
    draw(canvas);
    Bytes rgba = canvas.Rgba();
    std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)> dib(FreeImage_Allocate(size, size, 32), FreeImage_Unload);
    if (!dib)
        throw std::runtime_error("out of memory");
    for (int y = 0; y < size; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib.get(), size - 1 - y);
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* s = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            row[x * 4 + FI_RGBA_RED] = s[0];
            row[x * 4 + FI_RGBA_GREEN] = s[1];
            row[x * 4 + FI_RGBA_BLUE] = s[2];
            row[x * 4 + FI_RGBA_ALPHA] = s[3];
        }
    }
    std::unique_ptr<FIMEMORY, decltype(&FreeImage_CloseMemory)> memory(FreeImage_OpenMemory(), FreeImage_CloseMemory);
    if (!FreeImage_SaveToMemory(FIF_PNG, dib.get(), memory.get(), PNG_Z_BEST_COMPRESSION))
        throw std::runtime_error("cannot encode a PNG");
    BYTE* data = nullptr;
    DWORD length = 0;
    FreeImage_AcquireMemory(memory.get(), &data, &length);
    return Bytes(data, data + length);
}

void Put16(Bytes& out, unsigned v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& out, unsigned v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An ICO file whose images are all PNG streams (a size of 256 is written as 0).
Bytes Ico(Drawing draw)
{
    std::vector<Bytes> frames;
    for (int size : kIcoSizes)
        frames.push_back(Png(draw, size));
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(frames.size()));
    unsigned offset = 6 + 16 * static_cast<unsigned>(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(kIcoSizes[i] & 0xFF));
        out.push_back(static_cast<std::uint8_t>(kIcoSizes[i] & 0xFF));
        out.push_back(0);  // no palette
        out.push_back(0);
        Put16(out, 1);  // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<unsigned>(frames[i].size()));
        Put32(out, offset);
        offset += static_cast<unsigned>(frames[i].size());
    }
    for (const Bytes& frame : frames)
        out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

void Write(const std::filesystem::path& path, const Bytes& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    FreeImage_Initialise();
    try {
        std::filesystem::path out = argv[1];
        const std::pair<const char*, Drawing> icons[] = {
            {"program", DrawProgram}, {"error", DrawError}, {"question", DrawQuestion}, {"warning", DrawWarning}};
        for (auto [name, draw] : icons)
            Write(out / (std::string(name) + ".ico"), Ico(draw));
        for (int size : kThemeSizes) {
            std::filesystem::path dir = out / "hicolor" / (std::to_string(size) + "x" + std::to_string(size));
            Write(dir / "apps" / "tralvex.png", Png(DrawProgram, size));
            Write(dir / "mimetypes" / "application-x-mordx.png", Png(DrawBookType, size));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tralvex_icon_generator: %s\n", e.what());
        FreeImage_DeInitialise();
        return 1;
    }
    FreeImage_DeInitialise();
    return 0;
}
