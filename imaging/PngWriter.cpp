#include "imaging/PngWriter.h"

#include "files/FileDescriptor.h"
#include "imaging/CompactPng.h"
#include "imaging/ResourceError.h"

#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace imaging {

namespace {

void PutBe32(std::string& out, std::uint32_t v)
{
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void AppendChunk(std::string& out, const char (&type)[5], std::string_view data)
{
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.append(type, 4);
    out.append(data);
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    PutBe32(out, static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

std::string Header(int width, int height, int colourType, double dpiX, double dpiY)
{
    std::string out("\x89PNG\r\n\x1A\n", 8);
    std::string ihdr;
    PutBe32(ihdr, static_cast<std::uint32_t>(width));
    PutBe32(ihdr, static_cast<std::uint32_t>(height));
    ihdr += {8, static_cast<char>(colourType), 0, 0, 0};
    AppendChunk(out, "IHDR", ihdr);
    if (dpiX > 0 && dpiY > 0) {
        std::string phys;
        PutBe32(phys, static_cast<std::uint32_t>(std::lround(dpiX / 0.0254)));
        PutBe32(phys, static_cast<std::uint32_t>(std::lround(dpiY / 0.0254)));
        phys.push_back(1);  // metres
        AppendChunk(out, "pHYs", phys);
    }
    return out;
}

struct Deflater {
    z_stream z{};
    explicit Deflater(int level)
    {
        if (deflateInit(&z, std::clamp(level, 1, 9)) != Z_OK)
            throw std::bad_alloc();
    }
    ~Deflater() { deflateEnd(&z); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Compresses input, handing full output buffers of compressed bytes to
    // sink; flush Z_FINISH ends the stream.
    template <class Sink>
    void Feed(const unsigned char* input, std::size_t size, int flush, std::vector<unsigned char>& buffer, Sink&& sink)
    {
        z.next_in = const_cast<Bytef*>(input);
        z.avail_in = static_cast<uInt>(size);
        for (;;) {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            const int rc = deflate(&z, flush);
            if (rc == Z_STREAM_ERROR)
                throw std::bad_alloc();
            const std::size_t produced = buffer.size() - z.avail_out;
            if (produced > 0)
                sink(std::string_view(reinterpret_cast<const char*>(buffer.data()), produced));
            if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_out != 0)
                return;
        }
    }
};

unsigned char Paeth(unsigned char a, unsigned char b, unsigned char c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b
                                               : c;
}

// Creates path exclusively and writes header, then the rows that fill gives
// (each rowBytes long, filter byte first) compressed into IDAT chunks, then
// the end. False when an entry exists at path; throws ResourceError for any
// other failure, leaving no file.
bool WriteRows(const std::filesystem::path& path, std::string header, std::size_t rowBytes, int height,
               const std::function<void(int, unsigned char*)>& fill, int level, const std::string& activity)
{
    files::Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        if (errno == EEXIST)
            return false;
        ThrowWriteFailure(errno, activity);
    }
    try {
        std::string out = std::move(header);
        const auto writeOut = [&] {
            if (!files::WriteAll(file.Get(), out))
                throw std::system_error(errno, std::generic_category());
            out.clear();
        };
        std::string idat;
        const auto sink = [&](std::string_view compressed) {
            idat.append(compressed);
            if (idat.size() >= (1u << 20)) {
                AppendChunk(out, "IDAT", idat);
                idat.clear();
                writeOut();
            }
        };
        Deflater deflater(level);
        std::vector<unsigned char> buffer(1 << 16), row(rowBytes);
        for (int y = 0; y < height; ++y) {
            fill(y, row.data());
            deflater.Feed(row.data(), row.size(), Z_NO_FLUSH, buffer, sink);
        }
        deflater.Feed(nullptr, 0, Z_FINISH, buffer, sink);
        if (!idat.empty())
            AppendChunk(out, "IDAT", idat);
        AppendChunk(out, "IEND", {});
        writeOut();
        if (!file.Close())
            throw std::system_error(errno, std::generic_category());
        return true;
    } catch (const std::system_error& error) {
        ::unlink(path.c_str());
        ThrowWriteFailure(error.code().value(), activity);
    } catch (const std::bad_alloc&) {
        ::unlink(path.c_str());
        ThrowOutOfMemory(activity);
    }
}

std::string Activity(const std::filesystem::path& path, std::string_view what)
{
    return "writing " + (what.empty() ? "picture file " + path.filename().string() : std::string(what));
}

// The PLTE and tRNS chunks of a palette.
std::string PaletteChunks(std::span<const std::uint32_t> palette)
{
    // After the signature and the header chunk.
    return PalettePngHead(1, 1, palette).substr(8 + 25);
}

}  // namespace

bool SavePng(const ArgbBitmap& bitmap, const std::filesystem::path& path, int level, double dpiX, double dpiY,
             std::string_view what)
{
    if (bitmap.IsEmpty())
        return false;
    const auto pixels = bitmap.Pixels();
    // A picture of few colours (a still of a GIF, a drawing) as a palette
    // image: a quarter of the bytes to compress.
    const auto colours = DistinctColours(pixels);
    const bool opaque = std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p >> 24 == 255; });
    const int width = bitmap.Width(), height = bitmap.Height();
    const int channels = colours ? 1 : opaque ? 3
                                              : 4;
    std::string header = Header(width, height, colours ? 3 : opaque ? 2
                                                                    : 6,
                                dpiX, dpiY);
    if (colours)
        header += PaletteChunks(*colours);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    std::vector<unsigned char> previous(rowBytes, 0), current(rowBytes);
    const auto fill = [&](int y, unsigned char* filtered) {
        const std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        if (colours) {
            filtered[0] = 0;
            IndexPixels({row, static_cast<std::size_t>(width)}, *colours, filtered + 1);
            return;
        }
        unsigned char* c = current.data();
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            *c++ = static_cast<unsigned char>(p >> 16);
            *c++ = static_cast<unsigned char>(p >> 8);
            *c++ = static_cast<unsigned char>(p);
            if (!opaque)
                *c++ = static_cast<unsigned char>(p >> 24);
        }
        // The Paeth filter: the one that suits photographs best.
        filtered[0] = 4;
        const std::size_t step = static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const unsigned char left = i >= step ? current[i - step] : 0;
            const unsigned char upperLeft = i >= step ? previous[i - step] : 0;
            filtered[i + 1] = static_cast<unsigned char>(current[i] - Paeth(left, previous[i], upperLeft));
        }
        std::swap(previous, current);
    };
    return WriteRows(path, std::move(header), rowBytes + 1, height, fill, level, Activity(path, what));
}

bool SavePalettePng(const std::filesystem::path& path, int width, int height, std::span<const std::uint32_t> palette,
                    double dpiX, double dpiY, const std::function<void(int, std::uint8_t*)>& rowOf, int level,
                    std::string_view what)
{
    std::string header = Header(width, height, 3, dpiX, dpiY) + PaletteChunks(palette);
    const auto fill = [&](int y, unsigned char* row) {
        row[0] = 0;
        rowOf(y, row + 1);
    };
    return WriteRows(path, std::move(header), static_cast<std::size_t>(width) + 1, height, fill, level,
                     Activity(path, what));
}

std::string CompressIndexRows(int width, int height, std::span<const std::uint8_t> indices, int level)
{
    std::string compressed;
    Deflater deflater(level);
    std::vector<unsigned char> buffer(1 << 16);
    const std::size_t w = static_cast<std::size_t>(width);
    // Each row with the filter that leaves the smallest differences (none,
    // left, up, Paeth), as PNG encoders choose: the palette of a texture is
    // sorted, so neighbouring indices are neighbouring shades and a filtered
    // row compresses to about three quarters.
    std::vector<unsigned char> candidates[4];
    for (auto& row : candidates)
        row.resize(w + 1);
    const std::vector<std::uint8_t> zeros(w, 0);
    const auto sink = [&](std::string_view bytes) { compressed.append(bytes); };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = indices.data() + static_cast<std::size_t>(y) * w;
        const std::uint8_t* up = y > 0 ? row - w : zeros.data();
        std::size_t best = 0, bestCost = SIZE_MAX;
        for (std::size_t filter = 0; filter < 4; ++filter) {
            unsigned char* out = candidates[filter].data();
            out[0] = static_cast<unsigned char>(filter == 3 ? 4 : filter);  // PNG filter types 0, 1, 2 and 4
            std::size_t cost = 0;
            for (std::size_t x = 0; x < w; ++x) {
                const unsigned char left = x > 0 ? row[x - 1] : 0, above = up[x], upperLeft = x > 0 ? up[x - 1] : 0;
                const unsigned char predicted = filter == 0 ? 0 : filter == 1 ? left
                                                              : filter == 2   ? above
                                                                              : Paeth(left, above, upperLeft);
                const auto d = static_cast<unsigned char>(row[x] - predicted);
                out[x + 1] = d;
                cost += d < 128 ? d : 256 - d;
            }
            if (cost < bestCost)
                best = filter, bestCost = cost;
        }
        deflater.Feed(candidates[best].data(), w + 1, Z_NO_FLUSH, buffer, sink);
    }
    deflater.Feed(nullptr, 0, Z_FINISH, buffer, sink);
    return compressed;
}

std::string PalettePngHead(int width, int height, std::span<const std::uint32_t> palette)
{
    std::string out = Header(width, height, 3, 0, 0);
    std::string plte, trns;
    for (const std::uint32_t c : palette) {
        plte += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
        trns.push_back(static_cast<char>(c >> 24));
    }
    // Transparency up to the last entry that is not opaque.
    while (!trns.empty() && static_cast<unsigned char>(trns.back()) == 255)
        trns.pop_back();
    AppendChunk(out, "PLTE", plte);
    if (!trns.empty())
        AppendChunk(out, "tRNS", trns);
    return out;
}

std::string PalettePngTail(std::string_view compressedRows)
{
    std::string out;
    // Chunks of at most 1 MB, as decoders read them comfortably.
    constexpr std::size_t kChunk = 1u << 20;
    out.reserve(compressedRows.size() + 12 * (compressedRows.size() / kChunk + 2));
    for (std::size_t at = 0; at < compressedRows.size(); at += kChunk)
        AppendChunk(out, "IDAT", compressedRows.substr(at, kChunk));
    AppendChunk(out, "IEND", {});
    return out;
}

}  // namespace imaging
