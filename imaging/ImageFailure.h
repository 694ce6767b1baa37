#pragma once

// The image operations inside the library throw; the functions it offers
// report a status or an empty bitmap instead. The one turns into the other
// here. Internal to the imaging library.

#include "imaging/ArgbBitmap.h"

#include <stdexcept>
#include <utility>

namespace imaging::detail {

// An image operation that failed for a reason a status names.
class ImageFailure : public std::runtime_error {
public:
    ImageFailure(ImageStatus status, const char* what) : std::runtime_error(what), status_(status) {}
    ImageStatus Status() const noexcept { return status_; }

private:
    ImageStatus status_;
};

// The status of the exception being handled; call it in a catch block only.
// An ImageFailure gives its own. std::bad_alloc and any other
// std::runtime_error (a FreeImage call that failed on pixels made here, which
// happens only when memory runs out) give OutOfMemory. A ResourceError, and
// whatever is no runtime_error, is rethrown.
ImageStatus CurrentFailureStatus();

// Ok when operation returns, else the status of what it threw.
template <class Operation>
ImageStatus StatusOf(Operation&& operation)
{
    try {
        std::forward<Operation>(operation)();
        return ImageStatus::Ok;
    } catch (...) {
        return CurrentFailureStatus();
    }
}

// The bitmap make returns, or an empty one whose status says why it threw.
template <class Make>
ArgbBitmap BitmapOrEmpty(Make&& make)
{
    ArgbBitmap bitmap;
    const ImageStatus status = StatusOf([&] { bitmap = std::forward<Make>(make)(); });
    return status == ImageStatus::Ok ? std::move(bitmap) : ArgbBitmap::Empty(status);
}

}  // namespace imaging::detail
