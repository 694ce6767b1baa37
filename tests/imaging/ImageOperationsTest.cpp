#include "ImageTestSupport.h"

#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/ImageResampler.h"

#include <gtest/gtest.h>
#include "support/CaseNames.h"

using namespace imaging;
using imagingtest::ScratchFolder;

namespace {

std::vector<std::uint32_t> Numbered(int width, int height)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(x * 40) << 16 | static_cast<std::uint32_t>(y * 40) << 8 | 7u);
    return pixels;
}

struct MirrorCase {
    int width, height;
    bool flipX, flipY;
};

void PrintTo(const MirrorCase& c, std::ostream* os) { *os << testnames::Name(c.width, "by", c.height); }

class ResampleMirror : public ::testing::TestWithParam<MirrorCase> {};

TEST_P(ResampleMirror, CopiesPixelsMirroredAtSourceSize)
{
    const auto c = GetParam();
    ScratchFolder folder("mirror");
    const auto pixels = Numbered(5, 3);
    imagingtest::WriteImage(folder / "in.png", 5, 3, pixels, FIF_PNG);
    ASSERT_TRUE(CImageResampler().Resample(folder / "out.png", folder / "in.png", c.width, c.height, 0, std::nullopt, {}));
    ArgbBitmap out = ArgbBitmap::FromFile(folder / "out.png");
    ASSERT_EQ(out.Width(), 5);
    ASSERT_EQ(out.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int sx = c.flipX ? 4 - x : x, sy = c.flipY ? 2 - y : y;
            EXPECT_EQ(out.GetPixel(x, y), pixels[static_cast<std::size_t>(sy * 5 + sx)]) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(All, ResampleMirror,
                         ::testing::Values(MirrorCase{0, 0, false, false}, MirrorCase{5, 3, false, false},
                                           MirrorCase{-5, 3, true, false}, MirrorCase{5, -3, false, true},
                                           MirrorCase{-5, -3, true, true}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.width, "by", c.height); });

TEST(Resample, ScalesToTheRequestedSizeBicubic)
{
    ScratchFolder folder("scale");
    imagingtest::WriteImage(folder / "in.png", 40, 20, std::vector<std::uint32_t>(800, 0xFF336699u), FIF_PNG);
    ASSERT_TRUE(CImageResampler().Resample(folder / "out.jpg", folder / "in.png", -50, 20, 0, std::nullopt, {}));
    ArgbBitmap out = ArgbBitmap::FromFile(folder / "out.jpg");
    EXPECT_EQ(out.Width(), 50);
    EXPECT_EQ(out.Height(), 20);
    // A flat colour stays flat through the filter (the JPEG at quality 100
    // moves it by a step at most).
    const std::uint32_t p = out.GetPixel(25, 10);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 0x33, 2);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 0x99, 2);
}

TEST(Resample, FailsWithoutEncoderOrDecodableSource)
{
    ScratchFolder folder("fail");
    imagingtest::WriteImage(folder / "in.png", 4, 4, std::vector<std::uint32_t>(16, 0xFFFFFFFFu), FIF_PNG);
    EXPECT_FALSE(CImageResampler().Resample(folder / "noextension", folder / "in.png", 0, 0, 0, std::nullopt, {}));
    EXPECT_FALSE(CImageResampler().Resample(folder / "out.xyz", folder / "in.png", 0, 0, 0, std::nullopt, {}));
    imagingtest::WriteBytes(folder / "junk.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    EXPECT_FALSE(CImageResampler().Resample(folder / "out.png", folder / "junk.png", 0, 0, 0, std::nullopt, {}));
    EXPECT_FALSE(CImageResampler().Resample(folder / "out.png", folder / "missing.png", 0, 0, 0, std::nullopt, {}));
    EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));
    // An explicit format overrides the missing extension.
    EXPECT_TRUE(CImageResampler().Resample(folder / "noextension", folder / "in.png", 0, 0, 0, std::nullopt, "png"));
    EXPECT_EQ(ArgbBitmap::FromFile(folder / "noextension").Width(), 4);
}

TEST(Resample, SourceRectangleSelectsPart)
{
    ScratchFolder folder("rect");
    const auto pixels = Numbered(5, 3);
    imagingtest::WriteImage(folder / "in.png", 5, 3, pixels, FIF_PNG);
    ASSERT_TRUE(CImageResampler().Resample(folder / "out.png", folder / "in.png", 5, 3, 0, RectF{1, 1, 5, 3}, {}));
    ArgbBitmap out = ArgbBitmap::FromFile(folder / "out.png");
    EXPECT_EQ(out.GetPixel(0, 0), pixels[1 * 5 + 1]);
    // Beyond the right edge the source repeats mirrored.
    EXPECT_EQ(out.GetPixel(4, 0), pixels[1 * 5 + 4]);
    EXPECT_EQ(out.GetPixel(3, 1), pixels[2 * 5 + 4]);
    EXPECT_EQ(out.GetPixel(0, 2), pixels[2 * 5 + 1]);
}

struct EncoderCase {
    const char* extension;
    int index;
};

void PrintTo(const EncoderCase& c, std::ostream* os) { *os << testnames::Name(c.extension); }

class EncoderLookup : public ::testing::TestWithParam<EncoderCase> {};

TEST_P(EncoderLookup, MatchesByExtensionSubstring)
{
    EXPECT_EQ(FindEncoderClsid(GetParam().extension, nullptr), GetParam().index) << GetParam().extension;
}

INSTANTIATE_TEST_SUITE_P(All, EncoderLookup,
                         ::testing::Values(EncoderCase{"png", 4}, EncoderCase{"PNG", 4}, EncoderCase{"jp", 1},
                                           EncoderCase{"jpg", 1}, EncoderCase{"JFIF", 1}, EncoderCase{"bmp", 0},
                                           EncoderCase{"rle", 0}, EncoderCase{"gif", 2}, EncoderCase{"tif", 3},
                                           EncoderCase{"t", 3}, EncoderCase{"", -1}, EncoderCase{"webp", -1},
                                           EncoderCase{"png;", -1}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.extension); });

TEST(EncoderLookup, ReportsTheEncoderId)
{
    EncoderId id = EncoderId::Bmp;
    ASSERT_EQ(FindEncoderClsid("Png", &id), 4);
    EXPECT_EQ(id, EncoderId::Png);
    ASSERT_EQ(FindEncoderClsid("jpe", &id), 1);
    EXPECT_EQ(id, EncoderId::Jpeg);
}

struct DuotoneCase {
    std::uint32_t in;
    std::uint32_t light;
    std::uint32_t out;
};

void PrintTo(const DuotoneCase& c, std::ostream* os) { *os << testnames::Name(testnames::Hex(c.in), "light", testnames::Hex(c.light)); }

class Duotone : public ::testing::TestWithParam<DuotoneCase> {};

TEST_P(Duotone, MapsLuminanceOntoTheLightColour)
{
    ArgbBitmap bitmap(2, 1);
    bitmap.SetPixel(0, 0, GetParam().in);
    bitmap.SetPixel(1, 0, 0xFFFFFFFFu);
    CImageColorizer colorizer;
    colorizer.SetDuotone(0, GetParam().light);
    colorizer.Apply(bitmap);
    EXPECT_EQ(bitmap.GetPixel(0, 0), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(All, Duotone,
                         ::testing::Values(DuotoneCase{0xFFFFFFFFu, 0x0000FFu, 0xFFFF0000u},
                                           DuotoneCase{0xFF808080u, 0x0000FFu, 0xFF800000u},
                                           DuotoneCase{0x40808080u, 0x0000FFu, 0x40800000u},
                                           DuotoneCase{0x00FFFFFFu, 0xFF8000u, 0x000080FFu},
                                           DuotoneCase{0xFF000000u, 0xFFFFFFu, 0xFF000000u},
                                           DuotoneCase{0xFF00FF00u, 0x00FF00u, 0xFF00AA00u},
                                           DuotoneCase{0xFF7F7F7Fu, 0xFFFFFFu, 0xFF7F7F7Fu}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(testnames::Hex(c.in), "light", testnames::Hex(c.light)); });

TEST(Duotone, DarkColourIsTheFloor)
{
    ArgbBitmap bitmap(1, 1);
    bitmap.SetPixel(0, 0, 0xFF000000u);
    CImageColorizer colorizer;
    colorizer.SetDuotone(0x102030u, 0xFFFFFFu);
    colorizer.Apply(bitmap);
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0xFF302010u);
}

TEST(Duotone, LockedBitmapIsLeftAlone)
{
    ArgbBitmap bitmap(1, 1);
    bitmap.SetPixel(0, 0, 0xFFFFFFFFu);
    CImageColorizer colorizer;
    colorizer.SetDuotone(0, 0x0000FFu);
    {
        auto lock = bitmap.LockBits();
        ASSERT_TRUE(lock);
        colorizer.Apply(bitmap);
        EXPECT_EQ(bitmap.GetLastStatus(), ImageStatus::WrongState);
    }
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0xFFFFFFFFu);
}

TEST(Animation, CountsGifFramesInTime)
{
    ScratchFolder folder("anim");
    const std::vector<std::uint8_t> a(200 * 100, 10), b(200 * 100, 200);
    imagingtest::WriteGif(folder / "two.gif", 200, 100, {a, b});
    imagingtest::WriteGif(folder / "one.gif", 200, 100, {a});
    imagingtest::WriteImage(folder / "still.png", 3, 3, std::vector<std::uint32_t>(9, 0xFF00FF00u), FIF_PNG);
    EXPECT_TRUE(IsAnimatedImage(folder / "two.gif"));
    EXPECT_FALSE(IsAnimatedImage(folder / "one.gif"));
    EXPECT_FALSE(IsAnimatedImage(folder / "still.png"));
    EXPECT_FALSE(IsAnimatedImage(folder / "missing.gif"));

    ASSERT_TRUE(CImageResampler().Resample(folder / "a._fixed.png", folder / "two.gif", 0, 0, 80, std::nullopt, {}));
    ArgbBitmap still = ArgbBitmap::FromFile(folder / "a._fixed.png");
    ASSERT_EQ(still.Width(), 200);
    ASSERT_EQ(still.Height(), 100);
    // Palette entry 10 of the first frame, not 200 of the second.
    EXPECT_EQ(still.GetPixel(50, 50), 0xFF0AF505u);
}

TEST(Animation, TruncatedGifNeverCrashes)
{
    ScratchFolder folder("truncated");
    std::vector<std::uint8_t> a(64 * 32), b(64 * 32);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::uint8_t>(i * 7);
        b[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    imagingtest::WriteGif(folder / "two.gif", 64, 32, {a, b});
    const auto bytes = imagingtest::ReadBytes(folder / "two.gif");
    ASSERT_GT(bytes.size(), 100u);
    int animated = 0;
    for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 16) {
        imagingtest::WriteBytes(folder / "cut.gif", {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)});
        animated += IsAnimatedImage(folder / "cut.gif") ? 1 : 0;
        ArgbBitmap bitmap = ArgbBitmap::FromFile(folder / "cut.gif");
        if (!bitmap.IsEmpty()) {
            EXPECT_EQ(bitmap.Width(), 64);
            EXPECT_EQ(bitmap.Height(), 32);
        }
        CImageResampler().Resample(folder / "cut.png", folder / "cut.gif", 0, 0, 80, std::nullopt, {});
    }
    // Only cuts after the second image's data keep two frames.
    EXPECT_LE(animated, 2);
}

TEST(Decoding, RefusesAbsurdSizesBeforeAllocating)
{
    ScratchFolder folder("huge");
    // A PNG header claiming 60000 x 60000 pixels, with no image data.
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                      0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 6, 0, 0, 0, 0x3B, 0x8E, 0x2E, 0x6A};
    imagingtest::WriteBytes(folder / "huge.png", png);
    ArgbBitmap bitmap = ArgbBitmap::FromFile(folder / "huge.png");
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_FALSE(CImageResampler().Resample(folder / "out.png", folder / "huge.png", 0, 0, 0, std::nullopt, {}));
    imagingtest::WriteBytes(folder / "empty.gif", {});
    EXPECT_FALSE(IsAnimatedImage(folder / "empty.gif"));
    EXPECT_EQ(ArgbBitmap::FromFile(folder / "empty.gif").GetLastStatus(), ImageStatus::UnknownImageFormat);
    EXPECT_TRUE(ArgbBitmap(70000, 1).IsEmpty());
    EXPECT_TRUE(ArgbBitmap(0, 5).IsEmpty());
}

}  // namespace
