#include "imaging/IndexedTexture.h"

#include "imaging/CompactPng.h"
#include "imaging/PngWriter.h"

#include <cstring>

namespace imaging {

namespace {

// "TXIX", then width, height and the number of colours, the colours, and the
// PNG tail to the end; every number 32 bits, little-endian.
constexpr char kMagic[4] = {'T', 'X', 'I', 'X'};

void AppendNumber(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>(value >> shift));
}

std::uint32_t NumberAt(std::span<const unsigned char> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

}  // namespace

std::optional<IndexedTexture> IndexTexture(const ArgbBitmap& bitmap)
{
    if (bitmap.IsEmpty())
        return std::nullopt;
    const auto pixels = bitmap.Pixels();
    auto colours = DistinctColours(pixels);
    if (!colours)
        return std::nullopt;
    IndexedTexture indexed;
    indexed.width = bitmap.Width();
    indexed.height = bitmap.Height();
    indexed.colours = std::move(*colours);
    std::vector<std::uint8_t> indices(pixels.size());
    IndexPixels(pixels, indexed.colours, indices.data());
    indexed.ownTail = PalettePngTail(CompressIndexRows(indexed.width, indexed.height, indices, kCompactPngLevel));
    return indexed;
}

std::string StoreIndexedTexture(const IndexedTexture& texture)
{
    std::string out(kMagic, sizeof kMagic);
    AppendNumber(out, static_cast<std::uint32_t>(texture.width));
    AppendNumber(out, static_cast<std::uint32_t>(texture.height));
    AppendNumber(out, static_cast<std::uint32_t>(texture.colours.size()));
    for (const std::uint32_t colour : texture.colours)
        AppendNumber(out, colour);
    out += texture.PngTail();
    return out;
}

std::optional<IndexedTexture> LoadIndexedTexture(std::span<const unsigned char> bytes)
{
    constexpr std::size_t kHead = sizeof kMagic + 12;
    if (bytes.size() < kHead || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    IndexedTexture texture;
    const std::uint32_t width = NumberAt(bytes, 4), height = NumberAt(bytes, 8), count = NumberAt(bytes, 12);
    if (width == 0 || height == 0 || width > 1u << 16 || height > 1u << 16 || count == 0 || count > 256
        || bytes.size() <= kHead + 4 * std::size_t{count})
        return std::nullopt;
    texture.width = static_cast<int>(width);
    texture.height = static_cast<int>(height);
    for (std::size_t i = 0; i < count; ++i)
        texture.colours.push_back(NumberAt(bytes, kHead + 4 * i));
    const std::size_t at = kHead + 4 * std::size_t{count};
    const std::string_view tail(reinterpret_cast<const char*>(bytes.data()) + at, bytes.size() - at);
    // Image data first and the end chunk last, or it is no tail of a PNG.
    constexpr std::string_view kEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    if (tail.size() < 12 + kEnd.size() || tail.substr(4, 4) != "IDAT" || !tail.ends_with(kEnd))
        return std::nullopt;
    texture.storedTail = tail;
    return texture;
}

}  // namespace imaging
