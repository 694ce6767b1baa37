#include "resources/Icons.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>

namespace {

unsigned Le(std::span<const unsigned char> b, std::size_t at, int bytes)
{
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

unsigned Be32(std::span<const unsigned char> b, std::size_t at)
{
    return unsigned(b[at]) << 24 | unsigned(b[at + 1]) << 16 | unsigned(b[at + 2]) << 8 | b[at + 3];
}

class EmbeddedIconTest : public ::testing::TestWithParam<const char*> {};

// Every icon is an ICO of PNG images from 16 to 256 pixels, drawn on a clear
// background (corners transparent, centre opaque).
TEST_P(EmbeddedIconTest, IsAnIcoOfPngImagesFrom16To256Pixels)
{
    const auto ico = resources::FindIcons(GetParam());
    ASSERT_TRUE(ico);
    const auto b = *ico;
    ASSERT_GE(b.size(), 6u);
    EXPECT_EQ(Le(b, 0, 2), 0u);
    EXPECT_EQ(Le(b, 2, 2), 1u);
    const unsigned expected[] = {16, 24, 32, 48, 64, 128, 256};
    ASSERT_EQ(Le(b, 4, 2), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i]);
        const std::size_t entry = 6 + 16 * i;
        const unsigned size = b[entry] == 0 ? 256 : b[entry];
        EXPECT_EQ(size, expected[i]);
        const unsigned length = Le(b, entry + 8, 4), offset = Le(b, entry + 12, 4);
        ASSERT_LE(std::size_t(offset) + length, b.size());
        const auto png = b.subspan(offset, length);
        ASSERT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8), 0);
        EXPECT_EQ(Be32(png, 16), size);
        EXPECT_EQ(Be32(png, 20), size);

        FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(png.data()), length);
        std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)> dib(
            FreeImage_LoadFromMemory(FIF_PNG, memory, 0), FreeImage_Unload);
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

}

