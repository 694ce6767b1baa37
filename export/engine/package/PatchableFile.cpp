#include "export/engine/package/PatchableFile.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace engine::detail {

namespace {

// Writes at least this large bypass the buffer.
constexpr std::size_t kDirectWrite = 32u * 1024;

}  // namespace

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
    // A large write at the end goes straight out: media pass through here
    // by the megabyte, and a buffer that big costs more to fill than it saves.
    if (size >= kDirectWrite && m_position == m_size) {
        if (!Flush() || !files::WriteAllAt(m_fd.Get(), {static_cast<const char*>(data), size}, m_position)) {
            m_failed = true;
            return false;
        }
        m_position += size;
        m_size = m_position;
        m_bufferStart = m_position;
        return true;
    }
    // Patched bytes are overwritten in place; the rest is appended.
    const std::size_t offset = std::size_t(m_position - m_bufferStart);
    const std::size_t overwritten = std::min(size, m_buffer.size() - offset);
    if (overwritten > 0)
        std::memcpy(m_buffer.data() + offset, data, overwritten);
    const char* rest = static_cast<const char*>(data) + overwritten;
    m_buffer.insert(m_buffer.end(), rest, rest + (size - overwritten));
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
