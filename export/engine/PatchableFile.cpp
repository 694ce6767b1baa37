#include "export/engine/PatchableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace engine::detail {

PatchableFile::PatchableFile(int fd, std::size_t bufferSize) : m_fd(fd), m_bufferSize(std::max<std::size_t>(bufferSize, 1)) {
    m_buffer.reserve(m_bufferSize);
}

bool PatchableFile::Flush() {
    const char* data = m_buffer.data();
    std::size_t left = m_buffer.size();
    std::uint64_t offset = m_bufferStart;
    while (!m_failed && left > 0) {
        const ssize_t n = ::pwrite(m_fd.Get(), data, left, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        data += n;
        left -= std::size_t(n);
        offset += std::uint64_t(n);
    }
    m_buffer.clear();
    return !m_failed;
}

bool PatchableFile::Write(const void* data, std::size_t size) {
    if (m_failed) return false;
    // Only a write that starts inside or right after the held bytes joins them.
    if (m_position < m_bufferStart || m_position > m_bufferStart + m_buffer.size()) {
        if (!Flush()) return false;
        m_bufferStart = m_position;
    }
    const std::size_t offset = std::size_t(m_position - m_bufferStart);
    if (offset + size > m_buffer.size()) m_buffer.resize(offset + size);
    std::memcpy(m_buffer.data() + offset, data, size);
    m_position += size;
    m_size = std::max(m_size, m_position);
    if (m_buffer.size() >= m_bufferSize) {
        if (!Flush()) return false;
        m_bufferStart = m_position;
    }
    return true;
}

bool PatchableFile::Sync() {
    return Flush() && ::fsync(m_fd.Get()) == 0;
}

} // namespace engine::detail
