#pragma once
// Pictures held by reference: each distinct file is read once to learn its
// size, resolution and content digest; identical bytes share one media part,
// and the bytes are streamed from the file when the package is written.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace engine::detail {

using MediaId = int;
inline constexpr MediaId kNoMedia = -1;

struct Digest {
    std::uint64_t low = 0, high = 0;
    bool operator==(const Digest&) const = default;
};

struct MediaItem {
    std::filesystem::path source;  // the file the picture was added from
    std::filesystem::path stored;  // the bytes that go into the package
    std::uint64_t size = 0;  // of stored
    Digest digest;  // of stored
    std::string extension, contentType;
};

struct AddedMedia {
    MediaId id = kNoMedia;
    float nativeWidth = 0, nativeHeight = 0;  // points
};

class MediaStore {
public:
    MediaStore() = default;
    MediaStore(const MediaStore&) = delete;
    MediaStore& operator=(const MediaStore&) = delete;
    ~MediaStore();

    // Throws ComError: E_FILE_NOT_FOUND for a missing file, E_FAIL for one
    // that is no picture a slide can hold.
    AddedMedia Add(const std::filesystem::path& file);

    const MediaItem& Item(MediaId id) const { return m_items.at(std::size_t(id)); }
    std::size_t Count() const noexcept { return m_items.size(); }

    // Hands the stored bytes to sink in chunks; false when the file cannot be
    // read, no longer has the bytes it had, or sink returns false.
    bool Stream(MediaId id, const std::function<bool(const char*, std::size_t)>& sink) const;

    void Clear() noexcept;

private:
    using FileKey = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::int64_t>;  // dev, inode, size, mtime
    struct DigestHash {
        std::size_t operator()(const Digest& d) const noexcept { return std::size_t(d.low); }
    };

    std::map<FileKey, AddedMedia> m_byFile;
    std::unordered_multimap<Digest, MediaId, DigestHash> m_bySourceDigest;
    std::vector<MediaItem> m_items;
    std::vector<std::filesystem::path> m_converted;  // removed with the store
};

// The digest and size of a file, read in chunks; false when unreadable.
bool DigestFile(const std::filesystem::path& file, Digest& digest, std::uint64_t& size);

}  // namespace engine::detail
