#pragma once

#include "imaging/ArgbBitmap.h"
#include "support/ScratchFolder.h"

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace imagingtest {

using testsupport::ScratchFolder;

// Writes pixels (0xAARRGGBB, rows from the top) as a 32-bit image file.
void WriteImage(const std::filesystem::path& path, int width, int height, const std::vector<std::uint32_t>& pixels,
                FREE_IMAGE_FORMAT format);

// Writes a GIF with one frame per entry; each frame is a palette image whose
// pixel at (x, y) has palette index frames[f][y * width + x].
void WriteGif(const std::filesystem::path& path, int width, int height,
              const std::vector<std::vector<std::uint8_t>>& frames);

std::vector<unsigned char> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

}  // namespace imagingtest
