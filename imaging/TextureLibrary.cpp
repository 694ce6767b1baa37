#include "imaging/TextureLibrary.h"

#include <cmath>
#include <stdexcept>

namespace imaging {
namespace {

using F = TextureLibrary::ImageFormat;
using T = TextureLibrary::Texture;

// Columns: 0.7071, 0.8889, 1.0, 1.4143; each cell main / grayscale. The rows
// come from the texture generator's table, tools/TextureTable.txt.
constexpr T kTextures[] = {
#include "imaging/TextureTable.inc"
};
static_assert(std::size(kTextures) == TextureLibrary::kTextureCount);

}  // namespace

std::span<const TextureLibrary::Texture> TextureLibrary::Textures()
{
    return kTextures;
}

std::optional<std::size_t> TextureLibrary::AspectClassOf(double aspectRatio)
{
    for (std::size_t i = 0; i < kAspectRatios.size(); ++i) {
        // A NaN fails every comparison and so matches nothing.
        if (std::fabs(aspectRatio - kAspectRatios[i]) < 0.01) {
            return i;
        }
    }
    return std::nullopt;
}

TextureLibrary::TextureLibrary(double aspectRatio)
{
    const std::optional<std::size_t> column = AspectClassOf(aspectRatio);
    if (!column) {
        throw std::runtime_error("Invalid aspect ratio");
    }
    column_ = *column;
    index_.reserve(2 * kTextureCount);
    for (std::size_t row = 0; row < kTextureCount; ++row) {
        const std::string id(kTextures[row].id);
        index_.emplace(id, row);
        index_.emplace("{" + id + "}", row);
    }
}

std::optional<int> TextureLibrary::Lookup(const std::string& id, bool hasFillColor) const
{
    const auto found = index_.find(id);
    if (found == index_.end()) {
        return std::nullopt;
    }
    const ResourcePair& cell = kTextures[found->second].cells[column_];
    return hasFillColor ? cell.grayscale : cell.main;
}

}  // namespace imaging
