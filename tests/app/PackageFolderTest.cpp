#include "app/ConversionJob.h"
#include "book/Book.h"
#include "support/TestZip.h"
#include "export/PresentationConverter.h"
#include "imaging/TextureFiles.h"
#include "resources/Textures.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;

namespace {

// A package may carry files named like the ones the program makes; they must
// never be taken for the program's own.
TEST(PackageFolder, PlantedTextureIsNotTakenForTheBuiltInOne)
{
    ScratchFolder dir;
    {
        TestZipWriter zip(dir / "planted.mordx");
        zip.AddFile("book", "<book><page pageType=\"cover\"><background/><content>"
                            "<pictureObject x=\"0\" y=\"0\" width=\"1\" height=\"1\" path=\"photo.gif\"/>"
                            "</content></page></book>");
        zip.AddFile("photo.gif", "GIF89a");
        zip.AddFile("res_textures/texture_7124", "planted bytes");
    }
    const fs::path work = dir / "work";
    fs::create_directory(work);
    const auto book = PackageBookOpener().Open(dir / "planted.mordx", work);
    ASSERT_TRUE(book);
    const PresentationConverter converter(work, dir / "out");

    const fs::path texture = imaging::GetTextureFile(7124, converter.GetTextureFolder());
    const auto builtIn = resources::FindTextures("7124");
    ASSERT_TRUE(builtIn);
    EXPECT_EQ(ReadFileBytes(texture), std::string(builtIn->begin(), builtIn->end()));

    // The package's own files are still found, in a folder of their own.
    const auto& picture = static_cast<const bookparser::PictureObject&>(book->GetPage(0).GetObject(0));
    ASSERT_FALSE(picture.GetPath().empty());
    EXPECT_EQ(ReadFileBytes(picture.GetPath()), "GIF89a");
    EXPECT_NE(picture.GetPath().parent_path(), work);
}

}  // namespace
