#include "imaging/TextureFiles.h"

#include "imaging/ArgbBitmap.h"
#include "imaging/CompactPng.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/DecodingBudget.h"
#include "imaging/GifStill.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PngWriter.h"
#include "imaging/ResourceError.h"
#include "resources/Textures.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

// A texture as palette indices, their rows compressed once: every tint of it
// is the same rows with a palette of its own.
struct IndexedTexture {
    bool indexable = false;  // false: more than 256 colours
    int width = 0, height = 0;
    std::vector<std::uint32_t> colours;  // sorted 0xAARRGGBB
    std::string rows;  // zlib stream of the index rows
};

// The indexed form of a texture file, made once per run for each file (by
// path, device, inode, size and change time, so that a file written anew is
// indexed anew); nothing when the file cannot be read or decoded.
std::shared_ptr<const IndexedTexture> IndexedTextureOf(const std::filesystem::path& textureFile)
{
    struct stat st {};
    if (::stat(textureFile.c_str(), &st) != 0)
        return nullptr;
    const std::string key = textureFile.native() + '\0' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' + std::to_string(st.st_ctim.tv_sec) + '.' + std::to_string(st.st_ctim.tv_nsec);
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const IndexedTexture>> made;
    {
        const std::lock_guard lock(mutex);
        if (const auto it = made.find(key); it != made.end())
            return it->second;
    }
    const ArgbBitmap bitmap = ArgbBitmap::FromFile(textureFile);
    if (bitmap.IsEmpty())
        return nullptr;
    auto indexed = std::make_shared<IndexedTexture>();
    indexed->width = bitmap.Width();
    indexed->height = bitmap.Height();
    const auto pixels = bitmap.Pixels();
    auto colours = DistinctColours(pixels);
    indexed->indexable = colours.has_value();
    if (indexed->indexable) {
        indexed->colours = std::move(*colours);
        const auto& palette = indexed->colours;
        std::vector<std::uint8_t> indices(pixels.size());
        std::uint32_t last = ~pixels[0];
        std::uint8_t index = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (pixels[i] != last) {
                last = pixels[i];
                index = static_cast<std::uint8_t>(std::lower_bound(palette.begin(), palette.end(), last) - palette.begin());
            }
            indices[i] = index;
        }
        indexed->rows = CompressIndexRows(indexed->width, indexed->height, indices, kCompactPngLevel);
    }
    const std::lock_guard lock(mutex);
    return made.emplace(key, std::move(indexed)).first->second;
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
        CImageColorizer colorizer;
        colorizer.SetDuotone(0x000000, colour);
        // A texture of at most 256 colours keeps its pixel indices whatever
        // the tint: only its palette is computed for the colour.
        const auto indexed = IndexedTextureOf(textureFile);
        if (indexed && indexed->indexable) {
            std::vector<std::uint32_t> palette(indexed->colours.size());
            std::transform(indexed->colours.begin(), indexed->colours.end(), palette.begin(),
                           [&](std::uint32_t c) { return colorizer.Tint(c); });
            const std::string png = PalettePng(indexed->width, indexed->height, palette, indexed->rows);
            return WriteWorkingFile(tinted, png, false, kBackgroundTexture) ? tinted : textureFile;
        }
        ArgbBitmap bitmap = ArgbBitmap::FromFile(textureFile);
        if (bitmap.IsEmpty())
            return textureFile;
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
        const auto info = ProbePicture(picture);
        if (!info || !info->animated)
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
        const std::string what = "a copy of picture " + picture.filename().string();
        // A GIF's first frame alone is decoded; the rest of its screen is
        // written as it is, transparent. Within the book's budget all the same.
        if (info->format == PictureFormat::Gif) {
            if (!DecodingBudget::Take(std::int64_t{info->width} * info->height))
                return picture;
            if (SaveGifStill(picture, *info, still, what))
                return still;
        }
        // Decoded once, into one buffer that is freed before the next picture.
        const ArgbBitmap frame = DecodePicture(picture, *info);
        if (!frame.IsEmpty() && SavePng(frame, still, 1, info->dpiX, info->dpiY, what))
            return still;
        return picture;
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory("making a still of picture " + picture.filename().string());
    }
}

}  // namespace imaging
