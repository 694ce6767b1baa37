#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace imaging {

// The built-in page and cover textures: which embedded image (by resource
// number, 7000..7381) to use for a texture id, given the book's page
// proportion and whether the page also has a fill colour (then the grayscale
// variant is chosen, to be tinted with that colour).
class TextureLibrary {
public:
    static constexpr std::size_t kAspectClassCount = 4;
    static constexpr std::size_t kTextureCount = 52;
    static constexpr int kFirstResource = 7000;
    static constexpr int kLastResource = 7381;
    // Page width / height of the four proportions, in column order.
    static constexpr std::array<double, kAspectClassCount> kAspectRatios = {0.7071, 0.8889, 1.0, 1.4143};

    enum class ImageFormat { Jpeg,
                             Png };

    struct ResourcePair {
        int main;
        int grayscale;
    };

    struct Texture {
        std::string_view id;
        ImageFormat format;
        std::array<ResourcePair, kAspectClassCount> cells;  // by aspect class
    };

    // The whole fixed table, in table order.
    static std::span<const Texture> Textures();

    // The aspect class of a ratio: the first class within 0.01 of it, or none
    // (NaN and infinities included).
    static std::optional<std::size_t> AspectClassOf(double aspectRatio);

    // Throws std::runtime_error "Invalid aspect ratio" when the ratio belongs
    // to no aspect class.
    explicit TextureLibrary(double aspectRatio);

    std::size_t GetAspectClass() const { return column_; }

    // The resource number for a texture id, which is matched exactly
    // (case-sensitively), with or without surrounding braces; nothing for an
    // unknown id.
    std::optional<int> Lookup(const std::string& id, bool hasFillColor) const;

private:
    std::size_t column_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace imaging
