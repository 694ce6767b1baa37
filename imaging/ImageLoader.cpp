#include "imaging/ImageLoader.h"

#include "imaging/FreeImageCpp.h"
#include "imaging/FreeImageSupport.h"

#include <boost/rational.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>
#include <stdexcept>

namespace imaging {

namespace {

enum class Format { Unknown,
                    Ico,
                    Png };

Format Detect(std::span<const unsigned char> head)
{
    static const unsigned char ico[] = {0x00, 0x00, 0x01, 0x00};
    static const unsigned char png[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (head.size() >= sizeof ico && std::memcmp(head.data(), ico, sizeof ico) == 0)
        return Format::Ico;
    if (head.size() >= sizeof png && std::memcmp(head.data(), png, sizeof png) == 0)
        return Format::Png;
    return Format::Unknown;
}

// Headers first, so that only the chosen frame is decoded.
ArgbBitmap LoadIcon(const std::function<std::unique_ptr<freeimagecpp::IFreeImageIO>()>& open, int requestedSize)
{
    std::size_t chosen = 0;
    {
        auto adapter = open();
        freeimagecpp::CFreeImageMultiBitmap headers(FIF_ICO, *adapter, FIF_LOAD_NOPIXELS);
        std::vector<int> widths;
        const int pages = headers.PageCount();
        for (int page = 0; page < pages; ++page)
            widths.push_back(headers.GetPageSize(page).width);
        if (widths.empty())
            throw std::runtime_error("LockPage");
        chosen = ChooseIconPage(widths, requestedSize);
    }
    auto adapter = open();
    freeimagecpp::CFreeImageMultiBitmap icon(FIF_ICO, *adapter, 0);
    return detail::ToArgb(icon.ClonePage(static_cast<int>(chosen)));
}

}  // namespace

std::size_t ChooseIconPage(const std::vector<int>& widths, int requestedSize)
{
    std::vector<std::size_t> order(widths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return widths[a] < widths[b]; });
    for (const std::size_t page : order)
        if (widths[page] >= requestedSize)
            return page;
    return order.empty() ? 0 : order.back();
}

ArgbBitmap LoadImageFromMemory(std::span<const unsigned char> bytes, const std::string& name, int requestedSize)
{
    switch (Detect(bytes)) {
    case Format::Ico:
        return LoadIcon([bytes] { return std::make_unique<freeimagecpp::CFreeImageIOMemory>(bytes.data(), bytes.size()); },
                        requestedSize);
    case Format::Png: {
        freeimagecpp::CFreeImageBitmap png;
        try {
            png = freeimagecpp::CFreeImageMemory(bytes).Load(FIF_PNG, 0);
        } catch (const std::runtime_error&) {
            throw std::runtime_error("Cannot load image from resource " + name);
        }
        return detail::ToArgb(png);
    }
    default:
        throw std::runtime_error("Unknown image format for resource " + name);
    }
}

ArgbBitmap LoadImageFromResource(const ResourceFinder& find, const std::string& name, int requestedSize)
{
    const auto bytes = find ? find(name) : std::nullopt;
    if (!bytes || bytes->empty()) {
        // No bytes detect as no format.
        throw std::runtime_error("Unknown image format for resource " + name);
    }
    return LoadImageFromMemory(*bytes, name, requestedSize);
}

ArgbBitmap LoadImageFromFile(const std::filesystem::path& path, int requestedSize)
{
    unsigned char head[8] = {};
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(head), sizeof head);
    const std::span<const unsigned char> read(head, static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount())));
    switch (Detect(read)) {
    case Format::Ico:
        return LoadIcon([&path] { return std::make_unique<freeimagecpp::CFreeImageIOFile>(path); }, requestedSize);
    case Format::Png: {
        freeimagecpp::CFreeImageBitmap png;
        png.Load(path, 0);
        return detail::ToArgb(png);
    }
    default:
        throw std::runtime_error("Unknown image format for file " + path.string());
    }
}

namespace {

using Fraction = boost::rational<std::int64_t>;

// Nearest integer, halves away from zero (the values here are positive).
int Round(const Fraction& f)
{
    const std::int64_t n = f.numerator();
    const std::int64_t d = f.denominator();
    return static_cast<int>((2 * n + d) / (2 * d));
}

}  // namespace

BoxSize ScaledSize(int w, int h, int boxWidth, int boxHeight, ScaleMode mode)
{
    if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0)
        throw std::invalid_argument("ScaleToBox: empty image or box");
    if (mode == ScaleMode::Stretch)
        return {boxWidth, boxHeight};
    const Fraction s(w, h);
    const Fraction t(boxWidth, boxHeight);
    const bool byHeight = mode == ScaleMode::Fit ? t >= s : s >= t;
    if (byHeight) {
        const int width = Round(s * Fraction(boxHeight));
        return {width, Round(Fraction(width) / s)};
    }
    const int height = Round(Fraction(boxWidth) / s);
    return {Round(s * Fraction(height)), height};
}

ArgbBitmap ScaleToBox(ArgbBitmap bitmap, int boxWidth, int boxHeight, ScaleMode mode)
{
    const BoxSize size = ScaledSize(bitmap.Width(), bitmap.Height(), boxWidth, boxHeight, mode);
    if (size.width == bitmap.Width() && size.height == bitmap.Height())
        return bitmap;
    if (static_cast<std::int64_t>(size.width) * size.height > kMaxImagePixels)
        throw std::invalid_argument("ScaleToBox: box too large");
    return detail::ToArgb(detail::ToFreeImage(bitmap).Rescale(size.width, size.height, FILTER_LANCZOS3));
}

}  // namespace imaging
