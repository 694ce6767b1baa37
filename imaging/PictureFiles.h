#pragma once
#include <cstdint>
#include <filesystem>

// Image files that slides need, written into the conversion's texture folder
// or next to the picture. None of these throws.

// textureFolder/"texture_<n>" holding the embedded texture image n; written
// once and reused. Empty when there is no such texture or it cannot be
// written.
std::filesystem::path GetTextureFile(int resourceNumber, const std::filesystem::path& textureFolder);

// textureFolder/<stem>_<colour>.png: the grey texture coloured from black to
// the COLORREF colour, alpha kept. The given texture when tinting fails.
std::filesystem::path GetTintedTextureFile(const std::filesystem::path& texture, std::uint32_t colorref,
                                           const std::filesystem::path& textureFolder);

// For an animated picture, a PNG of its first frame named "<path without
// extension>._fixed.png"; otherwise, or when that fails, the picture itself.
std::filesystem::path PrepareStillPicture(const std::filesystem::path& picture);
