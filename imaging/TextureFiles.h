#pragma once

#include <cstdint>
#include <filesystem>

namespace imaging {

// The built-in texture image with this resource number (7000..7381) written
// into textureFolder as "texture_<number>" (no extension). An existing file of
// that name is reused without writing. Empty when there is no such resource or
// the file cannot be written.
std::filesystem::path GetTextureFile(int resourceNumber, const std::filesystem::path& textureFolder) noexcept;

// A PNG copy of textureFile tinted with colour (COLORREF 0x00BBGGRR: white
// becomes the colour, grey a darker shade of it, alpha kept), named
// textureFolder / (stem + "_" + colour + ".png") and reused when it exists.
// Returns textureFile itself when the tint cannot be made.
std::filesystem::path GetTintedTextureFile(const std::filesystem::path& textureFile, std::uint32_t colour,
                                           const std::filesystem::path& textureFolder) noexcept;

// For an animated picture, a still PNG of its first frame in stillFolder
// (created when missing), named after the picture with its extension replaced
// ("photo.gif" gives "<tag>_photo._fixed.png", the tag standing for the
// picture's full path so that pictures of the same name in different folders
// stay apart). A still made earlier in the same folder is reused. Otherwise,
// or when the still cannot be made, picture itself.
std::filesystem::path PrepareStillPicture(const std::filesystem::path& picture,
                                          const std::filesystem::path& stillFolder) noexcept;

}  // namespace imaging
