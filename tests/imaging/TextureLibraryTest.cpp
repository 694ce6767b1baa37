#include "imaging/TextureLibrary.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using imaging::TextureLibrary;

TEST(TextureLibraryTest, ColumnChoice) {
    struct Case { double ratio; int column; };
    for (const Case c : {Case{0.70, 0}, Case{0.716, 0}, Case{0.7071, 0}, Case{0.8889, 1}, Case{1.0, 2},
                         Case{1.4143, 3}, Case{1.405, 3}}) {
        EXPECT_EQ(TextureLibrary(c.ratio).GetAspectClass(), static_cast<std::size_t>(c.column)) << c.ratio;
    }
    for (double bad : {0.718, 0.75, 0.7172, 0.0, -1.0, 2.0}) {
        EXPECT_THROW(TextureLibrary{bad}, std::runtime_error) << bad;
    }
}

TEST(TextureLibraryTest, LookupWithAndWithoutFillColour) {
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

TEST(TextureLibraryTest, PageTexturesAreTheSameInEveryColumn) {
    for (double ratio : TextureLibrary::kAspectRatios) {
        const TextureLibrary library(ratio);
        EXPECT_EQ(library.Lookup("bpage3", false), 7308);
        EXPECT_EQ(library.Lookup("bpage3", true), 7309);
    }
}

TEST(TextureLibraryTest, TableUsesEveryResourceNumberOnce) {
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
