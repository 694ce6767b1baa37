#include "imaging/ImageColorizer.h"

#include <array>

namespace imaging {

void CImageColorizer::SetDuotone(ColorRef dark, ColorRef light) noexcept
{
    dark_ = dark;
    light_ = light;
    duotone_ = true;
}

namespace {

int Channel(ColorRef colour, int index) noexcept
{
    return static_cast<int>((colour >> (8 * index)) & 0xFFu);
}

// One channel of the duotone, in single precision and truncated toward zero
// as the gradient is defined.
std::uint32_t Tone(int dark, int light, float luminance) noexcept
{
    const float value = static_cast<float>(light - dark) * luminance + static_cast<float>(dark);
    const int truncated = static_cast<int>(value);
    return static_cast<std::uint32_t>(truncated < 0 ? 0 : truncated > 255 ? 255
                                                                          : truncated);
}

}  // namespace

std::uint32_t CImageColorizer::Tint(std::uint32_t p) const noexcept
{
    if (!duotone_)
        return p;
    const float r = static_cast<float>((p >> 16) & 0xFFu);
    const float g = static_cast<float>((p >> 8) & 0xFFu);
    const float b = static_cast<float>(p & 0xFFu);
    const float luminance = (0.27f * r + 0.67f * g + 0.06f * b) / 255.0f;
    return (p & 0xFF000000u) | Tone(Channel(dark_, 0), Channel(light_, 0), luminance) << 16 | Tone(Channel(dark_, 1), Channel(light_, 1), luminance) << 8 | Tone(Channel(dark_, 2), Channel(light_, 2), luminance);
}

void CImageColorizer::Apply(ArgbBitmap& bitmap) const noexcept
{
    auto lock = bitmap.LockBits();
    if (!lock)
        return;
    // With neutral tone settings the channel table is the identity, so it is
    // not materialised.
    if (!duotone_)
        return;
    const int darkR = Channel(dark_, 0), darkG = Channel(dark_, 1), darkB = Channel(dark_, 2);
    const int lightR = Channel(light_, 0), lightG = Channel(light_, 1), lightB = Channel(light_, 2);
    const auto tone = [&](std::uint32_t p) {
        const float r = static_cast<float>((p >> 16) & 0xFFu);
        const float g = static_cast<float>((p >> 8) & 0xFFu);
        const float b = static_cast<float>(p & 0xFFu);
        const float luminance = (0.27f * r + 0.67f * g + 0.06f * b) / 255.0f;
        return Tone(darkR, lightR, luminance) << 16 | Tone(darkG, lightG, luminance) << 8 | Tone(darkB, lightB, luminance);
    };
    // Grey pixels (most textures) come from a table made by the same formula.
    std::array<std::uint32_t, 256> grey{};
    for (std::uint32_t v = 0; v < 256; ++v)
        grey[v] = tone(v * 0x010101u);
    for (int y = 0; y < lock->Height(); ++y) {
        std::uint32_t* row = lock->Row(y);
        for (int x = 0; x < lock->Width(); ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t v = p & 0xFFu;
            const bool isGrey = ((p >> 8) & 0xFFu) == v && ((p >> 16) & 0xFFu) == v;
            row[x] = (p & 0xFF000000u) | (isGrey ? grey[v] : tone(p));
        }
    }
}

}  // namespace imaging
