#include "ImageTestSupport.h"

#include "imaging/CompactPng.h"
#include "imaging/ImageColorizer.h"
#include "imaging/TextureFiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace imaging;
using imagingtest::ScratchFolder;

namespace {

enum PngColourType { kRgb = 2,
                     kPalette = 3,
                     kRgba = 6 };

int ColourTypeOf(const std::filesystem::path& png)
{
    const auto bytes = imagingtest::ReadBytes(png);
    return bytes.size() > 25 ? bytes[25] : -1;
}

struct CompactCase {
    const char* name;
    std::function<std::uint32_t(int x, int y)> pixel;
    int colourType;
};

void PrintTo(const CompactCase& c, std::ostream* os) { *os << c.name; }

class CompactPng : public ::testing::TestWithParam<CompactCase> {};

// Every form is lossless: the file decodes to exactly the pixels written.
TEST_P(CompactPng, SmallestLosslessFormRoundTrips)
{
    ScratchFolder folder("compact");
    ArgbBitmap bitmap(61, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 61; ++x)
            bitmap.SetPixel(x, y, GetParam().pixel(x, y));
    const auto file = folder / "out.png";
    ASSERT_TRUE(SaveCompactPng(bitmap, file));
    EXPECT_EQ(ColourTypeOf(file), GetParam().colourType);
    ArgbBitmap decoded = ArgbBitmap::FromFile(file);
    ASSERT_EQ(decoded.Width(), 61);
    ASSERT_EQ(decoded.Height(), 40);
    const auto expected = bitmap.Pixels(), got = decoded.Pixels();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin(), got.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CompactPng,
    ::testing::Values(
        CompactCase{"tinted_grey_is_a_palette",
                    [](int x, int y) { const std::uint32_t g = (x + y * 61) % 256; return 0xFF000000u | g << 16 | g / 2; },
                    kPalette},
        CompactCase{"translucent_few_colours_is_a_palette",
                    [](int x, int) { return static_cast<std::uint32_t>(x * 4) << 24 | 0x00336699u; }, kPalette},
        CompactCase{"many_opaque_colours_is_rgb",
                    [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x * 40 + y); }, kRgb},
        CompactCase{"many_translucent_colours_is_rgba",
                    [](int x, int y) { return static_cast<std::uint32_t>(x + y) << 24 | static_cast<std::uint32_t>(x * 40 + y); },
                    kRgba}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompactPngFile, ExistingEntryIsNotReplaced)
{
    ScratchFolder folder("compactexisting");
    imagingtest::WriteBytes(folder / "taken.png", {'x'});
    ArgbBitmap bitmap(2, 2);
    EXPECT_FALSE(SaveCompactPng(bitmap, folder / "taken.png"));
    EXPECT_EQ(imagingtest::ReadBytes(folder / "taken.png"), std::vector<unsigned char>{'x'});
}

// A tinted built-in texture is written as a palette image with the very
// pixels of the tint (it used to be RGBA, several times larger).
TEST(CompactPngFile, TintedTextureIsAPaletteImageOfTheTint)
{
    ScratchFolder folder("compacttint");
    const auto gray = GetTextureFile(7305, folder.Path());
    const auto tinted = GetTintedTextureFile(gray, 0x3366CCu, folder.Path());
    ASSERT_NE(tinted, gray);
    EXPECT_EQ(ColourTypeOf(tinted), kPalette);
    ArgbBitmap expected = ArgbBitmap::FromFile(gray);
    CImageColorizer colorizer;
    colorizer.SetDuotone(0x000000, 0x3366CC);
    colorizer.Apply(expected);
    ArgbBitmap got = ArgbBitmap::FromFile(tinted);
    const auto e = expected.Pixels(), g = got.Pixels();
    EXPECT_TRUE(std::equal(e.begin(), e.end(), g.begin(), g.end()));
}

}  // namespace
