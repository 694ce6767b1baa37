#include "imaging/PictureProbe.h"

#include "files/FileDescriptor.h"
#include "imaging/ArgbBitmap.h"
#include "imaging/PictureHeaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace imaging {

namespace detail {

bool PixelCountAllowed(std::int64_t width, std::int64_t height) noexcept
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide && width * height <= kMaxImagePixels;
}

}  // namespace detail

namespace {

class MemorySource final : public detail::ByteSource {
public:
    explicit MemorySource(std::span<const unsigned char> bytes) noexcept : bytes_(bytes) {}
    std::uint64_t Size() const noexcept override { return bytes_.size(); }
    bool Read(std::uint64_t offset, void* out, std::size_t n) noexcept override
    {
        if (offset > bytes_.size() || bytes_.size() - offset < n)
            return false;
        std::memcpy(out, bytes_.data() + offset, n);
        return true;
    }

private:
    std::span<const unsigned char> bytes_;
};

// Reads through a window, so that walking many small blocks costs few calls.
class FileSource final : public detail::ByteSource {
public:
    // Only a regular file is opened: a FIFO or device would block or never end.
    explicit FileSource(const std::filesystem::path& path) noexcept
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY))
    {
        struct stat st {};
        if (fd_.Valid() && ::fstat(fd_.Get(), &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<std::uint64_t>(st.st_size);
        else
            fd_.Close();
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool IsOpen() const noexcept { return fd_.Valid(); }
    bool Failed() const noexcept { return failed_; }
    std::uint64_t Size() const noexcept override { return size_; }

    bool Read(std::uint64_t offset, void* out, std::size_t n) noexcept override
    {
        if (!fd_.Valid() || offset > size_ || size_ - offset < n)
            return false;
        if (offset >= windowStart_ && offset + n <= windowStart_ + windowLength_) {
            std::memcpy(out, window_.data() + (offset - windowStart_), n);
            return true;
        }
        if (n > window_.size())
            return ReadFully(offset, static_cast<unsigned char*>(out), n);
        windowStart_ = offset;
        windowLength_ = static_cast<std::size_t>(std::min<std::uint64_t>(window_.size(), size_ - offset));
        if (!ReadFully(offset, window_.data(), windowLength_)) {
            windowLength_ = 0;
            return false;
        }
        std::memcpy(out, window_.data(), n);
        return true;
    }

private:
    bool ReadFully(std::uint64_t offset, unsigned char* out, std::size_t n) noexcept
    {
        while (n > 0) {
            const ssize_t got = ::pread(fd_.Get(), out, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                // A file that shrank or cannot be read: not a picture to use.
                failed_ = true;
                return false;
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

    files::Fd fd_;
    std::uint64_t size_ = 0;
    bool failed_ = false;
    std::array<unsigned char, 65536> window_{};
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
};

bool StartsWith(std::span<const unsigned char> bytes, std::string_view magic) noexcept
{
    return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

detail::HeaderResult Probe(detail::ByteSource& source) noexcept
{
    if (source.Size() == 0)
        return PictureFault::Empty;
    std::array<unsigned char, 16> head{};
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), source.Size()));
    if (!source.Read(0, head.data(), length))
        return PictureFault::Unreadable;
    const std::span<const unsigned char> magic(head.data(), length);
    using namespace std::string_view_literals;
    if (StartsWith(magic, "\x89PNG\r\n\x1A\n"sv))
        return detail::ReadPngHeader(source);
    if (StartsWith(magic, "\xFF\xD8\xFF"sv))
        return detail::ReadJpegHeader(source);
    if (StartsWith(magic, "GIF87a"sv) || StartsWith(magic, "GIF89a"sv))
        return detail::ReadGifHeader(source);
    if (StartsWith(magic, "BM"sv))
        return detail::ReadBmpHeader(source);
    if (StartsWith(magic, "II*\0"sv) || StartsWith(magic, "MM\0*"sv))
        return detail::ReadTiffHeader(source);
    if (StartsWith(magic, "RIFF"sv) && length >= 12 && std::memcmp(head.data() + 8, "WEBP", 4) == 0)
        return detail::ReadWebPHeader(source);
    return PictureFault::UnknownFormat;
}

std::optional<PictureInfo> Deliver(const detail::HeaderResult& result, PictureFault* fault, PixelCap cap) noexcept
{
    if (const auto* info = std::get_if<PictureInfo>(&result)) {
        if (cap == PixelCap::NotApplied || detail::PixelCountAllowed(info->width, info->height))
            return *info;
        if (fault != nullptr)
            *fault = PictureFault::TooLarge;
        return std::nullopt;
    }
    if (fault != nullptr)
        *fault = std::get<PictureFault>(result);
    return std::nullopt;
}

}  // namespace

std::optional<PictureInfo> ProbePicture(const std::filesystem::path& file, PictureFault* fault, PixelCap cap) noexcept
{
    FileSource source(file);
    if (!source.IsOpen())
        return Deliver(PictureFault::Unreadable, fault, cap);
    const detail::HeaderResult result = Probe(source);
    // A read error is not the file's shape: say so rather than "truncated".
    if (source.Failed() && !std::holds_alternative<PictureInfo>(result))
        return Deliver(PictureFault::Unreadable, fault, cap);
    return Deliver(result, fault, cap);
}

std::optional<PictureInfo> ProbePicture(std::span<const unsigned char> bytes, PictureFault* fault, PixelCap cap) noexcept
{
    MemorySource source(bytes);
    return Deliver(Probe(source), fault, cap);
}

}  // namespace imaging
