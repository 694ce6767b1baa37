#include "imaging/PictureDecoder.h"

#include "imaging/DecodingBudget.h"
#include "imaging/FreeImageSupport.h"
#include "imaging/GifStill.h"
#include "imaging/ImageFailure.h"
#include "imaging/PictureHeaders.h"
#include "imaging/ResourceError.h"

#include <tiffio.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <mutex>
#include <vector>

namespace imaging {

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const noexcept { TIFFClose(tiff); }
};

// The TIFF library prints its complaints (also about tags it merely does not
// know) to standard error, where they are of use to nobody.
void SilenceTiff() noexcept
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// Strip TIFFs of 8-bit grey, RGB or up to 8-bit palette pixels without extra
// samples: decoded scan line by scan line into the bitmap. SamplesPerPixel
// is optional for grey and palette images; it is read with its default, so
// that such a picture is opaque. Nothing when the picture is of another kind
// (the general decoder takes it).
std::optional<ArgbBitmap> DecodeSimpleTiff(const std::filesystem::path& path, const PictureInfo& info)
{
    SilenceTiff();
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "rm"));
    if (!tiff || TIFFIsTiled(tiff.get()))
        return std::nullopt;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || !TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        return std::nullopt;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (static_cast<int>(width) != info.width || static_cast<int>(height) != info.height || extraCount != 0 || planar != PLANARCONFIG_CONTIG)
        return std::nullopt;
    const bool grey = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) && bits == 8 && samples == 1;
    const bool rgb = photometric == PHOTOMETRIC_RGB && bits == 8 && samples == 3;
    const bool palette = photometric == PHOTOMETRIC_PALETTE && (bits == 1 || bits == 2 || bits == 4 || bits == 8) && samples == 1;
    if (!grey && !rgb && !palette)
        return std::nullopt;

    std::vector<std::uint32_t> colours(256, 0xFF000000u);
    if (palette) {
        std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tiff.get(), TIFFTAG_COLORMAP, &red, &green, &blue))
            return std::nullopt;
        const std::size_t entries = std::size_t{1} << bits;
        // Old writers stored 8-bit maps in the 16-bit table.
        const bool eightBit = std::all_of(red, red + entries, [](std::uint16_t v) { return v < 256; }) && std::all_of(green, green + entries, [](std::uint16_t v) { return v < 256; }) && std::all_of(blue, blue + entries, [](std::uint16_t v) { return v < 256; });
        const int shift = eightBit ? 0 : 8;
        for (std::size_t i = 0; i < entries; ++i)
            colours[i] = 0xFF000000u | std::uint32_t(red[i] >> shift) << 16 | std::uint32_t(green[i] >> shift) << 8 | std::uint32_t(blue[i] >> shift);
    } else if (grey) {
        for (std::uint32_t v = 0; v < 256; ++v) {
            const std::uint32_t level = photometric == PHOTOMETRIC_MINISWHITE ? 255 - v : v;
            colours[v] = 0xFF000000u | level * 0x010101u;
        }
    }

    ArgbBitmap bitmap(info.width, info.height);
    if (bitmap.IsEmpty())
        return bitmap;
    const tmsize_t lineSize = TIFFScanlineSize(tiff.get());
    if (lineSize <= 0)
        return std::nullopt;
    std::vector<unsigned char> line(static_cast<std::size_t>(lineSize));
    auto lock = bitmap.LockBits();
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.get(), line.data(), y, 0) < 0)
            return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
        std::uint32_t* row = lock->Row(static_cast<int>(y));
        if (rgb) {
            for (std::uint32_t x = 0; x < width; ++x)
                row[x] = 0xFF000000u | std::uint32_t(line[3 * x]) << 16 | std::uint32_t(line[3 * x + 1]) << 8 | line[3 * x + 2];
        } else {
            const unsigned perByte = 8u / bits, mask = (1u << bits) - 1;
            for (std::uint32_t x = 0; x < width; ++x) {
                const unsigned shift = 8 - bits - (x % perByte) * bits;
                row[x] = colours[(line[x / perByte] >> shift) & mask];
            }
        }
    }
    lock.reset();  // a bitmap is handed on unlocked
    return bitmap;
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const noexcept { WebPDemuxDelete(demux); }
};

// The first frame of a WebP, still or animated, placed on its canvas (the
// rest of the canvas transparent, as an animation starts), decoded by
// libwebp straight into the bitmap. Throws when the file cannot be read.
ArgbBitmap DecodeWebP(const std::filesystem::path& path, const PictureInfo& info)
{
    const std::vector<unsigned char> bytes = detail::ReadWholeFile(path);
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux)
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    const int canvasWidth = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int canvasHeight = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    if (canvasWidth != info.width || canvasHeight != info.height)
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    WebPIterator frame{};
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame))
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    struct IteratorRelease {
        WebPIterator* it;
        ~IteratorRelease() { WebPDemuxReleaseIterator(it); }
    } release{&frame};
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 || frame.x_offset + frame.width > canvasWidth || frame.y_offset + frame.height > canvasHeight)
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    ArgbBitmap bitmap(canvasWidth, canvasHeight);
    if (bitmap.IsEmpty())
        return bitmap;
    auto lock = bitmap.LockBits();
    // BGRA bytes are 0xAARRGGBB words on this little-endian machine.
    auto* at = reinterpret_cast<std::uint8_t*>(lock->Row(frame.y_offset) + frame.x_offset);
    const int stride = canvasWidth * 4;
    const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(frame.height - 1) + static_cast<std::size_t>(frame.width) * 4;
    if (!WebPDecodeBGRAInto(frame.fragment.bytes, frame.fragment.size, at, size, stride))
        return ArgbBitmap::Empty(ImageStatus::UnknownImageFormat);
    lock.reset();  // a bitmap is handed on unlocked
    return bitmap;
}

}  // namespace

ArgbBitmap DecodePicture(const std::filesystem::path& path, const PictureInfo& info)
{
    static_assert(std::endian::native == std::endian::little, "pixels are decoded as little-endian words");
    ArgbBitmap bitmap = [&] {
        if (!detail::PixelCountAllowed(info.width, info.height) || !DecodingBudget::Take(std::int64_t{info.width} * info.height))
            return ArgbBitmap::Empty(ImageStatus::ValueOverflow);
        if (info.format == PictureFormat::Tiff) {
            if (auto simple = DecodeSimpleTiff(path, info))
                return std::move(*simple);
        } else if (info.format == PictureFormat::WebP) {
            return detail::BitmapOrEmpty([&] { return DecodeWebP(path, info); });
        } else if (info.format == PictureFormat::Gif) {
            return DecodeGifStill(path, info);
        }
        return detail::BitmapOrEmpty([&] { return detail::DecodeImage(detail::ReadWholeFile(path)); });
    }();
    if (bitmap.IsEmpty() && bitmap.GetLastStatus() == ImageStatus::OutOfMemory)
        ThrowOutOfMemory("decoding picture " + path.filename().string());
    return bitmap;
}

}  // namespace imaging
