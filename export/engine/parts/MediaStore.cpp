#include "export/engine/parts/MediaStore.h"

#include "export/ComError.h"
#include "files/FileDescriptor.h"
#include "imaging/ArgbBitmap.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureProbe.h"
#include "imaging/PngWriter.h"

#include <xxhash.h>

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace engine::detail {
namespace {

constexpr std::size_t kChunk = 1 << 16;

files::Fd OpenForReading(const std::filesystem::path& file)
{
    return files::Fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

struct StateFree {
    void operator()(XXH3_state_t* s) const { XXH3_freeState(s); }
};

// Reads file in chunks, handing each to sink (when given); digest and size of
// everything read.
bool ReadChunks(const std::filesystem::path& file, Digest& digest, std::uint64_t& size,
                const std::function<bool(const char*, std::size_t)>* sink)
{
    const files::Fd fd = OpenForReading(file);
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::unique_ptr<XXH3_state_t, StateFree> state(XXH3_createState());
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK)
        return false;
    std::unique_ptr<char[]> buf(new char[kChunk]);
    size = 0;
    for (;;) {
        const ssize_t got = files::ReadSome(fd.Get(), buf.get(), kChunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        XXH3_128bits_update(state.get(), buf.get(), std::size_t(got));
        size += std::uint64_t(got);
        if (sink && !(*sink)(buf.get(), std::size_t(got)))
            return false;
    }
    const XXH128_hash_t h = XXH3_128bits_digest(state.get());
    digest = {h.low64, h.high64};
    return true;
}

bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b)
{
    const files::Fd fa = OpenForReading(a), fb = OpenForReading(b);
    if (!fa.Valid() || !fb.Valid())
        return false;
    std::unique_ptr<char[]> ba(new char[kChunk]), bb(new char[kChunk]);
    for (;;) {
        const ssize_t na = files::ReadSome(fa.Get(), ba.get(), kChunk), nb = files::ReadSome(fb.Get(), bb.get(), kChunk);
        if (na < 0 || na != nb)
            return false;
        if (na == 0)
            return true;
        if (std::memcmp(ba.get(), bb.get(), std::size_t(na)) != 0)
            return false;
    }
}

// BMP, TIFF and WebP go into the package as lossless PNG at their
// resolution, made once beside the source under a name nothing else uses.
// The picture is decoded once, into one buffer freed before the next.
std::filesystem::path ConvertToPng(const std::filesystem::path& source, const imaging::PictureInfo& info)
{
    const imaging::ArgbBitmap bitmap = imaging::DecodePicture(source, info);
    if (bitmap.IsEmpty())
        return {};
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path target =
            source.parent_path() / (".~" + source.stem().string() + "-" + std::to_string(random()) + ".png");
        // Created exclusively; a photo is not worth a slow zlib level.
        if (imaging::SavePng(bitmap, target, 1, info.dpiX, info.dpiY, {}))
            return target;
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(target, ec)))
            return {};
    }
    return {};
}

}  // namespace

bool DigestFile(const std::filesystem::path& file, Digest& digest, std::uint64_t& size)
{
    return ReadChunks(file, digest, size, nullptr);
}

MediaStore::~MediaStore() { Clear(); }

void MediaStore::Clear() noexcept
{
    for (const auto& file : m_converted)
        ::unlink(file.c_str());
    m_converted.clear();
    m_items.clear();
    m_byFile.clear();
    m_bySourceDigest.clear();
}

AddedMedia MediaStore::Add(const std::filesystem::path& file)
{
    struct stat st {};
    if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw ComError(E_FILE_NOT_FOUND, "The picture file was not found.", "Shapes");
    const FileKey key{st.st_dev, st.st_ino, std::uint64_t(st.st_size),
                      std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    if (auto it = m_byFile.find(key); it != m_byFile.end())
        return it->second;

    // Only pictures that must be decoded are held to the pixel cap.
    const auto info = imaging::ProbePicture(file, nullptr, imaging::PixelCap::NotApplied);
    if (!info)
        throw ComError(E_FAIL, "The picture cannot be decoded.", "Shapes");
    AddedMedia added;
    // Whole dots per inch, as pixels per metre are usually meant; a picture
    // that states no resolution is taken at 96 dpi.
    auto dpi = [](double d) { d = std::round(d); return d >= 1 ? d : 96.0; };
    added.nativeWidth = float(info->width * 72.0 / dpi(info->dpiX));
    added.nativeHeight = float(info->height * 72.0 / dpi(info->dpiY));

    Digest digest;
    std::uint64_t size = 0;
    if (!DigestFile(file, digest, size))
        throw ComError(E_FAIL, "The picture file cannot be read.", "Shapes");
    auto [first, last] = m_bySourceDigest.equal_range(digest);
    for (auto it = first; it != last; ++it) {
        if (SameBytes(m_items[std::size_t(it->second)].source, file)) {
            added.id = it->second;
            m_byFile.emplace(key, added);
            return added;
        }
    }

    MediaItem item{file, file, size, digest, {}, {}};
    switch (info->format) {
    case imaging::PictureFormat::Png:
        item.extension = "png";
        item.contentType = "image/png";
        break;
    case imaging::PictureFormat::Jpeg:
        item.extension = "jpeg";
        item.contentType = "image/jpeg";
        break;
    case imaging::PictureFormat::Gif:
        item.extension = "gif";
        item.contentType = "image/gif";
        break;
    case imaging::PictureFormat::Bmp:
    case imaging::PictureFormat::Tiff:
    case imaging::PictureFormat::WebP: {
        item.stored = ConvertToPng(file, *info);
        // A bitmap the decoder does not know (a newer header, say) is still a
        // picture the presentation takes: stored as it is, it is not lost.
        if (item.stored.empty() && info->format == imaging::PictureFormat::Bmp) {
            item.stored = file;
            item.extension = "bmp";
            item.contentType = "image/bmp";
            break;
        }
        if (item.stored.empty())
            throw ComError(E_FAIL, "The picture cannot be decoded.", "Shapes");
        m_converted.push_back(item.stored);
        if (!DigestFile(item.stored, item.digest, item.size))
            throw ComError(E_FAIL, "The picture cannot be converted.", "Shapes");
        item.extension = "png";
        item.contentType = "image/png";
        break;
    }
    }
    added.id = MediaId(m_items.size());
    m_items.push_back(std::move(item));
    m_bySourceDigest.emplace(digest, added.id);
    m_byFile.emplace(key, added);
    return added;
}

bool MediaStore::Stream(MediaId id, const std::function<bool(const char*, std::size_t)>& sink) const
{
    const MediaItem& item = Item(id);
    Digest digest;
    std::uint64_t size = 0;
    return ReadChunks(item.stored, digest, size, &sink) && size == item.size && digest == item.digest;
}

}  // namespace engine::detail
