#include "imaging/TextureFiles.h"

#include "imaging/ArgbBitmap.h"
#include "imaging/CompactPng.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/ImageResampler.h"
#include "imaging/ResourceError.h"
#include "resources/Textures.h"

#include <cstdio>
#include <memory>
#include <string>

namespace imaging {

namespace {

// What a failure to write a texture reports it was writing.
constexpr const char* kBackgroundTexture = "a background texture";

bool EntryExists(const std::filesystem::path& path) noexcept
{
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found && !error;
}

// FNV-1a of the path: stable from run to run, unlike a pointer or a counter
// that depends on the order of the pages.
std::uint64_t PathTag(const std::filesystem::path& path) noexcept
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : path.native()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::filesystem::path GetTextureFile(int resourceNumber, const std::filesystem::path& textureFolder)
{
    try {
        const std::string number = std::to_string(resourceNumber);
        const auto bytes = resources::FindTextures(number);
        if (!bytes)
            return {};
        std::filesystem::path file = textureFolder / ("texture_" + number);
        if (EntryExists(file))
            return file;
        // Exclusive creation: whatever appears at the name meanwhile is never
        // followed or overwritten.
        const std::string_view data(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        return WriteWorkingFile(file, data, false, kBackgroundTexture) ? file : std::filesystem::path();
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory(std::string("writing ") + kBackgroundTexture);
    }
}

std::filesystem::path GetTintedTextureFile(const std::filesystem::path& textureFile, std::uint32_t colour,
                                           const std::filesystem::path& textureFolder)
{
    try {
        std::filesystem::path tinted = textureFolder / (textureFile.stem().string() + "_" + std::to_string(colour) + ".png");
        if (EntryExists(tinted))
            return tinted;
        ArgbBitmap bitmap = ArgbBitmap::FromFile(textureFile);
        if (bitmap.IsEmpty())
            return textureFile;
        CImageColorizer colorizer;
        colorizer.SetDuotone(0x000000, colour);
        colorizer.Apply(bitmap);
        // A tinted grayscale image has at most 256 colours: as a palette PNG
        // it stays near the size of its source instead of several times it.
        if (!SaveCompactPng(bitmap, tinted, kCompactPngLevel, kBackgroundTexture))
            return textureFile;
        return tinted;
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory(std::string("tinting ") + kBackgroundTexture);
    }
}

std::filesystem::path PrepareStillPicture(const std::filesystem::path& picture,
                                          const std::filesystem::path& stillFolder)
{
    try {
        if (!IsAnimatedImage(picture))
            return picture;
        std::filesystem::path name = picture.filename();
        name.replace_extension("_fixed.png");
        char tag[17];
        std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(PathTag(picture)));
        const std::filesystem::path still = stillFolder / (std::string(tag) + "_" + name.string());
        if (EntryExists(still))
            return still;
        std::error_code error;
        std::filesystem::create_directories(stillFolder, error);
        if (error)
            ThrowWriteFailure(error.value(), "writing a still of picture " + picture.filename().string());
        if (CImageResampler().Resample(still, picture, 0, 0, 80, std::nullopt, {}))
            return still;
        return picture;
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory("making a still of picture " + picture.filename().string());
    }
}

}  // namespace imaging
