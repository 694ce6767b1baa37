#include "ImageTestSupport.h"

#include "imaging/CompactPng.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/IndexedTexture.h"
#include "imaging/TextureLibrary.h"
#include "imaging/ResourceError.h"
#include "imaging/TextureFiles.h"
#include "resources/IndexedTextures.h"
#include "resources/Textures.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <set>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

using namespace imaging;
using imagingtest::ScratchFolder;

namespace {

TEST(TextureFile, WrittenOnceAndReused)
{
    ScratchFolder folder("texture");
    const auto path = GetTextureFile(7124, folder.Path());
    ASSERT_EQ(path, folder / "texture_7124");
    const auto embedded = resources::FindTextures("7124");
    ASSERT_TRUE(embedded);
    const auto bytes = imagingtest::ReadBytes(path);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), embedded->begin(), embedded->end()));
    // A second page with the same texture gets the existing file untouched.
    imagingtest::WriteBytes(path, {1, 2, 3});
    EXPECT_EQ(GetTextureFile(7124, folder.Path()), path);
    EXPECT_EQ(imagingtest::ReadBytes(path).size(), 3u);
}

TEST(TextureFile, UnknownNumbersGiveNothing)
{
    ScratchFolder folder("unknown");
    for (int number : {6999, 7382, 0, -7124, 1})
        EXPECT_TRUE(GetTextureFile(number, folder.Path()).empty()) << number;
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    // A texture folder that went missing is the machine's fault, not the book's.
    EXPECT_THROW(GetTextureFile(7000, folder / "missing-folder"), ResourceError);
}

TEST(TintedTexture, WhiteBecomesTheColourAndGreyADarkerShade)
{
    ScratchFolder folder("tint");
    std::vector<std::uint32_t> pixels = {0xFFFFFFFFu, 0xFF808080u, 0x80404040u, 0xFF000000u};
    imagingtest::WriteImage(folder / "texture_7125", 4, 1, pixels, FIF_PNG);
    const auto red = GetTintedTextureFile(folder / "texture_7125", 255, folder.Path());
    ASSERT_EQ(red, folder / "texture_7125_255.png");
    ArgbBitmap tinted = ArgbBitmap::FromFile(red);
    ASSERT_EQ(tinted.Width(), 4);
    EXPECT_EQ(tinted.GetPixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(tinted.GetPixel(1, 0), 0xFF800000u);
    EXPECT_EQ(tinted.GetPixel(2, 0), 0x80400000u);
    EXPECT_EQ(tinted.GetPixel(3, 0), 0xFF000000u);
    // COLORREF: 0x00BBGGRR, so 0xFF0000 is blue.
    const auto blue = GetTintedTextureFile(folder / "texture_7125", 0xFF0000u, folder.Path());
    ASSERT_EQ(blue, folder / "texture_7125_16711680.png");
    EXPECT_EQ(ArgbBitmap::FromFile(blue).GetPixel(0, 0), 0xFF0000FFu);
    // An existing tint is reused as it is.
    imagingtest::WriteBytes(red, {9});
    EXPECT_EQ(GetTintedTextureFile(folder / "texture_7125", 255, folder.Path()), red);
    EXPECT_EQ(imagingtest::ReadBytes(red).size(), 1u);
}

TEST(TintedTexture, FallsBackToTheUntintedFile)
{
    ScratchFolder folder("tintfail");
    imagingtest::WriteBytes(folder / "texture_1", {'n', 'o', 't'});
    EXPECT_EQ(GetTintedTextureFile(folder / "texture_1", 255, folder.Path()), folder / "texture_1");
    EXPECT_FALSE(std::filesystem::exists(folder / "texture_1_255.png"));
    // A tint that cannot be written is no reason to show the grey texture.
    imagingtest::WriteImage(folder / "texture_2", 2, 2, std::vector<std::uint32_t>(4, 0xFFFFFFFFu), FIF_PNG);
    EXPECT_THROW(GetTintedTextureFile(folder / "texture_2", 255, folder / "no-such-folder"), ResourceError);
}

TEST(TintedTexture, EmbeddedGrayscaleTextureTints)
{
    ScratchFolder folder("tintembedded");
    const auto gray = GetTextureFile(7125, folder.Path());
    ASSERT_FALSE(gray.empty());
    const auto tinted = GetTintedTextureFile(gray, 0x0000FFu, folder.Path());
    ASSERT_EQ(tinted, folder / "texture_7125_255.png");
    ArgbBitmap bitmap = ArgbBitmap::FromFile(tinted);
    ASSERT_EQ(bitmap.Width(), 800);
    for (int i = 0; i < 50; ++i) {
        const std::uint32_t p = bitmap.GetPixel(i * 15, i * 15);
        EXPECT_EQ(p & 0xFF00FFFFu, 0xFF000000u) << std::hex << p;  // only red remains
        EXPECT_GT((p >> 16) & 0xFFu, 60u);
    }
}

// The image data of a PNG: its IDAT chunks' contents, joined.
std::string ImageData(const std::filesystem::path& png)
{
    const auto bytes = imagingtest::ReadBytes(png);
    std::string data;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::size_t length = std::size_t(bytes[at]) << 24 | std::size_t(bytes[at + 1]) << 16 | std::size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (std::memcmp(bytes.data() + at + 4, "IDAT", 4) == 0)
            data.append(reinterpret_cast<const char*>(bytes.data()) + at + 8, length);
        at += 12 + length;
    }
    return data;
}

// Every tint of a built-in grayscale texture: exactly the pixels of the
// colorizer applied to the decoded texture, and the same compressed index
// rows whatever the colour (only the palette changes), also for a colour so
// dark that many greys meet in one shade.
TEST(TintedTexture, EveryBuiltInTextureKeepsItsIndicesAndGetsTheColorizersPixels)
{
    ScratchFolder folder("tintall");
    // The grey images of one translucent texture have more than 256 colours
    // (grey and alpha): they keep the decoding path.
    const std::set<int> notIndexable{7322, 7324, 7326, 7328};
    std::set<int> numbers, indexable;
    for (const auto& texture : TextureLibrary::Textures())
        for (const auto& cell : texture.cells)
            numbers.insert(cell.grayscale);
    std::set_difference(numbers.begin(), numbers.end(), notIndexable.begin(), notIndexable.end(),
                        std::inserter(indexable, indexable.end()));
    for (const int number : numbers) {
        const auto texture = GetTextureFile(number, folder.Path());
        ASSERT_FALSE(texture.empty()) << number;
        ArgbBitmap expected = ArgbBitmap::FromFile(texture);
        const auto colours = DistinctColours(expected.Pixels());
        CImageColorizer colorizer;
        colorizer.SetDuotone(0, 0x3080F0u);
        colorizer.Apply(expected);
        const auto tinted = GetTintedTextureFile(texture, 0x3080F0u, folder.Path());
        const ArgbBitmap got = ArgbBitmap::FromFile(tinted);
        ASSERT_TRUE(std::equal(got.Pixels().begin(), got.Pixels().end(), expected.Pixels().begin(),
                               expected.Pixels().end()))
            << number;
        const auto dark = GetTintedTextureFile(texture, 0x000003u, folder.Path());
        // The tint was made from the build's indexed form: the decoded
        // texture's colours and image data of its own.
        const auto stored = resources::FindIndexedTextures(std::to_string(number));
        ASSERT_TRUE(stored) << number;
        const auto built = LoadIndexedTexture(*stored);
        ASSERT_EQ(built.has_value(), indexable.count(number) == 1) << number;
        ASSERT_EQ(colours.has_value(), built.has_value()) << number;
        if (built) {
            EXPECT_EQ(built->colours, *colours) << number;
            const auto png = imagingtest::ReadBytes(tinted);
            EXPECT_TRUE(std::string(png.begin(), png.end()).ends_with(built->PngTail())) << number;
        }
        if (indexable.count(number)) {
            EXPECT_EQ(ImageData(dark), ImageData(tinted)) << number;
            EXPECT_LT(ImageData(dark).size(), 1u << 20);
        }
    }
}

// A stored form that is cut short or not one at all is refused, never read
// past its end.
TEST(IndexedTextureForm, RoundTripsAndRefusesWhatIsNotOne)
{
    ArgbBitmap bitmap(3, 2);
    for (int i = 0; i < 6; ++i)
        bitmap.SetPixel(i % 3, i / 3, 0xFF000000u | 0x404040u * std::uint32_t(i % 3));
    const auto indexed = IndexTexture(bitmap);
    ASSERT_TRUE(indexed);
    const std::string stored = StoreIndexedTexture(*indexed);
    const auto bytes = [](std::string_view s) { return std::span(reinterpret_cast<const unsigned char*>(s.data()), s.size()); };
    const auto back = LoadIndexedTexture(bytes(stored));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->width, back->height, back->colours), std::tie(indexed->width, indexed->height, indexed->colours));
    EXPECT_EQ(back->PngTail(), indexed->PngTail());
    std::string badCount = stored;
    badCount[12] = '\x01', badCount[13] = '\x01';  // 257 colours
    for (const std::string& bad : {std::string(), stored.substr(0, 16), stored.substr(0, 16 + 12), stored.substr(0, stored.size() - 1), "TXIY" + stored.substr(4), badCount})
        EXPECT_FALSE(LoadIndexedTexture(bytes(bad))) << bad.size();
}

TEST(StillPicture, AnimatedGifGetsAStillCopy)
{
    ScratchFolder folder("still");
    const auto stills = folder / "stills";
    const std::vector<std::uint8_t> a(30 * 20, 1), b(30 * 20, 2);
    std::filesystem::create_directories(folder / "sub");
    imagingtest::WriteGif(folder / "photo.gif", 30, 20, {a, b});
    imagingtest::WriteGif(folder / "sub" / "photo.gif", 20, 10, {std::vector<std::uint8_t>(200, 1), std::vector<std::uint8_t>(200, 2)});
    imagingtest::WriteGif(folder / "single.gif", 30, 20, {a});
    imagingtest::WriteGif(folder / "noextension", 30, 20, {a, b});
    imagingtest::WriteImage(folder / "p.png", 2, 2, std::vector<std::uint32_t>(4, 0xFFFFFFFFu), FIF_PNG);
    imagingtest::WriteImage(folder / "p.jpg", 2, 2, std::vector<std::uint32_t>(4, 0xFFFFFFFFu), FIF_JPEG);

    const auto still = PrepareStillPicture(folder / "photo.gif", stills);
    EXPECT_EQ(still.parent_path(), stills);
    EXPECT_TRUE(still.filename().string().ends_with("_photo._fixed.png")) << still;
    ArgbBitmap bitmap = ArgbBitmap::FromFile(still);
    EXPECT_EQ(bitmap.Width(), 30);
    EXPECT_EQ(bitmap.Height(), 20);
    EXPECT_FALSE(IsAnimatedImage(still));
    // Made once per picture; a picture of the same name elsewhere gets its own.
    EXPECT_EQ(PrepareStillPicture(folder / "photo.gif", stills), still);
    const auto other = PrepareStillPicture(folder / "sub" / "photo.gif", stills);
    EXPECT_NE(other, still);
    EXPECT_EQ(ArgbBitmap::FromFile(other).Width(), 20);

    EXPECT_TRUE(PrepareStillPicture(folder / "noextension", stills).filename().string().ends_with("_noextension._fixed.png"));
    for (const char* name : {"single.gif", "p.png", "p.jpg", "missing.gif"})
        EXPECT_EQ(PrepareStillPicture(folder / name, stills), folder / name) << name;
}

// Placing the animated picture instead would change the slide.
TEST(StillPicture, UnwritableStillFailsTheConversion)
{
    ScratchFolder folder("stillfail");
    const std::vector<std::uint8_t> a(8 * 8, 1), b(8 * 8, 2);
    imagingtest::WriteGif(folder / "anim.gif", 8, 8, {a, b});
    std::ofstream(folder / "stills") << "a file where the folder should go";
    try {
        PrepareStillPicture(folder / "anim.gif", folder / "stills");
        ADD_FAILURE() << "a still was made";
    } catch (const ResourceError& e) {
        EXPECT_STREQ(e.what(), "the working folder cannot be written while writing a still of picture anim.gif: "
                               "Not a directory");
    }
}

// A package cannot bring its own still: it is never written into the package.
TEST(StillPicture, PlantedStillIsNotUsed)
{
    ScratchFolder folder("stillplanted");
    const std::vector<std::uint8_t> a(8 * 8, 1), b(8 * 8, 2);
    imagingtest::WriteGif(folder / "anim.gif", 8, 8, {a, b});
    imagingtest::WriteImage(folder / "anim._fixed.png", 3, 3, std::vector<std::uint32_t>(9, 0xFFFF0000u), FIF_PNG);
    const auto still = PrepareStillPicture(folder / "anim.gif", folder / "stills");
    EXPECT_NE(still, folder / "anim._fixed.png");
    EXPECT_EQ(ArgbBitmap::FromFile(still).Width(), 8);
}

// A full disk fails the conversion where a working file is written, instead
// of a grey texture, an animated picture or a missing one on the slide. The
// file size limit stands in for the full disk: it fails writes alike.
struct FullDiskCase {
    const char* name;
    std::function<void(const ScratchFolder&)> prepare;  // before the disk fills
    std::function<void(const ScratchFolder&)> write;
    const char* reason;
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDisk, FailsWithTheReason)
{
    const FullDiskCase& c = GetParam();
    ScratchFolder folder("fulldisk");
    if (c.prepare)
        c.prepare(folder);
    const auto writeOnFullDisk = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            c.write(folder);
        } catch (const ResourceError& e) {
            std::fputs(e.what(), stderr);
            std::_Exit(0);
        }
        std::_Exit(1);
    };
    EXPECT_EXIT(writeOnFullDisk(), ::testing::ExitedWithCode(0), c.reason);
}

// Noise: neither a palette nor compression keeps it under the limit.
std::vector<std::uint8_t> NoiseFrame(unsigned seed)
{
    std::vector<std::uint8_t> frame(200 * 200);
    std::mt19937 random(seed);
    for (auto& index : frame)
        index = static_cast<std::uint8_t>(random());
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Writes, FullDisk,
    ::testing::Values(
        FullDiskCase{"texture", nullptr, [](const auto& f) { GetTextureFile(7125, f.Path()); },
                     "file size limit was reached while writing a background texture"},
        FullDiskCase{"tinted_texture", [](const auto& f) { GetTextureFile(7125, f.Path()); },
                     [](const auto& f) { GetTintedTextureFile(f / "texture_7125", 255, f.Path()); },
                     "file size limit was reached while writing a background texture"},
        FullDiskCase{"still_of_an_animated_picture",
                     [](const auto& f) { imagingtest::WriteGif(f / "anim.gif", 200, 200, {NoiseFrame(1), NoiseFrame(2)}); },
                     [](const auto& f) { PrepareStillPicture(f / "anim.gif", f / "stills"); },
                     "file size limit was reached while writing a copy of picture anim.gif"},
        FullDiskCase{"png_copy_of_a_picture",
                     [](const auto& f) { imagingtest::WriteGif(f / "noise.gif", 200, 200, {NoiseFrame(3)}); },
                     [](const auto& f) { SaveCompactPng(ArgbBitmap::FromFile(f / "noise.gif"), f / "copy.png", 1); },
                     "file size limit was reached while writing picture file copy.png"}),
    testnames::ByName());

}  // namespace
