#pragma once
// A zip package written through minizip onto an open file descriptor, entry
// by entry, with fixed entry times so that equal input gives equal bytes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace engine::detail {

using ChunkSink = std::function<bool(const char*, std::size_t)>;

class ZipWriter {
public:
    // fd stays owned by the caller; the writer works on a duplicate.
    explicit ZipWriter(int fd);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A deflated entry.
    bool Add(const std::string& name, std::string_view data);
    // A stored entry of size bytes whose content produce hands to its sink.
    bool AddStored(const std::string& name, std::uint64_t size, const std::function<bool(const ChunkSink&)>& produce);
    // Writes the central directory and flushes to disk; false on any failure.
    bool Close();

private:
    bool Open(const std::string& name, bool deflate, bool large);
    void* m_zip = nullptr;
    int m_fd;
    bool m_ok = true;
};

} // namespace engine::detail
