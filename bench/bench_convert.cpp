// Converts generated books and prints, per book, the wall time, the peak
// memory and the I/O floor measured in the same run: unzipping the book's
// package and writing its bytes into a zip without compression (and the same
// for the written presentation).
//   book N    the benchmark book of N pages (textured and tinted backgrounds in
//             20 colours, 5 text boxes of 10 runs and 2 of 20 pictures a page)
//   photos N  N pages, each with its own 2 MB picture
//   runs N    one text box of N one-letter bold runs
//   pictures N  three pages with an N x N TIFF, WebP and two-frame GIF
// Without arguments every case runs three times, each in a process of its
// own so that each peak is its own; the best time of each case is printed
// at the end.
#include "book/Book.h"
#include "export/PresentationConverter.h"

#include <FreeImage.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace exporting;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Runs of each case; TRALVEX_BENCH_RUNS changes it.
const int kRuns = std::getenv("TRALVEX_BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("TRALVEX_BENCH_RUNS"))) : 3;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

void WriteImage(const fs::path& path, unsigned w, unsigned h, BYTE shade, FREE_IMAGE_FORMAT format, bool noise = false)
{
    FIBITMAP* bitmap = FreeImage_Allocate(static_cast<int>(w), static_cast<int>(h), 24);
    std::minstd_rand random(shade);
    for (unsigned y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap, static_cast<int>(y));
        for (unsigned x = 0; x < w; ++x) {
            line[3 * x + FI_RGBA_RED] = noise ? BYTE(random()) : BYTE(x * 255 / w);
            line[3 * x + FI_RGBA_GREEN] = noise ? BYTE(random()) : shade;
            line[3 * x + FI_RGBA_BLUE] = noise ? BYTE(random()) : BYTE(y * 255 / h);
        }
    }
    FreeImage_Save(format, bitmap, path.c_str(), format == FIF_JPEG ? 85 : format == FIF_PNG && noise ? PNG_Z_BEST_SPEED
                                                                                                      : 0);
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

void MakeBook(const fs::path& folder, int pages)
{
    fs::create_directories(folder / "images");
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        WriteImage(folder / "images" / ("p" + n).append(".png"), 400, 300, BYTE(i * 20), FIF_PNG);
        WriteImage(folder / "images" / ("j" + n).append(".jpg"), 640, 480, BYTE(i * 20), FIF_JPEG);
    }
    std::ofstream xml(folder / "book");
    xml << "<book pageAspectRatio=\"1.4143\" title=\"Bench\">";
    for (int page = 0; page < pages; ++page) {
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
}

// Random pixels at best-speed compression: about 2 MB a picture.
void MakePhotoBook(const fs::path& folder, int pages)
{
    fs::create_directories(folder / "images");
    std::ofstream xml(folder / "book");
    xml << "<book pageAspectRatio=\"1.4143\">";
    for (int page = 0; page < pages; ++page) {
        WriteImage(folder / "images" / ("photo" + std::to_string(page)).append(".png"), 816, 816, BYTE(page), FIF_PNG, true);
        xml << "<page pageType=\"whiteSheet\"><background><fillColor color=\"16777215\"/></background><content>"
            << "<pictureObject x=\"0.05\" y=\"0.05\" width=\"0.9\" height=\"0.6\" path=\"images/photo" << page
            << ".png\"/></content></page>";
    }
    xml << "</book>";
}

// Pictures that must be decoded to be stored: their peak memory is the case.
void MakePicturesBook(const fs::path& folder, int side)
{
    fs::create_directories(folder / "images");
    WriteImage(folder / "images" / "big.tif", unsigned(side), unsigned(side), 90, FIF_TIFF);
    WriteImage(folder / "images" / "big.webp", unsigned(side), unsigned(side), 120, FIF_WEBP);
    FIMULTIBITMAP* gif = FreeImage_OpenMultiBitmap(FIF_GIF, (folder / "images" / "big.gif").c_str(), TRUE, FALSE);
    for (int frame = 0; frame < 2; ++frame) {
        FIBITMAP* bitmap = FreeImage_Allocate(side, side, 8);
        for (int y = 0; y < side; ++y) {
            BYTE* line = FreeImage_GetScanLine(bitmap, y);
            for (int x = 0; x < side; ++x)
                line[x] = BYTE((x / 64 + y / 64 + frame) % 7 * 30);
        }
        RGBQUAD* palette = FreeImage_GetPalette(bitmap);
        for (int i = 0; i < 256; ++i)
            palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
        FreeImage_AppendPage(gif, bitmap);
        FreeImage_Unload(bitmap);
    }
    FreeImage_CloseMultiBitmap(gif);
    std::ofstream xml(folder / "book");
    xml << "<book pageAspectRatio=\"1.4143\">";
    for (const char* name : {"big.tif", "big.webp", "big.gif"})
        xml << "<page pageType=\"whiteSheet\"><background><fillColor color=\"16777215\"/></background><content>"
            << "<pictureObject x=\"0.05\" y=\"0.05\" width=\"0.9\" height=\"0.6\" path=\"images/" << name
            << "\"/></content></page>";
    xml << "</book>";
}

void MakeRunsBook(const fs::path& folder, int runs)
{
    fs::create_directories(folder);
    std::ofstream xml(folder / "book");
    xml << "<book pageAspectRatio=\"1.4143\"><page pageType=\"whiteSheet\"><background><fillColor color=\"16777215\"/>"
        << "</background><content><textObject x=\"0.05\" y=\"0.05\" width=\"0.9\" height=\"0.9\"><htmlText><![CDATA[<p>";
    for (int i = 0; i < runs; ++i)
        xml << "<b>" << char('a' + i % 26) << "</b>";
    xml << "</p>]]></htmlText></textObject></content></page></book>";
}

// The book folder as a package, the way books arrive (deflated).
void PackBook(const fs::path& folder, const fs::path& package)
{
    zipFile out = zipOpen64(package.c_str(), APPEND_STATUS_CREATE);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        zip_fileinfo zi{};
        zipOpenNewFileInZip64(out, fs::relative(entry.path(), folder).c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_BEST_SPEED, 0);
        zipWriteInFileInZip(out, bytes.data(), unsigned(bytes.size()));
        zipCloseFileInZip(out);
    }
    zipClose(out, nullptr);
}

// Reads every entry of the package and writes its bytes into a stored zip.
double IoFloorMs(const fs::path& package, const fs::path& copy)
{
    const auto start = Clock::now();
    unzFile in = unzOpen64(package.c_str());
    zipFile out = zipOpen64(copy.c_str(), APPEND_STATUS_CREATE);
    std::vector<char> buffer(1 << 16);
    for (int rc = unzGoToFirstFile(in); rc == UNZ_OK; rc = unzGoToNextFile(in)) {
        char name[512];
        unz_file_info64 info;
        unzGetCurrentFileInfo64(in, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        zip_fileinfo zi{};
        zipOpenNewFileInZip64(out, name, &zi, nullptr, 0, nullptr, 0, nullptr, 0, 0, info.uncompressed_size >= 0xFFFFFFFFu);
        unzOpenCurrentFile(in);
        for (int n; (n = unzReadCurrentFile(in, buffer.data(), unsigned(buffer.size()))) > 0;)
            zipWriteInFileInZip(out, buffer.data(), unsigned(n));
        unzCloseCurrentFile(in);
        zipCloseFileInZip(out);
    }
    zipClose(out, nullptr);
    unzClose(in);
    return Ms(start, Clock::now());
}

// One conversion in this process; prints one line.
int RunCase(const std::string& kind, int count, const fs::path& bookFolder, const fs::path& root)
{
    const auto start = Clock::now();
    const bookparser::Book book(bookFolder);
    const auto modelBuilt = Clock::now();
    const fs::path out = root / ("out-" + kind + std::to_string(count));
    fs::create_directories(out);
    PresentationConverter converter(root / ("work-" + kind + std::to_string(count)), out);
    const fs::path written = converter.Convert(book, root / "bench.mordx");
    const auto done = Clock::now();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double floorMs = IoFloorMs(bookFolder.string() + ".mordx", root / ("floor-" + kind + std::to_string(count) + ".zip"));
    const double outputFloorMs = IoFloorMs(written, root / ("floor-out-" + kind + std::to_string(count) + ".zip"));
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%-6s %7d: %8.1f ms (book model %.1f, slides and saving %.1f; CPU %.1f), peak %5ld MB, "
                "I/O floor %6.1f ms (of the presentation %.1f), %.2f MB written\n",
                kind.c_str(), count, Ms(start, done), Ms(start, modelBuilt), Ms(modelBuilt, done), cpuMs,
                usage.ru_maxrss / 1024, floorMs, outputFloorMs, double(fs::file_size(written)) / 1e6);
    std::fflush(stdout);
    std::ofstream(root / "results", std::ios::app) << kind << ' ' << count << ' ' << Ms(start, done) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The allocator settings of the program (app/Main.cpp).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    FreeImage_Initialise(TRUE);
    if (argc == 5) {
        const int rc = RunCase(argv[1], std::atoi(argv[2]), argv[3], argv[4]);
        FreeImage_DeInitialise();
        return rc;
    }
    std::string pattern = (fs::temp_directory_path() / "tralvex-bench-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    struct Case {
        std::string kind;
        int count;
    };
    std::vector<Case> cases;
    if (argc == 3)
        cases.push_back({argv[1], std::atoi(argv[2])});
    else
        cases = {{"book", 200}, {"book", 800}, {"photos", 150}, {"runs", 640000}, {"pictures", 7000}};
    for (const Case& c : cases) {
        const fs::path folder = root / (c.kind + std::to_string(c.count));
        if (c.kind == "book")
            MakeBook(folder, c.count);
        else if (c.kind == "photos")
            MakePhotoBook(folder, c.count);
        else if (c.kind == "pictures")
            MakePicturesBook(folder, c.count);
        else
            MakeRunsBook(folder, c.count);
        PackBook(folder, folder.string() + ".mordx");
        // A fresh process per run: its peak memory is its own. The best of
        // a few runs is the figure least disturbed by the rest of the machine.
        const std::string count = std::to_string(c.count);
        for (int run = 0; run < kRuns; ++run) {
            const pid_t child = fork();
            if (child == 0) {
                execl("/proc/self/exe", argv[0], c.kind.c_str(), count.c_str(), folder.c_str(), root.c_str(), nullptr);
                _exit(127);
            }
            int status = 0;
            waitpid(child, &status, 0);
            fs::remove_all(root / ("out-" + c.kind + count));
            fs::remove_all(root / ("work-" + c.kind + count));
        }
        std::error_code ignored;
        if (!std::getenv("TRALVEX_BENCH_KEEP")) {
            fs::remove_all(folder, ignored);
            fs::remove(folder.string() + ".mordx", ignored);
        }
    }
    std::map<std::string, double> ms;
    std::ifstream results(root / "results");
    for (std::string kind, count, value; results >> kind >> count >> value;) {
        const double v = std::stod(value);
        if (!ms.count(kind + count) || v < ms[kind + count])
            ms[kind + count] = v;
    }
    for (const auto& [name, best] : ms)
        std::printf("best of %d: %-12s %8.1f ms\n", kRuns, name.c_str(), best);
    if (ms.count("book200") && ms.count("book800"))
        std::printf("each page beyond 200: %.3f ms\n", (ms["book800"] - ms["book200"]) / 600.0);
    if (std::getenv("TRALVEX_BENCH_KEEP"))
        std::printf("kept: %s\n", root.c_str());
    else
        fs::remove_all(root);
    FreeImage_DeInitialise();
    return 0;
}
