#include "imaging/TextureLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

using imaging::TextureLibrary;

TEST(TextureLibraryTest, ColumnChoice)
{
    struct Case {
        double ratio;
        int column;
    };
    for (const Case c : {Case{0.70, 0}, Case{0.716, 0}, Case{0.7071, 0}, Case{0.8889, 1}, Case{1.0, 2},
                         Case{1.4143, 3}, Case{1.405, 3}}) {
        EXPECT_EQ(TextureLibrary(c.ratio).GetAspectClass(), static_cast<std::size_t>(c.column)) << c.ratio;
    }
    for (double bad : {0.718, 0.75, 0.7172, 0.0, -1.0, 2.0}) {
        EXPECT_THROW(TextureLibrary{bad}, std::runtime_error) << bad;
    }
}

TEST(TextureLibraryTest, LookupWithAndWithoutFillColour)
{
    const TextureLibrary square(1.0);
    EXPECT_EQ(square.Lookup("bcover1", false), 7124);
    EXPECT_EQ(square.Lookup("bcover1", true), 7125);
    EXPECT_EQ(square.Lookup("{bcover1}", false), 7124);
    EXPECT_EQ(square.Lookup("BCOVER1", false), std::nullopt);
    EXPECT_EQ(square.Lookup("{{bcover1}}", false), std::nullopt);
    EXPECT_EQ(square.Lookup("a212dbf0-cbf4-405a-a5e6-12b205af1fb1", false), std::nullopt);
    EXPECT_EQ(square.Lookup("{A212DBF0-CBF4-405A-A5E6-12B205AF1FB1}", true), 7012);
    EXPECT_EQ(square.Lookup("744B1A07-FFC6-4F71-8622-83FD407090E5", false),
              square.Lookup("744B1A07-FFC6-4F71-8622-83FD407090E5", true));
    EXPECT_EQ(TextureLibrary(1.4143).Lookup("7406C5A6-5BB9-4478-9A3C-54F05D4CE353", true), 7378);
}

TEST(TextureLibraryTest, PageTexturesAreTheSameInEveryColumn)
{
    for (double ratio : TextureLibrary::kAspectRatios) {
        const TextureLibrary library(ratio);
        EXPECT_EQ(library.Lookup("bpage3", false), 7308);
        EXPECT_EQ(library.Lookup("bpage3", true), 7309);
    }
}

TEST(TextureLibraryTest, TableUsesEveryResourceNumberOnce)
{
    std::set<int> numbers;
    std::set<std::string_view> ids;
    for (const auto& texture : TextureLibrary::Textures()) {
        ids.insert(texture.id);
        for (const auto& cell : texture.cells) {
            numbers.insert(cell.main);
            numbers.insert(cell.grayscale);
        }
    }
    EXPECT_EQ(ids.size(), TextureLibrary::kTextureCount);
    EXPECT_EQ(numbers.size(), 382u);
    EXPECT_EQ(*numbers.begin(), TextureLibrary::kFirstResource);
    EXPECT_EQ(*numbers.rbegin(), TextureLibrary::kLastResource);
}

// Cells of the published table in every column, against the table the
// library is generated from.
TEST(TextureLibraryTest, GeneratedTableMatchesPublishedCells)
{
    struct Cell {
        const char* id;
        double ratio;
        int main, grayscale;
        TextureLibrary::ImageFormat format;
    };
    using F = TextureLibrary::ImageFormat;
    for (const Cell c : {Cell{"bcover24", 0.7071, 7290, 7291, F::Jpeg},
                         Cell{"61492AD7-427D-44F9-BC47-40CED8D3523C", 0.8889, 7023, 7022, F::Png},
                         Cell{"37523D7A-6C50-4257-A928-031A3834A6F2", 1.0, 7045, 7044, F::Jpeg},
                         Cell{"1B7B6065-9241-4FE7-B810-63366A444B96", 1.4143, 7347, 7346, F::Png},
                         Cell{"55E2F83B-ED98-4262-A245-D9DB55D39E75", 0.8889, 7360, 7364, F::Jpeg}}) {
        SCOPED_TRACE(c.id);
        const TextureLibrary library(c.ratio);
        EXPECT_EQ(library.Lookup(c.id, false), c.main);
        EXPECT_EQ(library.Lookup(c.id, true), c.grayscale);
        const auto textures = TextureLibrary::Textures();
        const auto row = std::find_if(textures.begin(), textures.end(), [&](const auto& t) { return t.id == c.id; });
        ASSERT_NE(row, textures.end());
        EXPECT_EQ(row->format, c.format);
    }
}
