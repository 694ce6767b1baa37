#pragma once
#include "export/engine/Automation.h"

#include <filesystem>

namespace bookparser { class Page; class PictureObject; }

// Fills one slide from one book page: background, then the objects in page
// order, so later objects lie above earlier ones.
class SlideBuilder {
public:
    explicit SlideBuilder(std::filesystem::path textureFolder) : m_textureFolder(std::move(textureFolder)) {}

    // An automation error while setting a texture, or while placing one
    // object, skips only that item; other errors pass through.
    void BuildSlide(const bookparser::Page& page, engine::ISlide& slide) const;

    // Stills of animated pictures are made in the texture folder too.
    void PlacePicture(const bookparser::PictureObject& picture, engine::IShapes& shapes) const;

private:
    std::filesystem::path m_textureFolder;
};
