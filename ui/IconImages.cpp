#include "ui/IconImages.h"

#include <cstring>

namespace ui {

namespace {

unsigned Little(std::span<const unsigned char> b, std::size_t at, int bytes)
{
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

}  // namespace

std::span<const unsigned char> IconImage(std::span<const unsigned char> ico, int size)
{
    if (ico.size() < 6 || Little(ico, 0, 2) != 0 || Little(ico, 2, 2) != 1)
        return {};
    const std::size_t count = Little(ico, 4, 2);
    std::span<const unsigned char> best;
    int bestSize = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        if (entry + 16 > ico.size())
            return {};
        const int side = ico[entry] == 0 ? 256 : ico[entry];
        const std::size_t length = Little(ico, entry + 8, 4), offset = Little(ico, entry + 12, 4);
        if (offset > ico.size() || length > ico.size() - offset || length < 8 || std::memcmp(ico.data() + offset, "\x89PNG\r\n\x1A\n", 8) != 0)
            continue;
        // Prefer the smallest image that is large enough, then the largest one.
        const bool better = best.empty() || (bestSize < size ? side > bestSize : side >= size && side < bestSize);
        if (better) {
            best = ico.subspan(offset, length);
            bestSize = side;
        }
    }
    return best;
}

}  // namespace ui
