// Converts a generated 200-page book (textured and tinted backgrounds in 20
// colours, 5 text boxes of about 10 runs and 2 pictures per page, one of them
// cropped) and prints pages per second, where the time goes and peak memory.
#include "book/Book.h"
#include "export/PresentationConverter.h"

#include <FreeImage.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void WriteImage(const fs::path& path, unsigned w, unsigned h, BYTE shade, FREE_IMAGE_FORMAT format)
{
    FIBITMAP* bitmap = FreeImage_Allocate(static_cast<int>(w), static_cast<int>(h), 24);
    for (unsigned y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap, static_cast<int>(y));
        for (unsigned x = 0; x < w; ++x) {
            line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(x * 255 / w);
            line[3 * x + FI_RGBA_GREEN] = shade;
            line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(y * 255 / h);
        }
    }
    FreeImage_Save(format, bitmap, path.c_str(), format == FIF_JPEG ? 85 : 0);
    FreeImage_Unload(bitmap);
}

std::string TextObject(int page, int box)
{
    std::ostringstream html;
    html << "&lt;p align=\"left\"&gt;";
    for (int run = 0; run < 10; ++run)
        html << "&lt;font face=\"Arial\" size=\"" << 10 + run << "\" color=\"#1F3B7" << run
             << "\"&gt;" << (run % 2 ? "&lt;b&gt;" : "") << "page " << page << " box " << box << " run " << run
             << (run % 2 ? "&lt;/b&gt;" : "") << " &lt;/font&gt;";
    html << "&lt;/p&gt;";
    std::ostringstream o;
    o << "<textObject x=\"0.5\" y=\"" << 0.05 + 0.18 * box << "\" width=\"0.45\" height=\"0.15\"><htmlText>"
      << html.str() << "</htmlText></textObject>";
    return o.str();
}

long PeakRssMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main()
{
    FreeImage_Initialise(TRUE);
    std::string pattern = (fs::temp_directory_path() / "tralvex-bench-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    const fs::path bookFolder = root / "book";
    fs::create_directories(bookFolder / "images");
    for (int i = 0; i < 10; ++i) {
        WriteImage(bookFolder / "images" / std::string("p").append(std::to_string(i)).append(".png"), 400, 300, BYTE(i * 20), FIF_PNG);
        WriteImage(bookFolder / "images" / std::string("j").append(std::to_string(i)).append(".jpg"), 640, 480, BYTE(i * 20), FIF_JPEG);
    }
    std::ofstream xml(bookFolder / "book");
    xml << "<book pageAspectRatio=\"1.4143\">";
    for (int page = 0; page < 200; ++page) {
        xml << "<page pageType=\"whiteSheet\"><background><fillColor color=\"" << (page % 20) * 655 + 1000
            << "\"/><texture id=\"bpage" << page % 5 + 1 << "\"/></background><content>"
            << "<pictureObject x=\"0.05\" y=\"0.05\" width=\"0.4\" height=\"0.4\" path=\"images/p" << page % 10
            << ".png\"/><pictureObject x=\"0.05\" y=\"0.5\" width=\"0.4\" height=\"0.4\" path=\"images/j"
            << page % 10 << ".jpg\"><cropRect x=\"0.1\" y=\"0.1\" width=\"0.8\" height=\"0.8\"/></pictureObject>";
        for (int box = 0; box < 5; ++box)
            xml << TextObject(page, box);
        xml << "</content></page>";
    }
    xml << "</book>";
    xml.close();

    const auto start = Clock::now();
    const bookparser::Book book(bookFolder);
    const auto modelBuilt = Clock::now();
    fs::create_directory(root / "out");
    PresentationConverter converter(root / "work", root / "out");
    const fs::path written = converter.Convert(book, root / "bench.mordx");
    const auto done = Clock::now();

    const double modelMs = std::chrono::duration<double, std::milli>(modelBuilt - start).count();
    const double convertMs = std::chrono::duration<double, std::milli>(done - modelBuilt).count();
    const double totalS = (modelMs + convertMs) / 1000.0;
    std::printf("bench_convert: 200 pages, %.1f ms book model, %.1f ms slides and saving, %.0f pages/s, "
                "%.2f MB written, peak memory %ld MB\n",
                modelMs, convertMs, 200.0 / totalS, double(fs::file_size(written)) / 1e6, PeakRssMb());
    fs::remove_all(root);
    FreeImage_DeInitialise();
    return 0;
}
