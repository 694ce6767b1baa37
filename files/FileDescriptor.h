#pragma once
// Owned file descriptors and the loops that read and write them whole.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace files {

class Fd {
public:
    explicit Fd(int fd = -1) noexcept : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }

    int Get() const noexcept { return m_fd; }
    bool Valid() const noexcept { return m_fd >= 0; }
    void Reset(int fd = -1) noexcept
    {
        Close();
        m_fd = fd;
    }
    int Release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now; false when close reports an error (a delayed write error).
    bool Close() noexcept;

private:
    int m_fd;
};

// Writes all of data, retrying after signals; false when the descriptor fails.
bool WriteAll(int fd, std::string_view data) noexcept;
// The same at a file offset, leaving the descriptor's own position alone.
bool WriteAllAt(int fd, std::string_view data, std::uint64_t offset) noexcept;
// One read, retried after signals: the count read, 0 at the end, -1 on error.
ssize_t ReadSome(int fd, void* buffer, std::size_t size) noexcept;

// Writes bytes as the file at path, created with the mode the umask gives
// (refusing an existing entry unless replace); a failed write leaves no file.
bool WriteFile(const std::filesystem::path& path, std::string_view bytes, bool replace) noexcept;

}  // namespace files
