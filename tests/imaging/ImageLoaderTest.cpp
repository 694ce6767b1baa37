#include "imaging/ImageLoader.h"

#include "imaging/FreeImageSupport.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace imaging;
using imaging::detail::ToArgb;
using imaging::detail::ToFreeImage;
using Bytes = std::vector<unsigned char>;

namespace {

// A PNG of side x side pixels, all of one colour.
Bytes Png(int side, std::uint32_t argb)
{
    ArgbBitmap bitmap(side, side);
    {
        auto lock = bitmap.LockBits();
        for (int y = 0; y < side; ++y)
            std::fill(lock->Row(y), lock->Row(y) + side, argb);
    }
    freeimagecpp::CFreeImageMemory memory;
    memory.Save(FIF_PNG, ToFreeImage(bitmap), 0);
    const auto bytes = memory.Bytes();
    return Bytes(bytes.begin(), bytes.end());
}

void Put(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// An icon file of PNG frames, in the given order.
Bytes Ico(const std::vector<std::pair<int, std::uint32_t>>& frames)
{
    std::vector<Bytes> images;
    for (const auto& [side, colour] : frames)
        images.push_back(Png(side, colour));
    Bytes ico;
    Put(ico, 0, 2);
    Put(ico, 1, 2);
    Put(ico, static_cast<std::uint32_t>(frames.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int side = frames[i].first;
        ico.push_back(static_cast<unsigned char>(side >= 256 ? 0 : side));
        ico.push_back(static_cast<unsigned char>(side >= 256 ? 0 : side));
        Put(ico, 0, 2);
        Put(ico, 1, 2);
        Put(ico, 32, 2);
        Put(ico, static_cast<std::uint32_t>(images[i].size()), 4);
        Put(ico, offset, 4);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

struct PageCase {
    const char* name;
    std::vector<int> widths;
    int requested;
    std::size_t expected;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
class ChooseIconPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(ChooseIconPageTest, NarrowestWideEnough)
{
    EXPECT_EQ(ChooseIconPage(GetParam().widths, GetParam().requested), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChooseIconPageTest,
                         ::testing::Values(PageCase{"Between", {16, 32, 48, 256}, 40, 2},
                                           PageCase{"Exact", {16, 32, 48, 256}, 48, 2},
                                           PageCase{"TooLargeGivesWidest", {16, 256, 32, 48}, 300, 1},
                                           PageCase{"ZeroGivesNarrowest", {48, 16, 32}, 0, 1},
                                           PageCase{"EqualWidthsFirstInFile", {64, 32, 16, 32}, 20, 1},
                                           PageCase{"None", {}, 32, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SizeCase {
    const char* name;
    int w, h, boxWidth, boxHeight;
    ScaleMode mode;
    BoxSize expected;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }
class ScaledSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ScaledSizeTest, KeepsTheAspect)
{
    const auto& p = GetParam();
    EXPECT_EQ(ScaledSize(p.w, p.h, p.boxWidth, p.boxHeight, p.mode), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaledSizeTest,
    ::testing::Values(SizeCase{"FitWide", 100, 50, 40, 40, ScaleMode::Fit, {40, 20}},
                      SizeCase{"FillWide", 100, 50, 40, 40, ScaleMode::Fill, {80, 40}},
                      SizeCase{"Stretch", 100, 50, 40, 40, ScaleMode::Stretch, {40, 40}},
                      SizeCase{"FitRoundsTwice", 3, 2, 10, 10, ScaleMode::Fit, {11, 7}},
                      SizeCase{"FitTall", 50, 100, 40, 40, ScaleMode::Fit, {20, 40}},
                      SizeCase{"FillTall", 50, 100, 40, 40, ScaleMode::Fill, {40, 80}},
                      SizeCase{"FitHalfRoundsUp", 5, 2, 3, 3, ScaleMode::Fit, {3, 1}},  // 2.5 x 1
                      SizeCase{"Same", 32, 32, 32, 32, ScaleMode::Fit, {32, 32}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScaledSize, EmptyImageOrBoxIsRefused)
{
    EXPECT_THROW(ScaledSize(0, 10, 10, 10, ScaleMode::Fit), std::invalid_argument);
    EXPECT_THROW(ScaledSize(10, 10, 10, 0, ScaleMode::Fill), std::invalid_argument);
}

TEST(ScaleToBox, SameSizeIsTheSameBitmap)
{
    ArgbBitmap bitmap(32, 32);
    const auto* pixels = bitmap.Pixels().data();
    const ArgbBitmap same = ScaleToBox(std::move(bitmap), 32, 32, ScaleMode::Fit);
    EXPECT_EQ(same.Pixels().data(), pixels);
    const ArgbBitmap scaled = ScaleToBox(ArgbBitmap(100, 50), 40, 40, ScaleMode::Fill);
    EXPECT_EQ(scaled.Width(), 80);
    EXPECT_EQ(scaled.Height(), 40);
}

TEST(ToFreeImage, RoundTripKeepsTopRowFirst)
{
    ArgbBitmap bitmap(2, 2);
    bitmap.SetPixel(0, 0, 0xFF112233);
    bitmap.SetPixel(1, 1, 0x80445566);
    const ArgbBitmap back = ToArgb(ToFreeImage(bitmap));
    EXPECT_EQ(std::vector<std::uint32_t>(back.Pixels().begin(), back.Pixels().end()),
              (std::vector<std::uint32_t>{0xFF112233, 0, 0, 0x80445566}));
}

struct LoadCase {
    int requested;
    int width;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << "requested " << c.requested; }
class IconLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(IconLoadTest, DecodesTheChosenFrame)
{
    const Bytes ico = Ico({{16, 0xFF000010}, {32, 0xFF000020}, {48, 0xFF000030}, {256, 0xFF0000F0}});
    const ArgbBitmap image = LoadImageFromMemory(ico, "7", GetParam().requested);
    EXPECT_EQ(image.Width(), GetParam().width);
    EXPECT_EQ(image.Pixels()[0] & 0xFF, static_cast<std::uint32_t>(GetParam().width == 256 ? 0xF0 : GetParam().width));
}

INSTANTIATE_TEST_SUITE_P(Cases, IconLoadTest, ::testing::Values(LoadCase{40, 48}, LoadCase{300, 256}, LoadCase{0, 16}),
                         [](const auto& info) { return "Requested" + std::to_string(info.param.requested); });

TEST(LoadImage, EqualFramesFirstInFileWins)
{
    const Bytes ico = Ico({{32, 0xFF000001}, {32, 0xFF000002}});
    EXPECT_EQ(LoadImageFromMemory(ico, "x", 32).Pixels()[0], 0xFF000001u);
}

TEST(LoadImage, PngAndUnknownFormats)
{
    const Bytes png = Png(5, 0xFF00FF00);
    const ResourceFinder find = [&](std::string_view name) -> std::optional<std::span<const unsigned char>> {
        static const unsigned char gif[] = "GIF89a\x01\x00\x01\x00";
        if (name == "5")
            return std::span<const unsigned char>(png);
        if (name == "7")
            return std::span<const unsigned char>(gif, sizeof gif);
        if (name == "9")  // a PNG cut short
            return std::span<const unsigned char>(png.data(), 40);
        return std::nullopt;
    };
    EXPECT_EQ(LoadImageFromResource(find, "5", 32).Pixels()[0], 0xFF00FF00u);
    for (const auto& [name, message] : {std::pair{"7", "Unknown image format for resource 7"},
                                        {"8", "Unknown image format for resource 8"},
                                        {"9", "Cannot load image from resource 9"}}) {
        try {
            LoadImageFromResource(find, name, 32);
            ADD_FAILURE() << name;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(LoadImage, FromFile)
{
    const testsupport::ScratchFolder folder("ico");
    const Bytes ico = Ico({{16, 0xFF000010}, {48, 0xFF000030}});
    const std::string path =
        folder.Write("icon", std::string_view(reinterpret_cast<const char*>(ico.data()), ico.size())).string();
    EXPECT_EQ(LoadImageFromFile(path, 20).Width(), 48);
    std::filesystem::remove(path);
    EXPECT_THROW(LoadImageFromFile(path, 20), std::runtime_error);
    try {
        freeimagecpp::CFreeImageIOFile missing(path);
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file '" + path + "' for reading: No such file or directory");
    }
}

TEST(FreeImageIOMemory, SeeksWithinTheBytes)
{
    const unsigned char bytes[4] = {1, 2, 3, 4};
    freeimagecpp::CFreeImageIOMemory io(bytes, 4);
    unsigned char buffer[4] = {};
    EXPECT_EQ(io.Read(buffer, 3, 2), 1u);  // whole items only
    EXPECT_EQ(io.Tell(), 3);
    EXPECT_EQ(io.Seek(5, SEEK_SET), -1);
    EXPECT_EQ(io.Tell(), 3);
    EXPECT_EQ(io.Seek(0, SEEK_END), 0);
    EXPECT_EQ(io.Read(buffer, 1, 1), 0u);
    EXPECT_EQ(io.Seek(-4, SEEK_CUR), 0);
    EXPECT_EQ(io.Read(buffer, 1, 4), 4u);
    EXPECT_THROW(io.Seek(0, 7), std::runtime_error);
    EXPECT_THROW(io.Write(buffer, 1, 1), std::logic_error);
}

class ThrowingIO : public freeimagecpp::IFreeImageIO {
public:
    unsigned Read(void*, unsigned, unsigned) override { throw std::domain_error("adapter broke"); }
    unsigned Write(const void*, unsigned, unsigned) override { return 0; }
    int Seek(long, int) override { return 0; }
    long Tell() override { return 0; }
};

TEST(FreeImageMultiBitmap, AdapterExceptionSurfacesUnchanged)
{
    ThrowingIO io;
    EXPECT_THROW(freeimagecpp::CFreeImageMultiBitmap(FIF_ICO, io, 0), std::domain_error);
}

TEST(FreeImageBitmap, EmptyIsNotInitialized)
{
    freeimagecpp::CFreeImageBitmap empty;
    try {
        empty.Width();
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "not initialized");
    }
}

// Each failure of an owner names the FreeImage operation that failed.
TEST(FreeImageOwners, FailuresNameTheOperation)
{
    using freeimagecpp::CFreeImageBitmap;
    const auto allocated = [](FREE_IMAGE_TYPE type, int bpp) {
        CFreeImageBitmap bitmap(FreeImage_AllocateT(type, 2, 2, bpp));
        if (bitmap.IsEmpty())
            throw std::logic_error("test bitmap not allocated");
        return bitmap;
    };
    const unsigned char garbage[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { freeimagecpp::CFreeImageMemory(garbage).Load(FIF_PNG, 0); }, "load from memory"},
        {[&] { freeimagecpp::CFreeImageMemory().Save(FIF_UNKNOWN, allocated(FIT_BITMAP, 32), 0); }, "save to memory"},
        {[&] { allocated(FIT_BITMAP, 32).Palette(); }, "get palette"},
        {[&] { allocated(FIT_RGBF, 96).ConvertToStandardType(true); }, "convert to standard type"},
        {[&] { allocated(FIT_FLOAT, 32).ConvertTo24Bits(); }, "convert to 24 bits"},
        {[&] { allocated(FIT_BITMAP, 8).ColorQuantize(FIQ_WUQUANT); }, "color quantize"},
        {[] { CFreeImageBitmap().HasPixels(); }, "not initialized"},
    };
    for (const auto& [call, text] : cases) {
        try {
            call();
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}

}  // namespace
