#include "imaging/TextureFiles.h"

#include "imaging/ArgbBitmap.h"
#include "imaging/CompactPng.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/IndexedTexture.h"
#include "imaging/DecodingBudget.h"
#include "imaging/GifStill.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PngWriter.h"
#include "imaging/ResourceError.h"
#include "resources/IndexedTextures.h"
#include "resources/Textures.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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

// A file's identity: path, device, inode, size and change time, so that a
// file written anew is another.
std::string FileKey(const std::filesystem::path& file, const struct stat& st)
{
    return file.native() + '\0' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' + std::to_string(st.st_ctim.tv_sec) + '.' + std::to_string(st.st_ctim.tv_nsec);
}

// The texture files this run wrote itself from the built-in bytes.
std::mutex g_writtenMutex;
std::set<std::string> g_written;

// The build's indexed form of the built-in texture a file holds, known by
// its name ("texture_<number>") and its bytes: nothing for any other file.
std::optional<IndexedTexture> BuiltInIndexedTexture(const std::filesystem::path& textureFile, const std::string& key)
{
    const std::string name = textureFile.filename().string();
    constexpr std::string_view kPrefix = "texture_";
    if (!name.starts_with(kPrefix))
        return std::nullopt;
    const std::string number = name.substr(kPrefix.size());
    const auto embedded = resources::FindTextures(number);
    const auto indexed = resources::FindIndexedTextures(number);
    if (!embedded || !indexed || indexed->empty())
        return std::nullopt;
    bool written = false;
    {
        const std::lock_guard lock(g_writtenMutex);
        written = g_written.count(key) != 0;
    }
    if (!written) {
        std::ifstream file(textureFile, std::ios::binary);
        std::string bytes(embedded->size() + 1, '\0');
        file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (static_cast<std::size_t>(file.gcount()) != embedded->size()
            || !std::equal(embedded->begin(), embedded->end(), bytes.begin(),
                           [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); }))
            return std::nullopt;
    }
    return LoadIndexedTexture(*indexed);
}

// The indexed form of a texture file, made once per run for each file: the
// build's for a built-in texture, else decoded and compressed here. Null
// when the file cannot be read or decoded, or has more than 256 colours.
std::shared_ptr<const IndexedTexture> IndexedTextureOf(const std::filesystem::path& textureFile)
{
    struct stat st {};
    if (::stat(textureFile.c_str(), &st) != 0)
        return nullptr;
    const std::string key = FileKey(textureFile, st);
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const IndexedTexture>> made;
    {
        const std::lock_guard lock(mutex);
        if (const auto it = made.find(key); it != made.end())
            return it->second;
    }
    auto indexed = S_ISREG(st.st_mode) ? BuiltInIndexedTexture(textureFile, key) : std::nullopt;
    if (!indexed)
        indexed = IndexTexture(ArgbBitmap::FromFile(textureFile));
    auto shared = indexed ? std::make_shared<const IndexedTexture>(std::move(*indexed)) : nullptr;
    const std::lock_guard lock(mutex);
    return made.emplace(key, std::move(shared)).first->second;
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
        if (!WriteWorkingFile(file, data, false, kBackgroundTexture))
            return {};
        if (struct stat st{}; ::stat(file.c_str(), &st) == 0) {
            const std::lock_guard lock(g_writtenMutex);
            g_written.insert(FileKey(file, st));
        }
        return file;
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
        if (indexed) {
            std::vector<std::uint32_t> palette(indexed->colours.size());
            std::transform(indexed->colours.begin(), indexed->colours.end(), palette.begin(),
                           [&](std::uint32_t c) { return colorizer.Tint(c); });
            const std::string head = PalettePngHead(indexed->width, indexed->height, palette);
            return WriteWorkingFile(tinted, {head, indexed->PngTail()}, false, kBackgroundTexture) ? tinted : textureFile;
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
