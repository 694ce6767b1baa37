// Builds the model of a realistic 100-page book (a picture and two text
// boxes per page, textured backgrounds) and prints how long that takes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "book/Book.h"

namespace fs = std::filesystem;

int main()
{
    std::random_device rd;
    const fs::path folder = fs::temp_directory_path() / ("bench-book-" + std::to_string(rd()));
    fs::create_directories(folder / "images");
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<book pageAspectRatio=\"0.7071\" title=\"Bench\">\n";
    for (int p = 0; p < 100; ++p) {
        const std::string image = "images\\photo" + std::to_string(p) + ".jpg";
        std::ofstream(folder / ("images/photo" + std::to_string(p) + ".jpg")) << "x";
        xml += "<page pageType=\"" + std::string(p == 0 ? "cover" : "whiteSheet") + "\"><background>";
        if (p % 3 == 0)
            xml += "<fillColor color=\"16711680\"/>";
        xml += "<texture id=\"bcover" + std::to_string(p % 24 + 1) + "\"/></background><content>";
        xml += "<pictureObject x=\"0.1\" y=\"0.1\" width=\"0.8\" height=\"0.4\" path=\"" + image + "\"><cropRect x=\"0.05\" y=\"0\" width=\"0.9\" height=\"1\"/></pictureObject>";
        for (int t = 0; t < 2; ++t) {
            xml += "<textObject x=\"0.1\" y=\"" + std::to_string(0.55 + 0.2 * t) + "\" width=\"0.8\" height=\"0.18\"><htmlText><![CDATA[<textformat leading=\"2\">";
            for (int para = 0; para < 4; ++para) {
                xml += "<p align=\"left\"><font face=\"Arial\" size=\"14\" color=\"#333333\">Paragraph " + std::to_string(para) + " of page " + std::to_string(p) + " with <b>bold</b>, <i>italic</i> and <a href=\"http://example.com\" target=\"_blank\">a link</a>.<br>Second line.</font></p>";
            }
            xml += "</textformat>]]></htmlText></textObject>";
        }
        xml += "</content></page>\n";
    }
    xml += "</book>\n";
    std::ofstream(folder / "book", std::ios::binary) << xml;

    constexpr int kRuns = 20;
    double best = 1e9, total = 0;
    std::size_t pages = 0;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bookparser::Book book(folder);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        pages = book.GetPageCount();
        best = std::min(best, ms);
        total += ms;
    }
    std::printf("bench_book: %zu pages, %zu bytes of XML: best %.2f ms, mean %.2f ms over %d runs\n", pages,
                xml.size(), best, total / kRuns, kRuns);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
