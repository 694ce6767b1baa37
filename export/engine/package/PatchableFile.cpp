#include "export/engine/package/PatchableFile.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace engine::detail {

PatchableFile::PatchableFile(int fd, std::size_t bufferSize) : m_fd(fd), m_bufferSize(std::max<std::size_t>(bufferSize, 1))
{
    m_buffer.reserve(m_bufferSize);
}

bool PatchableFile::Flush()
{
    if (!m_failed && !files::WriteAllAt(m_fd.Get(), {m_buffer.data(), m_buffer.size()}, m_bufferStart))
        m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

bool PatchableFile::Write(const void* data, std::size_t size)
{
    if (m_failed)
        return false;
    // Only a write that starts inside or right after the held bytes joins them.
    if (m_position < m_bufferStart || m_position > m_bufferStart + m_buffer.size()) {
        if (!Flush())
            return false;
        m_bufferStart = m_position;
    }
    const std::size_t offset = std::size_t(m_position - m_bufferStart);
    if (offset + size > m_buffer.size())
        m_buffer.resize(offset + size);
    std::memcpy(m_buffer.data() + offset, data, size);
    m_position += size;
    m_size = std::max(m_size, m_position);
    if (m_buffer.size() >= m_bufferSize) {
        if (!Flush())
            return false;
        m_bufferStart = m_position;
    }
    return true;
}

bool PatchableFile::Sync()
{
    return Flush() && ::fsync(m_fd.Get()) == 0;
}

}  // namespace engine::detail
