#include "resources/Icons.h"
#include "ui/IconImages.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace ui;

namespace {

unsigned Big32(std::span<const unsigned char> b, std::size_t at)
{
    return unsigned(b[at]) << 24 | unsigned(b[at + 1]) << 16 | unsigned(b[at + 2]) << 8 | b[at + 3];
}

class EmbeddedIconTest : public ::testing::TestWithParam<const char*> {};

// Every icon has a PNG image of each size from 16 to 256 pixels, drawn on a
// clear background (corners transparent, centre opaque).
TEST_P(EmbeddedIconTest, HasADrawnPngImageOfEachSize)
{
    const auto ico = resources::FindIcons(GetParam());
    ASSERT_TRUE(ico);
    for (unsigned size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        SCOPED_TRACE(size);
        const auto png = IconImage(*ico, static_cast<int>(size));
        ASSERT_GE(png.size(), 24u);
        EXPECT_EQ(Big32(png, 16), size);
        EXPECT_EQ(Big32(png, 20), size);

        FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()));
        std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)> dib(FreeImage_LoadFromMemory(FIF_PNG, memory, 0),
                                                                   FreeImage_Unload);
        FreeImage_CloseMemory(memory);
        ASSERT_TRUE(dib);
        RGBQUAD corner{}, centre{};
        FreeImage_GetPixelColor(dib.get(), 0, 0, &corner);
        FreeImage_GetPixelColor(dib.get(), size / 2, size / 2, &centre);
        EXPECT_EQ(corner.rgbReserved, 0);
        EXPECT_EQ(centre.rgbReserved, 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Icons, EmbeddedIconTest, ::testing::Values("program", "error", "question", "warning"),
                         [](const auto& info) { return std::string(info.param); });

// Sizes between the stored ones take the next larger image; beyond the
// largest, the largest.
TEST(IconImage, PicksTheSmallestImageAtLeastTheRequestedSize)
{
    const auto ico = *resources::FindIcons("error");
    for (auto [wanted, got] : {std::pair{1u, 16u}, {20u, 24u}, {33u, 48u}, {256u, 256u}, {512u, 256u}})
        EXPECT_EQ(Big32(IconImage(ico, static_cast<int>(wanted)), 16), got) << wanted;
}

TEST(IconImage, MalformedFilesGiveNoImage)
{
    const auto ico = *resources::FindIcons("error");
    std::vector<unsigned char> bytes(ico.begin(), ico.end());
    const std::vector<unsigned char> truncated(bytes.begin(), bytes.begin() + 40);
    std::vector<unsigned char> pastEnd = bytes;
    for (std::size_t i = 0; i < 7; ++i)
        pastEnd[6 + 16 * i + 15] = 0x7F;  // every offset beyond the file
    for (const auto& b : {std::vector<unsigned char>{}, truncated, pastEnd})
        EXPECT_TRUE(IconImage(b, 32).empty());
}

}  // namespace
