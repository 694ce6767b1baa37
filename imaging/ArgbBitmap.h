#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace imaging {

// Outcome of a bitmap operation, kept in the bitmap as its last status.
enum class ImageStatus {
    Ok,
    InvalidParameter,
    OutOfMemory,
    WrongState,
    FileNotFound,
    UnknownImageFormat,
    ValueOverflow,
    Win32Error,
};

// Largest image, in pixels, that is decoded or allocated at all. Anything
// bigger is refused before its pixels are allocated, so that a hostile or
// broken header cannot exhaust memory (50 Mpx of 32-bit pixels is 200 MB;
// decoding needs about three times that at the peak).
inline constexpr std::int64_t kMaxImagePixels = 50'000'000;
// Largest width or height accepted on its own.
inline constexpr int kMaxImageSide = 65535;

// A 32-bit ARGB image: one std::uint32_t 0xAARRGGBB per pixel, rows from the
// top, not premultiplied. Pixels are reached through a lock, one at a time.
class ArgbBitmap {
public:
    // An empty bitmap (width and height 0) whose status is InvalidParameter.
    ArgbBitmap() = default;
    // A transparent black bitmap; an impossible size leaves it empty with the
    // status InvalidParameter or OutOfMemory.
    ArgbBitmap(int width, int height);

    ArgbBitmap(ArgbBitmap&& other) noexcept;
    ArgbBitmap& operator=(ArgbBitmap&& other) noexcept;
    ArgbBitmap(const ArgbBitmap&) = delete;
    ArgbBitmap& operator=(const ArgbBitmap&) = delete;
    ~ArgbBitmap() = default;

    // The first frame of an image file; on failure an empty bitmap whose status
    // says why. Throws ResourceError when memory runs out: that is no fault
    // of the picture.
    static ArgbBitmap FromFile(const std::filesystem::path& path);
    // An empty bitmap that records why it could not be made.
    static ArgbBitmap Empty(ImageStatus status) noexcept;

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    bool IsEmpty() const noexcept { return pixels_.empty(); }
    ImageStatus GetLastStatus() const noexcept { return status_; }
    // Read-only view of all pixels, row after row.
    std::span<const std::uint32_t> Pixels() const noexcept { return pixels_; }

    // Exclusive access to the pixels; the bitmap is unlocked when it ends.
    class Lock {
    public:
        Lock(Lock&& other) noexcept;
        Lock& operator=(Lock&&) = delete;
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        ~Lock();

        int Width() const noexcept { return bitmap_->width_; }
        int Height() const noexcept { return bitmap_->height_; }
        std::uint32_t* Row(int y) noexcept { return bitmap_->pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap_->width_); }
        const std::uint32_t* Row(int y) const noexcept { return bitmap_->pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap_->width_); }

    private:
        friend class ArgbBitmap;
        explicit Lock(ArgbBitmap& bitmap) noexcept : bitmap_(&bitmap) {}
        ArgbBitmap* bitmap_;
    };

    // Fails (nothing returned, status recorded) on an empty bitmap
    // (InvalidParameter) or one that is already locked (WrongState).
    std::optional<Lock> LockBits() noexcept;

    // Single-pixel access for small jobs; out-of-range reads give 0, writes are
    // ignored, both record InvalidParameter.
    std::uint32_t GetPixel(int x, int y) noexcept;
    void SetPixel(int x, int y, std::uint32_t argb) noexcept;

    // Mirrors the bitmap in place.
    void FlipHorizontal() noexcept;
    void FlipVertical() noexcept;

private:
    int width_ = 0;
    int height_ = 0;
    bool locked_ = false;
    ImageStatus status_ = ImageStatus::InvalidParameter;
    std::vector<std::uint32_t> pixels_;
};

}  // namespace imaging
