// Tints grayscale built-in textures as a page with a texture and a fill
// colour needs them and prints, per texture, the embedded source's size and
// the tinted PNG's size and encoding time: as the program writes it
// (SaveCompactPng at kCompactPngLevel), at other zlib levels, and as a plain
// RGBA PNG at the fastest level (how tinted textures used to be written).
#include "imaging/ArgbBitmap.h"
#include "imaging/CompactPng.h"
#include "imaging/ImageCodecs.h"
#include "imaging/ImageColorizer.h"
#include "imaging/TextureFiles.h"

#include <FreeImage.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace imaging;

namespace {

struct Figure {
    std::uintmax_t bytes = 0;
    double ms = 0;
};

// Best of three: the machine is shared.
Figure Measure(const fs::path& file, const std::function<bool()>& write)
{
    Figure f{0, 1e9};
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        if (!write())
            return {};
        f.ms = std::min(f.ms, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        f.bytes = fs::file_size(file);
        fs::remove(file);
    }
    return f;
}

}  // namespace

int main()
{
    FreeImage_Initialise(TRUE);
    const fs::path folder = fs::temp_directory_path() / ("bench_tint-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const struct {
        int number;
        const char* what;
    } textures[] = {{7305, "bpage1 JPEG 565x800"}, {7123, "bcover1 JPEG 565x800"}, {7121, "bcover1 JPEG 1120x800"}, {7042, "GUID JPEG 1131x800"}, {7355, "GUID own grey JPEG"}, {7002, "GUID PNG 566x800"}, {7034, "GUID PNG 1131x800"}, {7010, "GUID PNG 326x461"}};
    const int levels[] = {1, 6, 9};
    constexpr int kColumns = 1 + static_cast<int>(std::size(levels));
    Figure totals[kColumns] = {};
    std::uintmax_t sourceTotal = 0;
    std::printf("%-22s %8s | %-16s | %-16s | %-16s | %-16s\n", "texture", "source", "RGBA level 1",
                "palette level 1", "palette level 6", "palette level 9");
    const fs::path out = folder / "tinted.png";
    EncoderId png{};
    FindEncoderClsid("png", &png);
    for (const auto& t : textures) {
        const fs::path source = GetTextureFile(t.number, folder);
        ArgbBitmap bitmap = ArgbBitmap::FromFile(source);
        CImageColorizer colorizer;
        colorizer.SetDuotone(0x000000, 0x3366CC);
        colorizer.Apply(bitmap);
        Figure row[kColumns];
        row[0] = Measure(out, [&] { return SaveBitmap(bitmap, out, png, 0) == ImageStatus::Ok; });
        for (std::size_t i = 0; i < std::size(levels); ++i)
            row[i + 1] = Measure(out, [&] { return SaveCompactPng(bitmap, out, levels[i]); });
        const std::uintmax_t sourceSize = fs::file_size(source);
        sourceTotal += sourceSize;
        std::printf("%-22s %8ju", t.what, sourceSize);
        for (int i = 0; i < kColumns; ++i) {
            std::printf(" | %8ju %5.1fms", row[i].bytes, row[i].ms);
            totals[i].bytes += row[i].bytes;
            totals[i].ms += row[i].ms;
        }
        std::printf("\n");
    }
    std::size_t used = 1;
    while (used < kColumns - 1 && levels[used - 1] != kCompactPngLevel)
        ++used;
    std::printf("%-22s %8ju", "total", sourceTotal);
    for (const Figure& f : totals)
        std::printf(" | %8ju %5.0fms", f.bytes, f.ms);
    std::printf("\nbench_tint: %zu tinted textures, sources %.2f MB; RGBA level 1 %.2f MB in %.0f ms; written "
                "(palette level %d) %.2f MB in %.0f ms\n",
                std::size(textures), static_cast<double>(sourceTotal) / 1e6, static_cast<double>(totals[0].bytes) / 1e6,
                totals[0].ms, kCompactPngLevel, static_cast<double>(totals[used].bytes) / 1e6, totals[used].ms);
    fs::remove_all(folder);
    FreeImage_DeInitialise();
    return 0;
}
