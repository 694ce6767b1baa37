// Pictures that once decoded wrongly, slowly or not at all.
#include "imaging/ArgbBitmap.h"
#include "imaging/DecodingBudget.h"
#include "imaging/ImageFailure.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureProbe.h"
#include "imaging/ResourceError.h"
#include "imaging/TextureFiles.h"

#include "ImageTestSupport.h"

#include <gtest/gtest.h>
#include <webp/encode.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <utility>
#include "support/CaseNames.h"

namespace {

using imaging::ArgbBitmap;
using imagingtest::ScratchFolder;
using Bytes = std::vector<unsigned char>;

void Le16(Bytes& b, unsigned v) { b.insert(b.end(), {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)}); }
void Le32(Bytes& b, std::uint32_t v)
{
    Le16(b, v & 0xFFFFu);
    Le16(b, v >> 16);
}
void Le24(Bytes& b, std::uint32_t v)
{
    Le16(b, v & 0xFFFFu);
    b.push_back(static_cast<unsigned char>(v >> 16));
}

struct TiffTag {
    unsigned tag, type;
    std::uint32_t count, value;
};

// A little-endian TIFF with one directory of the given entries (values or
// offsets already laid out by the caller) followed by data at offset dataAt.
Bytes Tiff(std::vector<TiffTag> tags, std::uint32_t dataAt, const Bytes& data)
{
    Bytes b{'I', 'I', 42, 0};
    Le32(b, 8);
    Le16(b, static_cast<unsigned>(tags.size()));
    for (const TiffTag& t : tags) {
        Le16(b, t.tag);
        Le16(b, t.type);
        Le32(b, t.count);
        Le32(b, t.value);
    }
    Le32(b, 0);
    b.resize(dataAt, 0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// 8-bit grey and palette TIFFs without the optional SamplesPerPixel tag, as
// some writers make them: opaque, whatever memory held before.
TEST(TiffWithoutSamplesPerPixel, IsOpaqueEveryTime)
{
    ScratchFolder folder("tiff-no-spp");
    constexpr unsigned kSide = 16;
    Bytes pixels(kSide * kSide);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    const std::uint32_t pixelsAt = 512, mapAt = pixelsAt + kSide * kSide;
    const auto common = [&](unsigned photometric) {
        return std::vector<TiffTag>{{256, 3, 1, kSide}, {257, 3, 1, kSide}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, photometric}, {273, 4, 1, pixelsAt}, {278, 3, 1, kSide}, {279, 4, 1, kSide * kSide}};
    };
    imagingtest::WriteBytes(folder / "grey.tif", Tiff(common(1), pixelsAt, pixels));
    auto paletteTags = common(3);
    paletteTags.push_back({320, 3, 768, mapAt});
    Bytes withMap = pixels;
    for (int channel = 0; channel < 3; ++channel)
        for (unsigned i = 0; i < 256; ++i)
            Le16(withMap, ((i * (channel + 1)) & 0xFFu) * 257);
    imagingtest::WriteBytes(folder / "palette.tif", Tiff(paletteTags, pixelsAt, withMap));

    for (int run = 0; run < 3; ++run) {
        // Memory that held something else before the decoder gets it.
        for (int i = 0; i < 8; ++i) {
            std::vector<unsigned char> junk(kSide * kSide * 4 << i, static_cast<unsigned char>(0x5A + run));
            EXPECT_EQ(junk[junk.size() / 2], 0x5A + run);
        }
        ArgbBitmap grey = ArgbBitmap::FromFile(folder / "grey.tif");
        ArgbBitmap palette = ArgbBitmap::FromFile(folder / "palette.tif");
        ASSERT_EQ(grey.Width(), static_cast<int>(kSide));
        ASSERT_EQ(palette.Width(), static_cast<int>(kSide));
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::uint32_t v = pixels[i];
            ASSERT_EQ(grey.Pixels()[i], 0xFF000000u | v * 0x010101u) << i;
            ASSERT_EQ(palette.Pixels()[i], 0xFF000000u | v << 16 | ((v * 2) & 0xFFu) << 8 | ((v * 3) & 0xFFu)) << i;
        }
    }
}

// A directory that lists a million strips for sixteen rows, its two tables
// far apart: refused without reading them value by value.
TEST(TiffStripTables, MoreStripsThanRowsAreRefused)
{
    ScratchFolder folder("tiff-strips");
    constexpr std::uint32_t kStrips = 1u << 20, kOffsets = 4096, kCounts = kOffsets + 4 * kStrips + 65536;
    Bytes tiff = Tiff({{256, 3, 1, 16}, {257, 3, 1, 16}, {258, 3, 1, 8}, {262, 3, 1, 1}, {273, 4, kStrips, kOffsets}, {279, 4, kStrips, kCounts}},
                      kCounts + 4 * kStrips, {});
    imagingtest::WriteBytes(folder / "strips.tif", tiff);
    imaging::PictureFault fault = imaging::PictureFault::Empty;
    EXPECT_FALSE(imaging::ProbePicture(folder / "strips.tif", &fault));
    EXPECT_EQ(fault, imaging::PictureFault::Malformed);
}

// GIF bytes: a screen with a two-colour table (black, white), then frames of
// one white pixel each at the given places; transparent: colour 0 of every
// frame is transparent.
Bytes GifOfDots(unsigned width, unsigned height, std::vector<std::pair<unsigned, unsigned>> dots, bool transparent)
{
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    Le16(b, width);
    Le16(b, height);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    for (const auto& [x, y] : dots) {
        if (transparent)
            b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, 0, 0});
        b.push_back(0x2C);
        Le16(b, x);
        Le16(b, y);
        Le16(b, 1);
        Le16(b, 1);
        // No local table; LZW of code size 2: clear, index 1, end.
        b.insert(b.end(), {0, 2, 2, 0x4C, 0x01, 0});
    }
    b.push_back(0x3B);
    return b;
}

struct StillCase {
    const char* name;
    std::function<Bytes(const ScratchFolder&)> make;
};
void PrintTo(const StillCase& c, std::ostream* os) { *os << c.name; }
class GifStill : public ::testing::TestWithParam<StillCase> {};

// The first frame on its screen, as the general decoder draws it.
TEST_P(GifStill, IsTheFirstFrameOnItsScreen)
{
    ScratchFolder folder("gif-still");
    imagingtest::WriteBytes(folder / "a.gif", GetParam().make(folder));
    FIBITMAP* reference = FreeImage_Load(FIF_GIF, (folder / "a.gif").c_str(), GIF_PLAYBACK);
    ASSERT_NE(reference, nullptr);
    // Decoded, and written as the still a slide gets.
    for (const auto& file : {folder / "a.gif", imaging::PrepareStillPicture(folder / "a.gif", folder / "stills")}) {
        ArgbBitmap still = ArgbBitmap::FromFile(file);
        ASSERT_TRUE(still.LockBits());  // handed on unlocked
        ASSERT_EQ(still.Width(), static_cast<int>(FreeImage_GetWidth(reference)));
        ASSERT_EQ(still.Height(), static_cast<int>(FreeImage_GetHeight(reference)));
        for (int y = 0; y < still.Height(); ++y) {
            const BYTE* line = FreeImage_GetScanLine(reference, still.Height() - 1 - y);
            for (int x = 0; x < still.Width(); ++x, line += 4) {
                const std::uint32_t expected = std::uint32_t(line[FI_RGBA_ALPHA]) << 24 | std::uint32_t(line[FI_RGBA_RED]) << 16 | std::uint32_t(line[FI_RGBA_GREEN]) << 8 | line[FI_RGBA_BLUE];
                ASSERT_EQ(still.Pixels()[static_cast<std::size_t>(y * still.Width() + x)], expected)
                    << file.filename() << " " << x << "," << y;
            }
        }
    }
    FreeImage_Unload(reference);
}

INSTANTIATE_TEST_SUITE_P(
    Gifs, GifStill,
    ::testing::Values(StillCase{"dot_on_a_screen", [](const auto&) { return GifOfDots(40, 30, {{10, 5}, {3, 3}}, false); }},
                      StillCase{"dot_on_a_clear_screen",
                                [](const auto&) { return GifOfDots(40, 30, {{39, 29}, {3, 3}}, true); }},
                      StillCase{"whole_frames",
                                [](const ScratchFolder& f) {
                                    std::vector<std::uint8_t> a(96), b(96, 7);
                                    for (std::size_t i = 0; i < a.size(); ++i)
                                        a[i] = static_cast<std::uint8_t>(i * 5);
                                    imagingtest::WriteGif(f / "made.gif", 12, 8, {a, b});
                                    return imagingtest::ReadBytes(f / "made.gif");
                                }},
                      // Long runs: the code table fills up and grows to 12-bit codes.
                      StillCase{"long_runs",
                                [](const ScratchFolder& f) {
                                    std::vector<std::uint8_t> a(300 * 200, 10);
                                    for (std::size_t i = 0; i < a.size(); i += 97)
                                        a[i] = static_cast<std::uint8_t>(i % 251);
                                    imagingtest::WriteGif(f / "made.gif", 300, 200, {a, a});
                                    return imagingtest::ReadBytes(f / "made.gif");
                                }}),
    testnames::ByName());

// One book decodes a bounded number of pixels; past it, nothing is decoded.
TEST(DecodingBudget, EndsDecodingWhenSpent)
{
    ScratchFolder folder("budget");
    imagingtest::WriteBytes(folder / "a.gif", GifOfDots(100, 100, {{1, 1}, {2, 2}}, false));
    const auto info = imaging::ProbePicture(folder / "a.gif");
    ASSERT_TRUE(info);
    {
        const imaging::DecodingBudget budget(25'000);
        EXPECT_FALSE(imaging::DecodePicture(folder / "a.gif", *info).IsEmpty());
        EXPECT_FALSE(imaging::DecodePicture(folder / "a.gif", *info).IsEmpty());
        EXPECT_EQ(imaging::DecodePicture(folder / "a.gif", *info).GetLastStatus(), imaging::ImageStatus::ValueOverflow);
        // The animated picture stays itself when no still can be made.
        EXPECT_EQ(imaging::PrepareStillPicture(folder / "a.gif", folder / "stills"), folder / "a.gif");
    }
    EXPECT_FALSE(imaging::DecodePicture(folder / "a.gif", *info).IsEmpty());
}

// An animated WebP of two lossless frames on a 6 x 4 canvas, the first one
// 4 x 2 at (2, 2).
Bytes AnimatedWebP(const std::vector<std::uint32_t>& first)
{
    const auto frame = [](int w, int h, const std::vector<std::uint32_t>& argb) {
        Bytes rgba;
        for (const std::uint32_t p : argb)
            rgba.insert(rgba.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                     static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 24)});
        std::uint8_t* out = nullptr;
        const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &out);
        // The encoder gives a whole RIFF file; the frame is its VP8L chunk.
        Bytes chunk(out + 12, out + size);
        WebPFree(out);
        return chunk;
    };
    const auto anmf = [](unsigned x, unsigned y, unsigned w, unsigned h, const Bytes& data) {
        Bytes b{'A', 'N', 'M', 'F'};
        Le32(b, static_cast<std::uint32_t>(16 + data.size()));
        Le24(b, x / 2);
        Le24(b, y / 2);
        Le24(b, w - 1);
        Le24(b, h - 1);
        Le24(b, 100);
        b.push_back(0);
        b.insert(b.end(), data.begin(), data.end());
        if (b.size() % 2)
            b.push_back(0);
        return b;
    };
    Bytes body{'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    Le32(body, 10);
    body.insert(body.end(), {0x12, 0, 0, 0});  // animation, alpha
    Le24(body, 6 - 1);
    Le24(body, 4 - 1);
    body.insert(body.end(), {'A', 'N', 'I', 'M'});
    Le32(body, 6);
    Le32(body, 0);
    Le16(body, 0);
    const Bytes one = anmf(2, 2, 4, 2, frame(4, 2, first));
    const Bytes two = anmf(0, 0, 6, 4, frame(6, 4, std::vector<std::uint32_t>(24, 0xFF00FF00u)));
    body.insert(body.end(), one.begin(), one.end());
    body.insert(body.end(), two.begin(), two.end());
    Bytes file{'R', 'I', 'F', 'F'};
    Le32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(AnimatedWebP, GivesItsFirstFrameAsAStill)
{
    ScratchFolder folder("webp-still");
    const std::vector<std::uint32_t> first{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80FFFFFFu,
                                           0xFF123456u, 0xFF654321u, 0xFFABCDEFu, 0xFF000000u};
    imagingtest::WriteBytes(folder / "a.webp", AnimatedWebP(first));
    const auto info = imaging::ProbePicture(folder / "a.webp");
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->animated);
    const auto still = imaging::PrepareStillPicture(folder / "a.webp", folder / "stills");
    ASSERT_NE(still, folder / "a.webp");
    const ArgbBitmap bitmap = ArgbBitmap::FromFile(still);
    ASSERT_EQ(bitmap.Width(), 6);
    ASSERT_EQ(bitmap.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inFrame = x >= 2 && y >= 2;
            EXPECT_EQ(bitmap.Pixels()[static_cast<std::size_t>(y * 6 + x)],
                      inFrame ? first[static_cast<std::size_t>((y - 2) * 4 + x - 2)] : 0u)
                << x << "," << y;
        }
}

// What an image operation inside the library throws, as its public
// functions report it; a machine's failure is no picture's and passes on.
TEST(ImageFailure, GivesTheStatusTheFunctionsReport)
{
    using imaging::ImageStatus;
    using imaging::detail::ImageFailure;
    const std::pair<std::function<void()>, ImageStatus> cases[] = {
        {[] {}, ImageStatus::Ok},
        {[] { throw ImageFailure(ImageStatus::FileNotFound, "no such file"); }, ImageStatus::FileNotFound},
        {[] { throw ImageFailure(ImageStatus::UnknownImageFormat, "decoding failed"); }, ImageStatus::UnknownImageFormat},
        {[] { throw std::bad_alloc(); }, ImageStatus::OutOfMemory},
        {[] { throw std::runtime_error("convert to 32 bits"); }, ImageStatus::OutOfMemory},
    };
    for (const auto& [operation, status] : cases) {
        EXPECT_EQ(imaging::detail::StatusOf(operation), status);
        const ArgbBitmap bitmap = imaging::detail::BitmapOrEmpty([&] { operation(); return ArgbBitmap(1, 1); });
        EXPECT_EQ(bitmap.IsEmpty(), status != ImageStatus::Ok);
        EXPECT_EQ(bitmap.GetLastStatus(), status);
    }
    EXPECT_THROW(imaging::detail::StatusOf([] { imaging::ThrowOutOfMemory("writing"); }), imaging::ResourceError);
    EXPECT_THROW(imaging::detail::StatusOf([] { throw std::logic_error("broken"); }), std::logic_error);
}

}  // namespace
