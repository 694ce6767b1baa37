#pragma once
// An output file written front to back with occasional going back to patch
// what was written earlier (a zip writer fills in each entry's header once
// the entry is done). Recent bytes stay in memory, so a patch near the end
// costs no system call; everything else goes out in large positioned writes.
#include "files/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine::detail {

class PatchableFile {
public:
    // Takes ownership of fd.
    explicit PatchableFile(int fd, std::size_t bufferSize = 1u << 20);
    PatchableFile(const PatchableFile&) = delete;
    PatchableFile& operator=(const PatchableFile&) = delete;

    // False once any write has failed; later calls do nothing.
    bool Write(const void* data, std::size_t size);
    std::uint64_t Tell() const { return m_position; }
    std::uint64_t Size() const { return m_size; }
    void Seek(std::uint64_t position) { m_position = position; }
    // Writes out what is held and makes it durable.
    bool Sync();
    bool Failed() const { return m_failed; }

private:
    bool Flush();

    files::Fd m_fd;
    std::size_t m_bufferSize;
    std::vector<char> m_buffer;  // bytes from m_bufferStart not yet in the file
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
    bool m_failed = false;
};

}  // namespace engine::detail
