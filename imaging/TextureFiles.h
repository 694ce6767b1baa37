#pragma once

#include <cstdint>
#include <filesystem>

namespace imaging {

// The files made here are the conversion's own: failing to write one, or
// running out of memory, throws ResourceError instead of falling back. Only a
// bad source (an undecodable texture or picture) falls back as described.

// The built-in texture image with this resource number (7000..7381) written
// into textureFolder as "texture_<number>" (no extension). An existing file of
// that name is reused without writing. Empty when there is no such resource.
std::filesystem::path GetTextureFile(int resourceNumber, const std::filesystem::path& textureFolder);

// A PNG copy of textureFile tinted with colour (COLORREF 0x00BBGGRR: white
// becomes the colour, grey a darker shade of it, alpha kept), named
// textureFolder / (stem + "_" + colour + ".png") and reused when it exists.
// Returns textureFile itself when it cannot be decoded.
std::filesystem::path GetTintedTextureFile(const std::filesystem::path& textureFile, std::uint32_t colour,
                                           const std::filesystem::path& textureFolder);

// For an animated picture, a still PNG of its first frame in stillFolder
// (created when missing), named after the picture with its extension replaced
// ("photo.gif" gives "<tag>_photo._fixed.png", the tag standing for the
// picture's full path so that pictures of the same name in different folders
// stay apart). A still made earlier in the same folder is reused. Otherwise,
// or when the picture cannot be decoded, picture itself.
std::filesystem::path PrepareStillPicture(const std::filesystem::path& picture,
                                          const std::filesystem::path& stillFolder);

}  // namespace imaging
