// Writes the built-in texture images: every resource number of the texture
// table as a JPEG or PNG file named <number>.jpg / <number>.png, and a contact
// sheet of them all. Deterministic: the same table gives the same bytes.
//
// usage: tralvex_texture_generator <table> <output folder>

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Unload {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};
using Dib = std::unique_ptr<FIBITMAP, Unload>;

struct Row {
    std::string id;
    bool png = false;
    int numbers[8] = {};
};

enum class Kind { Cover,
                  Page,
                  Guid };

struct Image {
    int number = 0;
    int row = 0;
    int column = 0;
    bool gray = false;
    int width = 0;
    int height = 0;
    bool png = false;
};

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    return h;
}

float Rand(int x, int y, std::uint32_t seed)
{
    return static_cast<float>(Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) & 0xFFFFFFu) / 16777215.0f;
}

// Smooth value noise with period-free lattice.
float Noise(float x, float y, std::uint32_t seed)
{
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(xi), fy = y - static_cast<float>(yi);
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float a = Rand(xi, yi, seed), b = Rand(xi + 1, yi, seed);
    const float c = Rand(xi, yi + 1, seed), d = Rand(xi + 1, yi + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float Fractal(float x, float y, std::uint32_t seed, int octaves)
{
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * Noise(x, y, seed + static_cast<std::uint32_t>(i) * 101u);
        total += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1
                                                  : v; }

struct Rgb {
    float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

// Cover colours: one dark/light pair per cover.
const Rgb kCoverColours[24][2] = {
    {{70, 20, 20}, {170, 60, 50}},
    {{20, 40, 80}, {70, 110, 170}},
    {{30, 60, 30}, {100, 150, 90}},
    {{60, 40, 20}, {160, 120, 70}},
    {{70, 85, 110}, {200, 215, 235}},
    {{50, 20, 60}, {140, 80, 150}},
    {{20, 25, 45}, {80, 95, 140}},
    {{110, 70, 20}, {220, 170, 90}},
    {{15, 60, 70}, {70, 160, 170}},
    {{80, 30, 40}, {200, 110, 120}},
    {{60, 60, 30}, {170, 170, 100}},
    {{40, 25, 15}, {130, 90, 60}},
    {{100, 95, 80}, {240, 232, 210}},
    {{25, 30, 60}, {110, 120, 190}},
    {{70, 45, 10}, {200, 140, 40}},
    {{35, 55, 45}, {140, 180, 160}},
    {{90, 30, 10}, {210, 100, 50}},
    {{60, 45, 70}, {185, 165, 200}},
    {{20, 45, 30}, {60, 130, 80}},
    {{85, 70, 60}, {215, 195, 180}},
    {{60, 15, 35}, {170, 60, 110}},
    {{30, 35, 40}, {120, 140, 150}},
    {{75, 60, 20}, {190, 170, 110}},
    {{40, 20, 10}, {120, 70, 40}},
};

const Rgb kGuidColours[23][2] = {
    {{120, 90, 40}, {245, 225, 180}},
    {{40, 70, 110}, {200, 220, 245}},
    {{100, 40, 60}, {245, 200, 215}},
    {{40, 90, 50}, {205, 240, 200}},
    {{90, 60, 100}, {230, 210, 240}},
    {{110, 70, 30}, {250, 215, 160}},
    {{30, 80, 90}, {190, 235, 235}},
    {{100, 30, 30}, {240, 190, 170}},
    {{70, 70, 30}, {235, 235, 190}},
    {{50, 50, 90}, {210, 210, 245}},
    {{120, 60, 20}, {250, 200, 120}},
    {{30, 60, 40}, {180, 220, 190}},
    {{90, 40, 80}, {235, 190, 225}},
    {{60, 70, 90}, {220, 228, 240}},
    {{110, 80, 50}, {240, 220, 200}},
    {{20, 50, 100}, {160, 200, 250}},
    {{100, 50, 20}, {240, 180, 140}},
    {{50, 80, 20}, {210, 240, 160}},
    {{80, 20, 40}, {230, 160, 180}},
    {{90, 75, 60}, {240, 228, 210}},
    {{30, 70, 70}, {200, 240, 230}},
    {{90, 70, 20}, {245, 230, 170}},
    {{70, 40, 90}, {220, 200, 240}},
};

// A pattern value in 0..1 (dark..light) and an alpha for (x, y) in pixels.
struct Sample {
    float v;
    float alpha;
};

// Cover materials, by family.
float Cover(int family, int variant, float x, float y, std::uint32_t seed)
{
    switch (family) {
    case 0: {  // woven cloth: over-under threads with fibre noise
        const float p = 6.0f + static_cast<float>(variant % 3);
        const int cx = static_cast<int>(x / p), cy = static_cast<int>(y / p);
        const bool warp = ((cx + cy) & 1) == 0;
        const float along = warp ? std::fmod(y, p) / p : std::fmod(x, p) / p;
        const float across = warp ? std::fmod(x, p) / p : std::fmod(y, p) / p;
        const float thread = std::sin(across * 3.14159f) * (0.75f + 0.25f * std::sin(along * 3.14159f));
        return Clamp01(0.25f + 0.55f * thread + 0.2f * Fractal(x * 0.5f, y * 0.05f, seed, 2) - 0.08f);
    }
    case 1: {  // leather: cellular grain with soft creases
        const float s = 14.0f + 3.0f * static_cast<float>(variant % 3);
        const float gx = x / s, gy = y / s;
        const int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
        float best = 9, second = 9;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const float px = static_cast<float>(ix + dx) + Rand(ix + dx, iy + dy, seed);
                const float py = static_cast<float>(iy + dy) + Rand(ix + dx, iy + dy, seed + 7);
                const float d = (px - gx) * (px - gx) + (py - gy) * (py - gy);
                if (d < best) {
                    second = best;
                    best = d;
                } else if (d < second) {
                    second = d;
                }
            }
        const float crease = Clamp01((std::sqrt(second) - std::sqrt(best)) * 3.0f);
        return Clamp01(0.2f + 0.55f * crease + 0.3f * Fractal(x / 90.0f, y / 90.0f, seed + 3, 3) - 0.05f);
    }
    case 2: {  // linen: fine irregular threads in both directions
        const float h = Noise(0.0f, y * 0.9f, seed) * 0.6f + Noise(x * 0.02f, y * 0.9f, seed + 1) * 0.4f;
        const float v = Noise(x * 0.9f, 0.0f, seed + 2) * 0.6f + Noise(x * 0.9f, y * 0.02f, seed + 3) * 0.4f;
        return Clamp01(0.35f + 0.35f * h + 0.35f * v - 0.12f + 0.1f * Fractal(x / 60.0f, y / 60.0f, seed + 4, 2));
    }
    case 3: {  // marble: turbulent veins
        const float t = Fractal(x / 140.0f, y / 140.0f, seed, 5);
        const float vein = std::fabs(std::sin((x * 0.004f + y * 0.006f + 6.0f * t) * 3.14159f * (1.5f + 0.3f * static_cast<float>(variant % 3))));
        return Clamp01(0.15f + 0.85f * std::pow(vein, 0.35f) - 0.1f * Fractal(x / 30.0f, y / 30.0f, seed + 9, 2));
    }
    default: {  // paper grain: fibres and blotches
        const float fibre = Noise(x * 0.08f, y * 0.6f, seed) * Noise(x * 0.6f, y * 0.08f, seed + 5);
        return Clamp01(0.45f + 0.45f * Fractal(x / 50.0f, y / 50.0f, seed + 1, 4) + 0.25f * fibre - 0.15f);
    }
    }
}

float Page(int variant, float x, float y, std::uint32_t seed)
{
    const float grain = Fractal(x / 3.0f, y / 3.0f, seed, 2);
    const float cloud = Fractal(x / 120.0f, y / 120.0f, seed + 1, 4);
    switch (variant) {
    case 0:
        return 0.93f + 0.05f * grain + 0.02f * cloud;  // plain white
    case 1:
        return 0.86f + 0.04f * grain + 0.06f * cloud - (std::fmod(y, 9.0f) < 1.0f ? 0.04f : 0.0f);  // laid lines
    case 2:
        return 0.84f + 0.06f * grain + 0.05f * cloud - (Rand(static_cast<int>(x), static_cast<int>(y), seed) > 0.997f ? 0.3f : 0.0f);  // recycled, speckled
    case 3:
        return 0.72f + 0.06f * grain + 0.22f * cloud;  // parchment, blotchy
    default:
        return 0.8f + 0.1f * Noise(x * 0.1f, y * 0.7f, seed + 3) + 0.08f * cloud;  // handmade, fibrous
    }
}

// Decorative patterns; PNG rows get transparency: a frame with a clear centre,
// or motifs on a clear ground.
Sample Guid(int index, bool png, float x, float y, float w, float h, std::uint32_t seed)
{
    const int style = index % 8;
    const float u = x / w, v = y / h;
    const float edge = std::min(std::min(u, 1 - u) * w, std::min(v, 1 - v) * h);  // pixels to the nearest edge
    const float border = 0.07f * std::min(w, h);
    const float cell = 0.06f * h;
    const float cx = std::fmod(x, cell) / cell - 0.5f, cy = std::fmod(y, cell) / cell - 0.5f;
    const float r = std::sqrt(cx * cx + cy * cy);
    const float paper = 0.8f + 0.15f * Fractal(x / 80.0f, y / 80.0f, seed, 3);
    float value = paper, alpha = 1.0f;
    switch (style) {
    case 0: {  // damask-like rosettes
        const float a = std::atan2(cy, cx);
        const float petal = 0.28f + 0.12f * std::cos(6 * a);
        value = r < petal ? 0.35f + 0.3f * r : paper;
        alpha = r < petal ? 1.0f : 0.0f;
        break;
    }
    case 1: {  // ornamental frame: bands and beads
        const float band = std::fmod(edge, border / 3);
        const bool inFrame = edge < border;
        const float bead = std::cos(((u + v) * 60.0f) * 3.14159f);
        value = inFrame ? (band < border / 9 ? 0.2f : 0.55f + 0.3f * bead) : paper;
        alpha = inFrame ? 1.0f : 0.0f;
        break;
    }
    case 2: {  // polka dots
        value = r < 0.22f ? 0.3f : paper;
        alpha = r < 0.22f ? 1.0f : 0.0f;
        break;
    }
    case 3: {  // diagonal stripes
        const float s = std::fmod(x + y, cell * 1.5f) / (cell * 1.5f);
        value = s < 0.35f ? 0.45f + 0.1f * Fractal(x / 9.0f, y / 9.0f, seed, 1) : paper;
        alpha = s < 0.35f ? 1.0f : s < 0.45f ? 0.5f
                                             : 0.0f;
        break;
    }
    case 4: {  // checks with a thin frame
        const bool check = (static_cast<int>(x / cell) + static_cast<int>(y / cell)) % 2 == 0;
        value = edge < border * 0.3f ? 0.2f : check ? paper * 0.8f
                                                    : paper;
        alpha = edge < border * 0.3f ? 1.0f : check ? 0.6f
                                                    : 0.0f;
        break;
    }
    case 5: {  // stars
        const float a = std::atan2(cy, cx);
        const float star = 0.18f + 0.14f * std::pow(std::fabs(std::cos(2.5f * a)), 8.0f);
        value = r < star ? 0.3f : paper;
        alpha = r < star ? 1.0f : 0.0f;
        break;
    }
    case 6: {  // corner flourishes: arcs from each corner plus a rule
        const float du = std::min(u, 1 - u) * w, dv = std::min(v, 1 - v) * h;
        const float arc = std::fmod(std::sqrt(du * du + dv * dv), cell) / cell;
        const bool near = std::sqrt(du * du + dv * dv) < 4 * cell;
        const bool rule = std::fabs(edge - border * 0.5f) < 2.0f;
        value = (near && arc < 0.2f) || rule ? 0.25f : paper;
        alpha = (near && arc < 0.2f) || rule ? 1.0f : 0.0f;
        break;
    }
    default: {  // lattice of thin lines with a vignette
        const bool line = std::fabs(cx) > 0.45f || std::fabs(cy) > 0.45f;
        value = line ? 0.35f : paper - 0.25f * Clamp01(1 - edge / (4 * border));
        alpha = line ? 1.0f : Clamp01(1 - edge / (3 * border));
        break;
    }
    }
    if (!png)
        alpha = 1.0f;
    return {Clamp01(value), alpha};
}

std::vector<Row> ReadTable(const std::filesystem::path& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Row row;
        std::string format;
        if (!(fields >> row.id >> format))
            continue;
        row.png = format == "PNG";
        for (int& n : row.numbers)
            fields >> n;
        rows.push_back(row);
    }
    return rows;
}

Kind KindOf(const Row& row)
{
    if (row.id.rfind("bcover", 0) == 0)
        return Kind::Cover;
    if (row.id.rfind("bpage", 0) == 0)
        return Kind::Page;
    return Kind::Guid;
}

Dib Render(const Image& image, const std::vector<Row>& rows, int guidIndex, int coverIndex, int pageIndex)
{
    const Row& row = rows[static_cast<std::size_t>(image.row)];
    const Kind kind = KindOf(row);
    const int w = image.width, h = image.height;
    // The same row looks the same at every size: coordinates are scaled to the
    // height of the main images.
    const float scale = 800.0f / static_cast<float>(h);
    const std::uint32_t seed = 1000u + static_cast<std::uint32_t>(image.row) * 17u;
    // A texture that is both main and grayscale image is grey.
    const bool grey = image.gray;
    const int bpp = image.png ? 32 : grey ? 8
                                          : 24;
    Dib dib(FreeImage_Allocate(w, h, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!dib)
        throw std::runtime_error("allocation");
    if (bpp == 8) {
        RGBQUAD* palette = FreeImage_GetPalette(dib.get());
        for (int i = 0; i < 256; ++i)
            palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    }
    Rgb dark{0, 0, 0}, light{255, 255, 255};
    if (kind == Kind::Cover) {
        dark = kCoverColours[coverIndex % 24][0];
        light = kCoverColours[coverIndex % 24][1];
    } else if (kind == Kind::Page) {
        const Rgb tones[5][2] = {{{205, 198, 180}, {255, 252, 240}}, {{190, 180, 150}, {252, 246, 228}}, {{150, 145, 135}, {240, 236, 226}}, {{150, 115, 70}, {250, 232, 195}}, {{170, 160, 140}, {248, 242, 230}}};
        dark = tones[pageIndex % 5][0];
        light = tones[pageIndex % 5][1];
    } else {
        dark = kGuidColours[guidIndex % 23][0];
        light = kGuidColours[guidIndex % 23][1];
    }
    for (int y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib.get(), h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const float fx = static_cast<float>(x) * scale, fy = static_cast<float>(y) * scale;
            Sample s{1, 1};
            if (kind == Kind::Cover)
                s.v = Cover(coverIndex % 5, coverIndex / 5, fx, fy, seed);
            else if (kind == Kind::Page)
                s.v = Clamp01(Page(pageIndex, fx, fy, seed));
            else
                s = Guid(guidIndex, row.png, fx, fy, static_cast<float>(w) * scale, 800.0f, seed);
            // Greys stay light so that a tint keeps the colour recognisable.
            const auto greyLevel = static_cast<BYTE>(std::lround(255.0f * (0.45f + 0.55f * s.v)));
            if (bpp == 8) {
                line[x] = greyLevel;
                continue;
            }
            const Rgb c = Mix(dark, light, s.v);
            BYTE* p = line + x * (bpp / 8);
            if (grey) {
                p[FI_RGBA_RED] = p[FI_RGBA_GREEN] = p[FI_RGBA_BLUE] = greyLevel;
            } else {
                p[FI_RGBA_RED] = static_cast<BYTE>(std::lround(c.r));
                p[FI_RGBA_GREEN] = static_cast<BYTE>(std::lround(c.g));
                p[FI_RGBA_BLUE] = static_cast<BYTE>(std::lround(c.b));
            }
            if (bpp == 32)
                p[FI_RGBA_ALPHA] = static_cast<BYTE>(std::lround(255.0f * Clamp01(s.alpha)));
        }
    }
    return dib;
}

void Save(FIBITMAP* dib, FREE_IMAGE_FORMAT format, const std::filesystem::path& path, int flags)
{
    if (!FreeImage_Save(format, dib, path.c_str(), flags))
        throw std::runtime_error("cannot write " + path.string());
}

// Every image reduced to a thumbnail, over a checkerboard where it is clear.
void WriteContactSheet(const std::vector<Image>& images, const std::filesystem::path& folder)
{
    constexpr int thumbH = 80, thumbW = 112, columns = 16, gap = 4;
    const int rows = (static_cast<int>(images.size()) + columns - 1) / columns;
    const int sheetW = columns * (thumbW + gap) + gap, sheetH = rows * (thumbH + gap) + gap;
    Dib sheet(FreeImage_Allocate(sheetW, sheetH, 24));
    for (int y = 0; y < sheetH; ++y) {
        BYTE* line = FreeImage_GetScanLine(sheet.get(), y);
        std::fill(line, line + sheetW * 3, static_cast<BYTE>(60));
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        const Image& image = images[i];
        const auto path = folder / (std::to_string(image.number) + (image.png ? ".png" : ".jpg"));
        Dib loaded(FreeImage_Load(image.png ? FIF_PNG : FIF_JPEG, path.c_str(), 0));
        Dib rgba(FreeImage_ConvertTo32Bits(loaded.get()));
        const int tw = std::min(thumbW, std::max(1, image.width * thumbH / image.height));
        Dib thumb(FreeImage_Rescale(rgba.get(), tw, thumbH, FILTER_BILINEAR));
        const int ox = gap + static_cast<int>(i % columns) * (thumbW + gap);
        const int oy = gap + static_cast<int>(i / columns) * (thumbH + gap);
        for (int y = 0; y < thumbH; ++y) {
            const BYTE* in = FreeImage_GetScanLine(thumb.get(), thumbH - 1 - y);
            BYTE* out = FreeImage_GetScanLine(sheet.get(), sheetH - 1 - (oy + y));
            for (int x = 0; x < tw; ++x) {
                const float a = in[4 * x + FI_RGBA_ALPHA] / 255.0f;
                const float check = ((x / 8 + y / 8) % 2) ? 200.0f : 120.0f;
                for (int c : {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE})
                    out[3 * (ox + x) + c] = static_cast<BYTE>(std::lround(in[4 * x + c] * a + check * (1 - a)));
            }
        }
    }
    Save(sheet.get(), FIF_PNG, folder / "contact_sheet.png", 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <texture table> <output folder>\n", argv[0]);
        return 2;
    }
    try {
        const std::vector<Row> rows = ReadTable(argv[1]);
        const std::filesystem::path folder = argv[2];
        std::filesystem::create_directories(folder);
        const int coverW[4] = {565, 706, 800, 1120};
        const int guidW[4] = {566, 711, 800, 1131};
        const int smallW[4] = {326, 410, 461, 645};
        std::map<int, Image> byNumber;
        std::vector<int> order;  // table order, for the contact sheet
        int guidCount = 0;
        std::map<int, int> guidIndex, coverIndex, pageIndex;
        int covers = 0, pages = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Row& row = rows[r];
            const Kind kind = KindOf(row);
            if (kind == Kind::Guid)
                guidIndex[static_cast<int>(r)] = guidCount++;
            else if (kind == Kind::Cover)
                coverIndex[static_cast<int>(r)] = covers++;
            else
                pageIndex[static_cast<int>(r)] = pages++;
            const bool lastFour = kind == Kind::Guid && r + 4 >= rows.size();
            for (int cell = 0; cell < 8; ++cell) {
                const int column = cell / 2;
                const bool gray = cell % 2 == 1;
                Image image;
                image.number = row.numbers[cell];
                image.row = static_cast<int>(r);
                image.column = kind == Kind::Page ? 0 : column;
                image.png = row.png;
                image.gray = gray;
                image.height = 800;
                if (kind == Kind::Guid && !lastFour) {
                    image.width = guidW[column];
                    if (gray && row.id == "A212DBF0-CBF4-405A-A5E6-12B205AF1FB1") {
                        image.width = smallW[column];
                        image.height = 461;
                    }
                } else {
                    image.width = coverW[image.column];
                }
                auto [it, inserted] = byNumber.emplace(image.number, image);
                // A number listed as both main and grayscale image is grey.
                if (!inserted && gray)
                    it->second.gray = true;
                if (inserted)
                    order.push_back(image.number);
            }
        }
        std::vector<Image> images;
        for (const int number : order) {
            const Image& image = byNumber[number];
            const int row = image.row;
            Dib dib = Render(image, rows, guidIndex.count(row) ? guidIndex[row] : 0,
                             coverIndex.count(row) ? coverIndex[row] : 0, pageIndex.count(row) ? pageIndex[row] : 0);
            const auto path = folder / (std::to_string(number) + (image.png ? ".png" : ".jpg"));
            if (image.png)
                Save(dib.get(), FIF_PNG, path, PNG_Z_DEFAULT_COMPRESSION);
            else
                Save(dib.get(), FIF_JPEG, path, 65 | JPEG_OPTIMIZE);
            images.push_back(image);
        }
        WriteContactSheet(images, folder);
        std::printf("wrote %zu textures into %s\n", images.size(), folder.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "texture generator: %s\n", e.what());
        return 1;
    }
}
