#include "imaging/ArgbBitmap.h"
#include "imaging/TextureFiles.h"
#include "imaging/TextureLibrary.h"
#include "resources/Textures.h"

#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

using namespace imaging;

namespace {

struct Expected {
    bool png = false;
    int width = 0;  // nominal
    int widthSlack = 3;  // accepted distance from the nominal width
    int height = 800;
    bool grey = false;  // a grayscale image (also when it is the main one too)
    bool colour = false;  // a main image that must not be grey
};

std::map<int, Expected> ExpectedImages()
{
    const int coverW[4] = {565, 706, 800, 1120};
    // GUID rows: 565..567, 706..712, 800..801, 1120..1132.
    const int guidW[4] = {566, 709, 800, 1126};
    const int guidSlack[4] = {1, 3, 1, 6};
    const int smallW[4] = {326, 410, 461, 645};
    // The library's table is the generator's table; every image it names
    // must be embedded as the generator was meant to draw it.
    const auto rows = TextureLibrary::Textures();
    std::map<int, Expected> images;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string id(rows[r].id);
        const bool cover = id.rfind("bcover", 0) == 0, page = id.rfind("bpage", 0) == 0;
        const bool lastFour = r + 4 >= rows.size();
        for (int cell = 0; cell < 8; ++cell) {
            const int column = cell / 2;
            const bool gray = cell % 2 == 1;
            const auto& pair = rows[r].cells[static_cast<std::size_t>(column)];
            const int number = gray ? pair.grayscale : pair.main;
            Expected e;
            e.png = rows[r].format == TextureLibrary::ImageFormat::Png;
            if (page) {
                e.width = coverW[0];
                e.widthSlack = 0;
            } else if (cover || lastFour) {
                e.width = coverW[column];
                e.widthSlack = 0;
            } else if (gray && id == "A212DBF0-CBF4-405A-A5E6-12B205AF1FB1") {
                e.width = smallW[column];
                e.height = 461;
                e.widthSlack = 0;
            } else {
                e.width = guidW[column];
                e.widthSlack = guidSlack[column];
            }
            auto [it, inserted] = images.emplace(number, e);
            if (!inserted) {
                EXPECT_EQ(it->second.width, e.width) << number << " listed with two sizes";
                EXPECT_EQ(it->second.png, e.png) << number;
            }
            if (gray)
                it->second.grey = true;
            else
                it->second.colour = true;
        }
    }
    // A texture that is its own grayscale image must be grey, not coloured.
    for (auto& [number, e] : images)
        if (e.grey)
            e.colour = false;
    return images;
}

TEST(BuiltInTextures, TableCoversEveryNumberOnce)
{
    const auto images = ExpectedImages();
    ASSERT_EQ(images.size(), 382u);
    EXPECT_EQ(images.begin()->first, 7000);
    EXPECT_EQ(images.rbegin()->first, 7381);
}

TEST(BuiltInTextures, EveryNumberIsAnImageOfTheListedFormatAndSize)
{
    imagingtest::ScratchFolder folder("all");
    for (const auto& [number, e] : ExpectedImages()) {
        SCOPED_TRACE(number);
        const auto bytes = resources::FindTextures(std::to_string(number));
        ASSERT_TRUE(bytes);
        ASSERT_GT(bytes->size(), 8u);
        const bool isPng = (*bytes)[0] == 0x89 && (*bytes)[1] == 'P' && (*bytes)[2] == 'N' && (*bytes)[3] == 'G';
        const bool isJpeg = (*bytes)[0] == 0xFF && (*bytes)[1] == 0xD8;
        EXPECT_EQ(isPng, e.png);
        EXPECT_EQ(isJpeg, !e.png);

        const auto file = GetTextureFile(number, folder.Path());
        ASSERT_FALSE(file.empty());
        ArgbBitmap bitmap = ArgbBitmap::FromFile(file);
        ASSERT_FALSE(bitmap.IsEmpty());
        EXPECT_LE(std::abs(bitmap.Width() - e.width), e.widthSlack) << bitmap.Width();
        EXPECT_LE(std::abs(bitmap.Height() - e.height), e.height == 800 ? 1 : 0) << bitmap.Height();

        int maxChroma = 0, transparent = 0, opaque = 0;
        for (const std::uint32_t p : bitmap.Pixels()) {
            const int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF), b = static_cast<int>(p & 0xFF);
            maxChroma = std::max({maxChroma, std::abs(r - g), std::abs(g - b), std::abs(r - b)});
            const std::uint32_t a = p >> 24;
            transparent += a < 128 ? 1 : 0;
            opaque += a == 255 ? 1 : 0;
        }
        if (e.grey) {
            EXPECT_LE(maxChroma, 2) << "grayscale image has colour";
        }
        if (e.colour) {
            EXPECT_GE(maxChroma, 12) << "main image is grey";
        }
        if (e.png) {
            // Meaningful transparency: both clear and solid parts.
            EXPECT_GT(transparent, 0);
            EXPECT_GT(opaque, 0);
        } else {
            EXPECT_EQ(transparent, 0);
        }
        std::filesystem::remove(file);
    }
}

TEST(BuiltInTextures, MaterialsOfTheCoversDiffer)
{
    // Neighbouring covers use different materials: their grayscale patterns
    // (7123: bcover1, 7115: bcover2, ...) must not be the same picture.
    imagingtest::ScratchFolder folder("distinct");
    const int grays[] = {7123, 7115, 7139, 7131, 7155};
    std::vector<std::vector<std::uint32_t>> pixels;
    for (int number : grays) {
        ArgbBitmap bitmap = ArgbBitmap::FromFile(GetTextureFile(number, folder.Path()));
        ASSERT_EQ(bitmap.Width(), 565);
        pixels.emplace_back(bitmap.Pixels().begin(), bitmap.Pixels().end());
    }
    for (std::size_t i = 0; i < pixels.size(); ++i)
        for (std::size_t j = i + 1; j < pixels.size(); ++j) {
            long difference = 0;
            for (std::size_t k = 0; k < pixels[i].size(); k += 97)
                difference += std::abs(static_cast<int>(pixels[i][k] & 0xFF) - static_cast<int>(pixels[j][k] & 0xFF));
            EXPECT_GT(difference / static_cast<long>(pixels[i].size() / 97), 8) << grays[i] << " vs " << grays[j];
        }
}

}  // namespace
