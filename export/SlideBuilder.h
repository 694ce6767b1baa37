#pragma once
#include "export/Automation.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

namespace bookparser {
class Book;
class Page;
class PictureObject;
}  // namespace bookparser

namespace exporting {

// Fills one slide from one book page: background, then the objects in page
// order, so later objects lie above earlier ones.
class SlideBuilder {
public:
    explicit SlideBuilder(std::filesystem::path textureFolder) : m_textureFolder(std::move(textureFolder)) {}

    // An automation error while setting a texture, or while placing one
    // object, skips only that item; other errors pass through.
    void BuildSlide(const bookparser::Page& page, engine::ISlide& slide) const;

    // Makes the background files of all the book's pages at once, the
    // costly tints side by side on the machine's processors; BuildSlide then
    // finds them ready. Optional: a background not prepared is made when a
    // page needs it.
    void PrepareBackgrounds(const bookparser::Book& book) const;

    // Stills of animated pictures are made in the texture folder too.
    void PlacePicture(const bookparser::PictureObject& picture, engine::IShapes& shapes) const;

private:
    // Texture, tinted texture and still files are made once per job for each
    // distinct input.
    const std::filesystem::path& BackgroundFile(int texture, std::optional<std::uint32_t> bookColor) const;
    const std::filesystem::path& StillFile(const std::filesystem::path& picture) const;

    std::filesystem::path m_textureFolder;
    using BackgroundKey = std::pair<int, std::optional<std::uint32_t>>;
    mutable std::map<BackgroundKey, std::filesystem::path> m_backgrounds;
    mutable std::map<std::filesystem::path, std::filesystem::path> m_stills;
};

}  // namespace exporting
