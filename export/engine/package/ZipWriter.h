#pragma once
// A zip package written through minizip onto an open file descriptor, entry
// by entry, with fixed entry times so that equal input gives equal bytes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace engine::detail {

using ChunkSink = std::function<bool(const char*, std::size_t)>;

// An entry's bytes deflated without a zip header, with what the header needs.
struct DeflatedEntry {
    std::string bytes;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    bool text = false;  // zlib's guess, recorded in the directory
    bool ok = false;
};
// Deflates as minizip would, at the default level.
DeflatedEntry Deflate(std::string_view data);

class ZipWriter {
public:
    // fd stays owned by the caller; the writer works on a duplicate.
    explicit ZipWriter(int fd);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A deflated entry. Compressing is most of the cost of writing a part:
    // entries are compressed side by side on the writer's own threads while
    // the caller goes on, and written in the order they were added. False
    // once anything has failed.
    bool Add(std::string name, std::string data);
    // A stored entry of size bytes whose content produce hands to its sink,
    // after the entries added before it.
    bool AddStored(const std::string& name, std::uint64_t size, const std::function<bool(const ChunkSink&)>& produce);
    // Writes the central directory and flushes to disk; false on any failure.
    bool Close();

private:
    static constexpr std::size_t kMostPending = 16;  // entries held at once
    static constexpr unsigned kMostCompressors = 4;

    struct Pending {
        std::string name;
        std::future<DeflatedEntry> entry;
    };

    bool Open(const std::string& name, bool deflate, bool large, bool text);
    bool WriteChunks(const char* data, std::size_t size);
    bool WriteDeflated(const std::string& name, const DeflatedEntry& entry);
    // Writes pending entries in order: waiting while more than keep are
    // held, then those already compressed.
    void WriteFinished(std::size_t keep);
    void Compress();

    void* m_zip = nullptr;
    int m_fd;
    bool m_ok = true;
    std::deque<Pending> m_pending;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::deque<std::packaged_task<DeflatedEntry()>> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_compressors;
};

}  // namespace engine::detail
