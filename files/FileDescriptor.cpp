#include "files/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace files {

bool Fd::Close() noexcept
{
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close fails: never retried.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
}

bool WriteAll(int fd, std::string_view data) noexcept
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteAllAt(int fd, std::string_view data, std::uint64_t offset) noexcept
{
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

ssize_t ReadSome(int fd, void* buffer, std::size_t size) noexcept
{
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool WriteFile(const std::filesystem::path& path, std::string_view bytes, bool replace) noexcept
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    Fd file(::open(path.c_str(), flags, 0666));
    if (!file.Valid())
        return false;
    if (WriteAll(file.Get(), bytes) && file.Close())
        return true;
    ::unlink(path.c_str());
    return false;
}

}  // namespace files
