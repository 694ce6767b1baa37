#include "imaging/ImageResampler.h"

#include "imaging/ArgbBitmap.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ResourceError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace imaging {

namespace {

// Largest source rectangle coordinate accepted; beyond it the filter taps
// alone would need more memory than any real drawing.
constexpr float kMaxRectCoordinate = 4.0f * kMaxImageSide;
// Largest intermediate buffer of the bicubic filter, in pixels.
constexpr std::int64_t kMaxIntermediatePixels = 32'000'000;

// Source index for any integer coordinate, the image repeated mirrored in
// both directions (tile-flip edge handling).
int WrapFlip(std::int64_t i, int n) noexcept
{
    const std::int64_t period = 2 * static_cast<std::int64_t>(n);
    std::int64_t m = i % period;
    if (m < 0)
        m += period;
    return static_cast<int>(m < n ? m : period - 1 - m);
}

// Keys' cubic convolution kernel with a = -0.5.
float Cubic(float t) noexcept
{
    t = std::fabs(t);
    if (t < 1.0f)
        return (1.5f * t - 2.5f) * t * t + 1.0f;
    if (t < 2.0f)
        return ((-0.5f * t + 2.5f) * t - 4.0f) * t + 2.0f;
    return 0.0f;
}

// For every destination position, the source taps and their weights.
struct Taps {
    std::vector<int> first;  // offset of each position's taps
    std::vector<int> index;  // source index (already wrapped)
    std::vector<float> weight;
};

Taps MakeTaps(int destination, double origin, double extent, int sourceSize)
{
    Taps taps;
    taps.first.reserve(static_cast<std::size_t>(destination) + 1);
    const double scale = extent / destination;
    // Shrinking widens the kernel so that every source pixel contributes.
    const double stretch = std::max(1.0, std::fabs(scale));
    const double radius = 2.0 * stretch;
    for (int d = 0; d < destination; ++d) {
        taps.first.push_back(static_cast<int>(taps.index.size()));
        const double centre = origin + (d + 0.5) * scale - 0.5;
        const auto lo = static_cast<std::int64_t>(std::floor(centre - radius)) + 1;
        const auto hi = static_cast<std::int64_t>(std::floor(centre + radius));
        float total = 0.0f;
        const std::size_t start = taps.weight.size();
        for (std::int64_t s = lo; s <= hi; ++s) {
            const float w = Cubic(static_cast<float>((static_cast<double>(s) - centre) / stretch));
            if (w == 0.0f)
                continue;
            taps.index.push_back(WrapFlip(s, sourceSize));
            taps.weight.push_back(w);
            total += w;
        }
        if (total != 0.0f)
            for (std::size_t i = start; i < taps.weight.size(); ++i)
                taps.weight[i] /= total;
    }
    taps.first.push_back(static_cast<int>(taps.index.size()));
    return taps;
}

// Nearest neighbour: each destination pixel takes the source pixel under its
// centre, so equal sizes copy exactly.
void DrawNearest(ArgbBitmap& source, ArgbBitmap& destination, const RectF& r)
{
    auto from = source.LockBits();
    auto to = destination.LockBits();
    if (!from || !to)
        return;
    const int width = to->Width(), height = to->Height();
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[static_cast<std::size_t>(x)] = WrapFlip(static_cast<std::int64_t>(std::floor(r.x + (x + 0.5) * static_cast<double>(r.width) / width)), from->Width());
    for (int y = 0; y < height; ++y) {
        const int sy = WrapFlip(static_cast<std::int64_t>(std::floor(r.y + (y + 0.5) * static_cast<double>(r.height) / height)), from->Height());
        const std::uint32_t* in = from->Row(sy);
        std::uint32_t* out = to->Row(y);
        for (int x = 0; x < width; ++x)
            out[x] = in[columns[static_cast<std::size_t>(x)]];
    }
}

// Bicubic, filtered in premultiplied alpha so that transparent pixels do not
// darken their neighbours. Returns false when the work would not fit.
bool DrawBicubic(ArgbBitmap& source, ArgbBitmap& destination, const RectF& r)
{
    auto from = source.LockBits();
    auto to = destination.LockBits();
    if (!from || !to)
        return false;
    const int width = to->Width(), height = to->Height();
    const Taps horizontal = MakeTaps(width, r.x, r.width, from->Width());
    const Taps vertical = MakeTaps(height, r.y, r.height, from->Height());
    if (vertical.index.empty() || horizontal.index.empty())
        return false;
    const auto [minRow, maxRow] = std::minmax_element(vertical.index.begin(), vertical.index.end());
    const int rowCount = *maxRow - *minRow + 1;
    if (static_cast<std::int64_t>(rowCount) * width > kMaxIntermediatePixels)
        return false;

    // Horizontal pass over the source rows that the vertical pass reads.
    std::vector<float> middle(static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(width) * 4);
    for (int row = 0; row < rowCount; ++row) {
        const std::uint32_t* in = from->Row(*minRow + row);
        float* out = middle.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 4;
        for (int x = 0; x < width; ++x, out += 4) {
            float a = 0, red = 0, green = 0, blue = 0;
            for (int t = horizontal.first[static_cast<std::size_t>(x)]; t < horizontal.first[static_cast<std::size_t>(x) + 1]; ++t) {
                const std::uint32_t p = in[horizontal.index[static_cast<std::size_t>(t)]];
                const float w = horizontal.weight[static_cast<std::size_t>(t)];
                const float alpha = static_cast<float>(p >> 24);
                const float wa = w * alpha / 255.0f;
                a += w * alpha;
                red += wa * static_cast<float>((p >> 16) & 0xFFu);
                green += wa * static_cast<float>((p >> 8) & 0xFFu);
                blue += wa * static_cast<float>(p & 0xFFu);
            }
            out[0] = a;
            out[1] = red;
            out[2] = green;
            out[3] = blue;
        }
    }

    auto toByte = [](float v) {
        const long rounded = std::lround(v);
        return static_cast<std::uint32_t>(std::clamp(rounded, 0L, 255L));
    };
    for (int y = 0; y < height; ++y) {
        std::uint32_t* out = to->Row(y);
        for (int x = 0; x < width; ++x) {
            float a = 0, red = 0, green = 0, blue = 0;
            for (int t = vertical.first[static_cast<std::size_t>(y)]; t < vertical.first[static_cast<std::size_t>(y) + 1]; ++t) {
                const float w = vertical.weight[static_cast<std::size_t>(t)];
                const float* m = middle.data() + (static_cast<std::size_t>(vertical.index[static_cast<std::size_t>(t)] - *minRow) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
                a += w * m[0];
                red += w * m[1];
                green += w * m[2];
                blue += w * m[3];
            }
            const std::uint32_t alpha = toByte(a);
            if (alpha == 0) {
                out[x] = 0;
                continue;
            }
            const float unpremultiply = 255.0f / a;
            out[x] = alpha << 24 | toByte(red * unpremultiply) << 16 | toByte(green * unpremultiply) << 8 | toByte(blue * unpremultiply);
        }
    }
    return true;
}

// The text after the last dot of the file name; empty without one.
std::string ExtensionOf(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

bool CImageResampler::Resample(const std::filesystem::path& destinationPath, const std::filesystem::path& sourcePath,
                               int width, int height, long quality, std::optional<RectF> sourceRect,
                               std::string_view format) const
{
    const std::string copy = "a copy of picture " + sourcePath.filename().string();
    try {
        const std::string formatText = format.empty() ? ExtensionOf(destinationPath) : std::string(format);
        EncoderId encoder{};
        if (FindEncoderClsid(formatText, &encoder) < 0)
            return false;

        ArgbBitmap source = ArgbBitmap::FromFile(sourcePath);
        if (source.IsEmpty())
            return false;
        if (width < 0 && height < 0) {
            source.FlipHorizontal();
            source.FlipVertical();
        } else if (width < 0) {
            source.FlipHorizontal();
        } else if (height < 0) {
            source.FlipVertical();
        }
        width = width == std::numeric_limits<int>::min() ? 0 : std::abs(width);
        height = height == std::numeric_limits<int>::min() ? 0 : std::abs(height);
        if (width == 0 && height == 0) {
            width = source.Width();
            height = source.Height();
        }
        ArgbBitmap destination(width, height);
        if (destination.GetLastStatus() == ImageStatus::OutOfMemory)
            ThrowOutOfMemory("drawing " + copy);
        if (destination.IsEmpty())
            return false;

        const RectF area = sourceRect.value_or(RectF{0, 0, static_cast<float>(source.Width()), static_cast<float>(source.Height())});
        if (!std::isfinite(area.x) || !std::isfinite(area.y) || !std::isfinite(area.width) || !std::isfinite(area.height) || area.width == 0 || area.height == 0 || std::fabs(area.x) > kMaxRectCoordinate || std::fabs(area.y) > kMaxRectCoordinate || std::fabs(area.width) > kMaxRectCoordinate || std::fabs(area.height) > kMaxRectCoordinate)
            return false;
        if (width == source.Width() && height == source.Height())
            DrawNearest(source, destination, area);
        else if (!DrawBicubic(source, destination, area))
            return false;

        const long effectiveQuality = quality != 0 ? quality : EqualsNoCase(formatText, "jpg") ? 100
                                                                                               : 0;
        return SaveBitmap(destination, destinationPath, encoder, effectiveQuality, copy) == ImageStatus::Ok;
    } catch (const ResourceError&) {
        throw;
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory("drawing " + copy);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace imaging
