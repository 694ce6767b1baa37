#pragma once

#include <cstdint>

namespace imaging {

// Pixels one book may have decoded in all: five pictures at the pixel cap.
// A picture beyond it is not decoded (DecodePicture gives ValueOverflow), so
// that a book of many large pictures ends in seconds and bounded memory.
inline constexpr std::int64_t kBookDecodingPixels = 250'000'000;

// The decoding budget of the conversion running on this thread, from its
// construction to its end; without one, decoding is not limited.
class DecodingBudget {
public:
    explicit DecodingBudget(std::int64_t pixels = kBookDecodingPixels) noexcept;
    ~DecodingBudget();
    DecodingBudget(const DecodingBudget&) = delete;
    DecodingBudget& operator=(const DecodingBudget&) = delete;

    // Takes pixels from the current budget: false, taking nothing, when
    // fewer are left.
    static bool Take(std::int64_t pixels) noexcept;

private:
    std::int64_t left_;
    DecodingBudget* outer_;
};

}  // namespace imaging
