#include "imaging/ArgbBitmap.h"

#include "imaging/FreeImageSupport.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureProbe.h"
#include "imaging/ResourceError.h"

#include <algorithm>
#include <utility>

namespace imaging {

namespace {

bool SizeAllowed(int width, int height) noexcept
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide && static_cast<std::int64_t>(width) * height <= kMaxImagePixels;
}

}  // namespace

ArgbBitmap::ArgbBitmap(int width, int height)
{
    if (!SizeAllowed(width, height)) {
        status_ = ImageStatus::InvalidParameter;
        return;
    }
    try {
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    } catch (const std::bad_alloc&) {
        status_ = ImageStatus::OutOfMemory;
        return;
    }
    width_ = width;
    height_ = height;
    status_ = ImageStatus::Ok;
}

ArgbBitmap::ArgbBitmap(ArgbBitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      locked_(std::exchange(other.locked_, false)),
      status_(std::exchange(other.status_, ImageStatus::InvalidParameter)),
      pixels_(std::move(other.pixels_))
{
    other.pixels_.clear();
}

ArgbBitmap& ArgbBitmap::operator=(ArgbBitmap&& other) noexcept
{
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        locked_ = std::exchange(other.locked_, false);
        status_ = std::exchange(other.status_, ImageStatus::InvalidParameter);
        pixels_ = std::move(other.pixels_);
        other.pixels_.clear();
    }
    return *this;
}

ArgbBitmap ArgbBitmap::FromFile(const std::filesystem::path& path)
{
    // The header first: a refused file is never read whole.
    PictureFault fault = PictureFault::Unreadable;
    const auto info = ProbePicture(path, &fault);
    if (!info) {
        switch (fault) {
        case PictureFault::Unreadable:
            return Empty(ImageStatus::FileNotFound);
        case PictureFault::TooLarge:
            return Empty(ImageStatus::ValueOverflow);
        default:
            return Empty(ImageStatus::UnknownImageFormat);
        }
    }
    return DecodePicture(path, *info);
}

ArgbBitmap ArgbBitmap::Empty(ImageStatus status) noexcept
{
    ArgbBitmap empty;
    empty.status_ = status;
    return empty;
}

ArgbBitmap::Lock::Lock(Lock&& other) noexcept : bitmap_(std::exchange(other.bitmap_, nullptr)) {}

ArgbBitmap::Lock::~Lock()
{
    if (bitmap_ != nullptr)
        bitmap_->locked_ = false;
}

std::optional<ArgbBitmap::Lock> ArgbBitmap::LockBits() noexcept
{
    if (pixels_.empty()) {
        status_ = ImageStatus::InvalidParameter;
        return std::nullopt;
    }
    if (locked_) {
        status_ = ImageStatus::WrongState;
        return std::nullopt;
    }
    locked_ = true;
    status_ = ImageStatus::Ok;
    return Lock(*this);
}

std::uint32_t ArgbBitmap::GetPixel(int x, int y) noexcept
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        status_ = ImageStatus::InvalidParameter;
        return 0;
    }
    if (locked_) {
        status_ = ImageStatus::WrongState;
        return 0;
    }
    status_ = ImageStatus::Ok;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void ArgbBitmap::SetPixel(int x, int y, std::uint32_t argb) noexcept
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        status_ = ImageStatus::InvalidParameter;
        return;
    }
    if (locked_) {
        status_ = ImageStatus::WrongState;
        return;
    }
    status_ = ImageStatus::Ok;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = argb;
}

void ArgbBitmap::FlipHorizontal() noexcept
{
    for (int y = 0; y < height_; ++y) {
        auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        std::reverse(row, row + width_);
    }
}

void ArgbBitmap::FlipVertical() noexcept
{
    for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels_.begin() + static_cast<std::ptrdiff_t>(top) * width_,
                         pixels_.begin() + static_cast<std::ptrdiff_t>(top + 1) * width_,
                         pixels_.begin() + static_cast<std::ptrdiff_t>(bottom) * width_);
}

}  // namespace imaging
