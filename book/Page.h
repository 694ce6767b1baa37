#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "book/PageObjects.h"

namespace bookparser {

class Page {
public:
    Page(std::optional<std::uint32_t> fillColor, std::optional<int> texture,
         std::vector<std::unique_ptr<BasePageObject>> objects)
        : fillColor_(fillColor), texture_(texture), objects_(std::move(objects)) {}

    // 0xRRGGBB in the low 24 bits, as the book wrote it (top byte kept).
    std::optional<std::uint32_t> GetFillColor() const { return fillColor_; }
    // Resource number of the built-in texture image of the background.
    std::optional<int> GetTexture() const { return texture_; }

    std::size_t GetObjectCount() const { return objects_.size(); }
    // Throws std::out_of_range for an index at or beyond the count.
    const BasePageObject& GetObject(std::size_t index) const { return *objects_.at(index); }

private:
    std::optional<std::uint32_t> fillColor_;
    std::optional<int> texture_;
    std::vector<std::unique_ptr<BasePageObject>> objects_;
};

}  // namespace bookparser
