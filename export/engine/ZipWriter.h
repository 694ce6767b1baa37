#pragma once
// A zip package written through minizip onto an open file descriptor, entry
// by entry, with fixed entry times so that equal input gives equal bytes.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
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

    // A deflated entry, compressed and written on a thread of the writer's
    // own while the caller goes on; false once anything has failed.
    bool Add(std::string name, std::string data);
    // A stored entry of size bytes whose content produce hands to its sink,
    // after the entries added before it.
    bool AddStored(const std::string& name, std::uint64_t size, const std::function<bool(const ChunkSink&)>& produce);
    // Writes the central directory and flushes to disk; false on any failure.
    bool Close();

private:
    static constexpr std::size_t kMostQueued = 16; // parts held at once

    bool Open(const std::string& name, bool deflate, bool large);
    bool WriteDeflated(const std::string& name, std::string_view data);
    void CompressQueued();
    bool WaitForQueued();

    void* m_zip = nullptr;
    int m_fd;
    std::atomic<bool> m_ok = true;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<std::string, std::string>> m_queue;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace engine::detail
