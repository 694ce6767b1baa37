#include "imaging/PictureFiles.h"

#include <FreeImage.h>

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path path;
    Scratch()
    {
        std::string p = (fs::temp_directory_path() / "tralvex-img-XXXXXX").string();
        path = ::mkdtemp(p.data());
    }
    ~Scratch() { fs::remove_all(path); }
};

// A 2 x 1 image: a white and a mid-grey pixel with different alpha.
fs::path WriteGreyPng(const fs::path& path)
{
    FIBITMAP* bitmap = FreeImage_Allocate(2, 1, 32);
    BYTE* line = FreeImage_GetScanLine(bitmap, 0);
    const BYTE values[2][4] = {{255, 255, 255, 255}, {128, 128, 128, 100}};
    for (int x = 0; x < 2; ++x) {
        line[4 * x + FI_RGBA_RED] = values[x][0];
        line[4 * x + FI_RGBA_GREEN] = values[x][1];
        line[4 * x + FI_RGBA_BLUE] = values[x][2];
        line[4 * x + FI_RGBA_ALPHA] = values[x][3];
    }
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), PNG_DEFAULT));
    FreeImage_Unload(bitmap);
    return path;
}

fs::path WriteGif(const fs::path& path, int frames)
{
    FIMULTIBITMAP* gif = FreeImage_OpenMultiBitmap(FIF_GIF, path.c_str(), TRUE, FALSE, FALSE, 0);
    for (int i = 0; i < frames; ++i) {
        FIBITMAP* rgb = FreeImage_Allocate(4, 4, 24);
        RGBQUAD colour {static_cast<BYTE>(40 * i), 200, 30, 0};
        FreeImage_FillBackground(rgb, &colour, 0);
        FIBITMAP* indexed = FreeImage_ColorQuantize(rgb, FIQ_WUQUANT);
        FreeImage_AppendPage(gif, indexed);
        FreeImage_Unload(indexed);
        FreeImage_Unload(rgb);
    }
    FreeImage_CloseMultiBitmap(gif, 0);
    return path;
}

TEST(TintedTexture, ColoursByLuminanceAndKeepsAlpha)
{
    Scratch s;
    const fs::path grey = WriteGreyPng(s.path / "texture_7125");
    const fs::path tinted = GetTintedTextureFile(grey, 0x0000FFu, s.path);
    ASSERT_EQ(tinted, s.path / "texture_7125_255.png");
    FIBITMAP* bitmap = FreeImage_Load(FIF_PNG, tinted.c_str(), 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(FreeImage_GetBPP(bitmap), 32u);
    const BYTE* line = FreeImage_GetScanLine(bitmap, 0);
    EXPECT_EQ(line[FI_RGBA_RED], 255);
    EXPECT_EQ(line[FI_RGBA_GREEN], 0);
    EXPECT_EQ(line[FI_RGBA_ALPHA], 255);
    EXPECT_EQ(line[4 + FI_RGBA_RED], 128);
    EXPECT_EQ(line[4 + FI_RGBA_BLUE], 0);
    EXPECT_EQ(line[4 + FI_RGBA_ALPHA], 100);
    FreeImage_Unload(bitmap);
    // Reused by name; another colour is another file.
    EXPECT_EQ(GetTintedTextureFile(grey, 0x0000FFu, s.path), tinted);
    EXPECT_EQ(GetTintedTextureFile(grey, 0x00FF00u, s.path), s.path / "texture_7125_65280.png");
}

TEST(TintedTexture, UnreadableTextureFallsBack)
{
    Scratch s;
    std::ofstream(s.path / "texture_7001") << "not an image";
    EXPECT_EQ(GetTintedTextureFile(s.path / "texture_7001", 255, s.path), s.path / "texture_7001");
    EXPECT_EQ(GetTintedTextureFile(s.path / "missing", 255, s.path), s.path / "missing");
}

TEST(StillPicture, AnimatedGifGetsFirstFrameCopy)
{
    Scratch s;
    const fs::path animated = WriteGif(s.path / "photo.gif", 2);
    const fs::path still = PrepareStillPicture(animated);
    EXPECT_EQ(still, s.path / "photo._fixed.png");
    EXPECT_EQ(FreeImage_GetFileType(still.c_str(), 0), FIF_PNG);

    const fs::path noExtension = WriteGif(s.path / "photo", 3);
    EXPECT_EQ(PrepareStillPicture(noExtension), s.path / "photo._fixed.png");
}

TEST(StillPicture, OtherPicturesAreTheirOwn)
{
    Scratch s;
    const fs::path single = WriteGif(s.path / "one.gif", 1);
    EXPECT_EQ(PrepareStillPicture(single), single);
    const fs::path png = WriteGreyPng(s.path / "a.png");
    EXPECT_EQ(PrepareStillPicture(png), png);
    std::ofstream(s.path / "truncated.gif") << "GIF89a\x04\x00";
    EXPECT_EQ(PrepareStillPicture(s.path / "truncated.gif"), s.path / "truncated.gif");
    EXPECT_EQ(PrepareStillPicture(""), fs::path());
}

TEST(TextureFile, UnknownNumbersGiveNoFile)
{
    Scratch s;
    for (int n : {6999, 7382, -1, 0})
        EXPECT_TRUE(GetTextureFile(n, s.path).empty()) << n;
}

}  // namespace
