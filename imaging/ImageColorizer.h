#pragma once

#include "imaging/ArgbBitmap.h"

#include <array>
#include <cstdint>

namespace imaging {

// A COLORREF colour: 0x00BBGGRR, red in the low byte.
using ColorRef = std::uint32_t;

// Recolours a bitmap in place; made on the stack for one use.
class CImageColorizer {
public:
    // Maps each pixel's luminance onto the gradient from dark to light.
    void SetDuotone(ColorRef dark, ColorRef light) noexcept;

    // Recolours every pixel, alpha kept. A bitmap that cannot be locked stays
    // as it is and keeps the failure as its status.
    void Apply(ArgbBitmap& bitmap) const noexcept;

    // What Apply makes of one 0xAARRGGBB pixel.
    std::uint32_t Tint(std::uint32_t argb) const noexcept;

private:
    ColorRef dark_ = 0;
    ColorRef light_ = 0;
    bool duotone_ = false;
};

}  // namespace imaging
