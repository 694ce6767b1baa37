#include "imaging/ArgbBitmap.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageResampler.h"
#include "imaging/PictureProbe.h"
#include "imaging/ResourceError.h"
#include "imaging/TextureFiles.h"

#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>
#include "support/CaseNames.h"

namespace {

using imaging::ArgbBitmap;
using imaging::ImageStatus;
using imagingtest::ScratchFolder;

std::vector<unsigned char> Cut(std::vector<unsigned char> bytes, std::size_t keep)
{
    bytes.resize(keep);
    return bytes;
}

// A GIF whose screen and only frame are width x height, with two bytes of
// image data.
std::vector<unsigned char> GifDeclaring(unsigned width, unsigned height, unsigned frameLeft = 0)
{
    const auto w0 = static_cast<unsigned char>(width), w1 = static_cast<unsigned char>(width >> 8);
    const auto h0 = static_cast<unsigned char>(height), h1 = static_cast<unsigned char>(height >> 8);
    return {'G', 'I', 'F', '8', '9', 'a', w0, w1, h0, h1, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
            0x2C, static_cast<unsigned char>(frameLeft), 0, 0, 0, w0, w1, h0, h1, 0,
            2, 2, 0x4C, 0x01, 0, 0x3B};
}

struct DecodeCase {
    const char* name;
    std::function<std::vector<unsigned char>(const ScratchFolder&)> make;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class SlidePictureDecoding : public ::testing::TestWithParam<DecodeCase> {};

// The still maker and the engine must agree: whatever the probe refuses is not
// decoded, has no frames and gets no still copy.
TEST_P(SlidePictureDecoding, FollowsTheProbeSilently)
{
    ScratchFolder folder("decoding");
    const auto file = folder / "picture.gif";
    imagingtest::WriteBytes(file, GetParam().make(folder));
    const auto info = imaging::ProbePicture(file);

    ::testing::internal::CaptureStderr();
    const ArgbBitmap bitmap = ArgbBitmap::FromFile(file);
    const bool animated = imaging::IsAnimatedImage(file);
    const auto still = imaging::PrepareStillPicture(file, folder / "stills");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(bitmap.IsEmpty(), !info);
    EXPECT_EQ(animated, info && info->animated);
    EXPECT_EQ(still != file, info && info->animated);
    if (info) {
        EXPECT_EQ(bitmap.Width(), info->width);
        EXPECT_EQ(bitmap.Height(), info->height);
    }
}

std::vector<unsigned char> Gif(const ScratchFolder& folder, int frames)
{
    std::vector<std::vector<std::uint8_t>> pixels;
    for (int i = 0; i < frames; ++i)
        pixels.emplace_back(12 * 8, static_cast<std::uint8_t>(i * 40 + 3));
    imagingtest::WriteGif(folder / "made.gif", 12, 8, pixels);
    return imagingtest::ReadBytes(folder / "made.gif");
}

std::vector<unsigned char> Encoded(const ScratchFolder& folder, FREE_IMAGE_FORMAT format)
{
    imagingtest::WriteImage(folder / "made", 16, 16, std::vector<std::uint32_t>(256, 0xFF336699u), format);
    return imagingtest::ReadBytes(folder / "made");
}

INSTANTIATE_TEST_SUITE_P(
    All, SlidePictureDecoding,
    ::testing::Values(
        DecodeCase{"StillGif", [](const auto& f) { return Gif(f, 1); }},
        DecodeCase{"AnimatedGif", [](const auto& f) { return Gif(f, 3); }},
        DecodeCase{"AnimatedGifCutInItsLastFrame", [](const auto& f) { auto b = Gif(f, 3); return Cut(b, b.size() - 6); }},
        DecodeCase{"GifFrameOutsideScreen", [](const auto&) { return GifDeclaring(4, 4, 2); }},
        DecodeCase{"GifWithoutScreen", [](const auto&) { return GifDeclaring(0, 0); }},
        DecodeCase{"Png", [](const auto& f) { return Encoded(f, FIF_PNG); }},
        DecodeCase{"PngCut", [](const auto& f) { auto b = Encoded(f, FIF_PNG); return Cut(b, b.size() - 12); }},
        DecodeCase{"JpegCut", [](const auto& f) { auto b = Encoded(f, FIF_JPEG); return Cut(b, b.size() * 3 / 4); }},
        DecodeCase{"Tiff", [](const auto& f) { return Encoded(f, FIF_TIFF); }},
        DecodeCase{"WebP", [](const auto& f) { return Encoded(f, FIF_WEBP); }},
        DecodeCase{"Ico", [](const auto& f) { return Encoded(f, FIF_ICO); }},
        DecodeCase{"IcoCut", [](const auto& f) { auto b = Encoded(f, FIF_ICO); return Cut(b, 30); }},
        DecodeCase{"Empty", [](const auto&) { return std::vector<unsigned char>{}; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SlidePictureDecoding, IcoIsNotASlidePicture)
{
    ScratchFolder folder("ico");
    imagingtest::WriteBytes(folder / "icon.ico", Encoded(folder, FIF_ICO));
    EXPECT_EQ(ArgbBitmap::FromFile(folder / "icon.ico").GetLastStatus(), ImageStatus::UnknownImageFormat);
}

// Sets an address-space limit this far above what the process uses now.
[[maybe_unused]] void LimitAddressSpaceTo(std::size_t headroomBytes)
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const auto now = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{now + headroomBytes, now + headroomBytes};
    setrlimit(RLIMIT_AS, &limit);
}

bool HugeGifRefusedCheaply(const std::filesystem::path& folder)
{
    const auto file = folder / "huge.gif";
    imaging::PictureFault fault{};
    const bool refused = !imaging::ProbePicture(file, &fault) && fault == imaging::PictureFault::TooLarge;
    const ArgbBitmap bitmap = ArgbBitmap::FromFile(file);
    return refused && bitmap.GetLastStatus() == ImageStatus::ValueOverflow && !imaging::IsAnimatedImage(file) && imaging::PrepareStillPicture(file, folder / "stills") == file && !imaging::CImageResampler().Resample(folder / "out.png", file, 0, 0, 0, std::nullopt, {});
}

TEST(SlidePictureDecodingDeathTest, HugeGifIsRefusedWithinALittleMemory)
{
    ScratchFolder folder("huge-gif");
    const auto gif = GifDeclaring(60000, 60000);
    ASSERT_LT(gif.size(), 40u);
    imagingtest::WriteBytes(folder / "huge.gif", gif);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
#if !defined(__SANITIZE_ADDRESS__)
            // The sanitizer reserves terabytes of address space up front.
            LimitAddressSpaceTo(64u << 20);
#endif
            const bool refused = HugeGifRefusedCheaply(folder.Path());
            folder.Remove();
            std::_Exit(refused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Pictures that decode to 64 MB of pixels from files of a few kilobytes.
[[maybe_unused]] void WriteLargePictures(const std::filesystem::path& folder)
{
    // A 4000 x 4000 grey TIFF, deflated.
    FIBITMAP* grey = FreeImage_Allocate(4000, 4000, 8);
    ASSERT_NE(grey, nullptr);
    const bool saved = FreeImage_Save(FIF_TIFF, grey, (folder / "large.tif").c_str(), TIFF_DEFLATE);
    FreeImage_Unload(grey);
    ASSERT_TRUE(saved);
    // The same in 48-bit colour, which FreeImage decodes; written a row at a
    // time, so that this process holds no large block the limit then counts.
    TIFF* deep = TIFFOpen((folder / "large48.tif").c_str(), "w");
    ASSERT_NE(deep, nullptr);
    TIFFSetField(deep, TIFFTAG_IMAGEWIDTH, 4000);
    TIFFSetField(deep, TIFFTAG_IMAGELENGTH, 4000);
    TIFFSetField(deep, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(deep, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(deep, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(deep, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(deep, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(deep, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<std::uint16_t> row(3 * 4000, 0);
    bool rowsWritten = true;
    for (std::uint32_t y = 0; y < 4000 && rowsWritten; ++y)
        rowsWritten = TIFFWriteScanline(deep, row.data(), y, 0) == 1;
    TIFFClose(deep);
    ASSERT_TRUE(rowsWritten);
    // Two one-pixel frames on a 4000 x 4000 screen: the first frame is drawn
    // on the whole screen.
    imagingtest::WriteBytes(folder / "large.gif",
                            {'G', 'I', 'F', '8', '9', 'a', 0xA0, 0x0F, 0xA0, 0x0F, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                             0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0,
                             0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
}

// Memory that runs out while a picture is decoded fails the conversion; the
// picture is not left out, nor the texture shown untinted.
struct OutOfMemoryCase {
    const char* name;
    std::function<void(const std::filesystem::path&)> decode;
    const char* reason;
};

void PrintTo(const OutOfMemoryCase& c, std::ostream* os) { *os << c.name; }

class OutOfMemory : public ::testing::TestWithParam<OutOfMemoryCase> {};

TEST_P(OutOfMemory, FailsWithTheReason)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves terabytes of address space up front";
#else
    ScratchFolder folder("out-of-memory");
    WriteLargePictures(folder.Path());
    const OutOfMemoryCase& c = GetParam();
    ASSERT_TRUE(imaging::ProbePicture(folder / "large.tif"));
    ASSERT_TRUE(imaging::IsAnimatedImage(folder / "large.gif"));
    const auto decodeInLittleMemory = [&] {
        LimitAddressSpaceTo(32u << 20);
        try {
            c.decode(folder.Path());
        } catch (const imaging::ResourceError& e) {
            std::fputs(e.what(), stderr);
            std::_Exit(0);
        }
        std::_Exit(1);
    };
    EXPECT_EXIT(decodeInLittleMemory(), ::testing::ExitedWithCode(0), c.reason);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Decoding, OutOfMemory,
    ::testing::Values(
        OutOfMemoryCase{"picture_converted_to_png",
                        [](const auto& f) { ArgbBitmap::FromFile(f / "large.tif"); },
                        "out of memory while decoding picture large.tif"},
        OutOfMemoryCase{"picture_decoded_by_freeimage",
                        [](const auto& f) { ArgbBitmap::FromFile(f / "large48.tif"); },
                        "out of memory while decoding picture large48.tif"},
        OutOfMemoryCase{"tinted_texture",
                        [](const auto& f) { imaging::GetTintedTextureFile(f / "large.tif", 255, f); },
                        "out of memory while decoding picture large.tif"}),
    testnames::ByName());

// The still of a small frame on a large screen needs no screen-sized bitmap:
// it is made where 16 MB of pixels would not fit.
TEST(StillOfALargeScreen, FitsInLittleMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves terabytes of address space up front";
#else
    ScratchFolder folder("large-screen");
    WriteLargePictures(folder.Path());
    const auto stillInLittleMemory = [&] {
        LimitAddressSpaceTo(8u << 20);
        const auto still = imaging::PrepareStillPicture(folder / "large.gif", folder / "stills");
        std::_Exit(still != folder / "large.gif" ? 0 : 1);
    };
    EXPECT_EXIT(stillInLittleMemory(), ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
