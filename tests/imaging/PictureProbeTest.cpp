#include "imaging/PictureProbe.h"

#include "ImageTestSupport.h"

#include <gtest/gtest.h>

namespace {

using imaging::PictureFault;
using imaging::PictureFormat;
using imaging::ProbePicture;
using imagingtest::ScratchFolder;

// A 24-bit picture of the format with the given resolution (0: none).
std::vector<unsigned char> Encode(FREE_IMAGE_FORMAT format, int width, int height, unsigned dotsPerMetre,
                                  int flags = 0)
{
    FIBITMAP* dib = FreeImage_Allocate(width, height, 24);
    RGBQUAD colour{40, 90, 200, 0};
    FreeImage_FillBackground(dib, &colour);
    FreeImage_SetDotsPerMeterX(dib, dotsPerMetre);
    FreeImage_SetDotsPerMeterY(dib, dotsPerMetre);
    if (format == FIF_GIF) {
        FIBITMAP* indexed = FreeImage_ColorQuantize(dib, FIQ_WUQUANT);
        FreeImage_Unload(dib);
        dib = indexed;
    }
    FIMEMORY* memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(format, dib, memory, format == FIF_JPEG ? 90 : flags);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    std::vector<unsigned char> bytes(data, data + size);
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(dib);
    return bytes;
}

// A GIF with a logical screen and one 1 x 1 frame at (left, top).
std::vector<unsigned char> TinyGif(unsigned screenW, unsigned screenH, unsigned left, unsigned top)
{
    return {'G', 'I', 'F', '8', '9', 'a', static_cast<unsigned char>(screenW), static_cast<unsigned char>(screenW >> 8),
            static_cast<unsigned char>(screenH), static_cast<unsigned char>(screenH >> 8), 0, 0, 0,
            0x2C, static_cast<unsigned char>(left), static_cast<unsigned char>(left >> 8), static_cast<unsigned char>(top),
            static_cast<unsigned char>(top >> 8), 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
}

std::vector<unsigned char> Cut(std::vector<unsigned char> bytes, std::size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

struct FormatCase {
    const char* name;
    FREE_IMAGE_FORMAT writer;
    PictureFormat format;
    bool hasResolution;
    bool endIsImageData;  // TIFF ends with its directory's values
    int flags = 0;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class ProbeFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ProbeFormats, ReadsSizeAndResolutionAndRefusesCuts)
{
    const FormatCase& c = GetParam();
    const auto bytes = Encode(c.writer, 37, 21, 3780, c.flags);  // 96.01 dpi
    ASSERT_FALSE(bytes.empty());
    const auto info = ProbePicture(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, c.format);
    EXPECT_EQ(info->width, 37);
    EXPECT_EQ(info->height, 21);
    EXPECT_FALSE(info->animated);
    EXPECT_NEAR(info->dpiX, c.hasResolution ? 96.0 : 0.0, 0.1);
    EXPECT_NEAR(info->dpiY, c.hasResolution ? 96.0 : 0.0, 0.1);

    for (const std::size_t keep : {bytes.size() / 2, c.endIsImageData ? bytes.size() - 2 : 8}) {
        PictureFault fault{};
        EXPECT_FALSE(ProbePicture(std::span(bytes.data(), keep), &fault)) << keep;
        EXPECT_EQ(fault, PictureFault::Truncated) << keep;
    }
}

INSTANTIATE_TEST_SUITE_P(All, ProbeFormats,
                         ::testing::Values(FormatCase{"Png", FIF_PNG, PictureFormat::Png, true, true},
                                           FormatCase{"Jpeg", FIF_JPEG, PictureFormat::Jpeg, true, true},
                                           FormatCase{"Bmp", FIF_BMP, PictureFormat::Bmp, true, true},
                                           FormatCase{"Tiff", FIF_TIFF, PictureFormat::Tiff, true, false},
                                           FormatCase{"WebP", FIF_WEBP, PictureFormat::WebP, false, true},
                                           FormatCase{"WebPLossless", FIF_WEBP, PictureFormat::WebP, false, true, WEBP_LOSSLESS},
                                           FormatCase{"Gif", FIF_GIF, PictureFormat::Gif, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::vector<unsigned char> bytes;
    PictureFault fault;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class ProbeRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ProbeRefuses, WithItsReasonAndSilently)
{
    ScratchFolder folder("probe-refuses");
    imagingtest::WriteBytes(folder / "picture", GetParam().bytes);
    ::testing::internal::CaptureStderr();
    PictureFault fromBytes{}, fromFile{};
    EXPECT_FALSE(ProbePicture(GetParam().bytes, &fromBytes));
    EXPECT_FALSE(ProbePicture(folder / "picture", &fromFile));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fromBytes, GetParam().fault);
    EXPECT_EQ(fromFile, GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    All, ProbeRefuses,
    ::testing::Values(
        RefusalCase{"Empty", {}, PictureFault::Empty},
        RefusalCase{"Ico", Encode(FIF_ICO, 16, 16, 0), PictureFault::UnknownFormat},
        RefusalCase{"Psd", {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 16, 0, 0, 0, 16, 0, 8, 0, 3}, PictureFault::UnknownFormat},
        RefusalCase{"Pcx", {0x0A, 5, 1, 8, 0, 0, 0, 0, 15, 0, 15, 0}, PictureFault::UnknownFormat},
        RefusalCase{"GifOf60000Squared", TinyGif(60000, 60000, 0, 0), PictureFault::TooLarge},
        RefusalCase{"GifWithoutScreen", TinyGif(0, 0, 0, 0), PictureFault::Malformed},
        RefusalCase{"GifFrameOutsideScreen", TinyGif(4, 4, 4, 0), PictureFault::Malformed},
        RefusalCase{"GifCutInItsFrame", Cut(TinyGif(4, 4, 0, 0), 4), PictureFault::Truncated},
        RefusalCase{"PngOf60000Squared", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 6, 0, 0, 0, 0x3B, 0x8E, 0x2E, 0x6A, 0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}, PictureFault::TooLarge}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Probe, JpegWithStrayBytesBetweenSegmentsIsRead)
{
    auto bytes = Encode(FIF_JPEG, 9, 7, 0);
    ASSERT_EQ(bytes[3], 0xE0);  // APP0 right after the start marker
    const std::size_t next = 4 + (bytes[4] << 8 | bytes[5]);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(next), {0x00, 0x12, 0x34});
    const auto info = ProbePicture(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 9);
    EXPECT_EQ(info->height, 7);
}

TEST(Probe, GifFramesAndMissingFiles)
{
    const auto one = TinyGif(4, 4, 3, 3);
    EXPECT_EQ(one.size(), 29u);
    const auto info = ProbePicture(one);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 4);
    EXPECT_EQ(info->frameCount, 1);
    EXPECT_FALSE(info->animated);

    std::vector<unsigned char> two(one.begin(), one.end() - 1);
    two.insert(two.end(), one.begin() + 13, one.end());
    const auto animated = ProbePicture(two);
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->frameCount, 2);
    EXPECT_TRUE(animated->animated);

    ScratchFolder folder("probe-files");
    PictureFault fault{};
    EXPECT_FALSE(ProbePicture(folder / "missing.png", &fault));
    EXPECT_EQ(fault, PictureFault::Unreadable);
    EXPECT_FALSE(ProbePicture(folder.Path(), &fault));
    EXPECT_EQ(fault, PictureFault::Unreadable);
}

}  // namespace
