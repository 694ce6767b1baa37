#pragma once
// Book packages and presentation checks for tests that run whole conversions.
#include "support/TestZip.h"
#include "support/ZipReader.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A 24-bit BMP whose colour (0xRRGGBB) is a function of the pixel.
template <class Color>
std::string PatternBmp(unsigned width, unsigned height, Color color)
{
    const unsigned row = (width * 3 + 3) / 4 * 4;
    std::string bmp(54 + row * height, '\0');
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp[at + i] = static_cast<char>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, static_cast<std::uint32_t>(bmp.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, row * height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            put(54 + (height - 1 - y) * row + x * 3, color(x, y), 3);  // BGR, rows from the bottom
    return bmp;
}

// An uncompressed BMP of noise: it does not shrink in a zip, so unpacking
// and saving a book that holds it take a while.
inline std::string NoiseBmp(unsigned width, unsigned height, unsigned seed)
{
    std::mt19937 random(seed);
    return PatternBmp(width, height, [&](unsigned, unsigned) { return static_cast<std::uint32_t>(random()); });
}

// A book of `pages` pages in distinct colours; with a picture, every page
// shows a noise picture of that many pixels, its own one when
// picturePerPage (more to unpack and to save).
inline void WriteTestBook(const std::filesystem::path& path, int pages, unsigned picturePixels = 0,
                          bool picturePerPage = false)
{
    auto pictureName = [&](int page) {
        return std::string("images/noise").append(std::to_string(picturePerPage ? page : 0)).append(".bmp");
    };
    std::string xml = "<book pageAspectRatio=\"1.4143\">";
    for (int page = 0; page < pages; ++page) {
        xml += "<page pageType=\"whiteSheet\"><background><fillColor color=\"" + std::to_string(page * 40000 + 5)
               + "\"/></background><content>";
        if (picturePixels != 0)
            xml += "<pictureObject x=\"0.1\" y=\"0.1\" width=\"0.5\" height=\"0.5\" path=\"" + pictureName(page)
                   + "\"/>";
        xml += "<textObject x=\"0.1\" y=\"0.7\" width=\"0.8\" height=\"0.2\"><htmlText>&lt;p&gt;&lt;font "
               "size=\"20\"&gt;page "
               + std::to_string(page + 1) + "&lt;/font&gt;&lt;/p&gt;</htmlText></textObject></content></page>";
    }
    xml += "</book>";
    std::vector<std::pair<std::string, std::string>> entries{{"book", xml}};
    for (int page = 0; picturePixels != 0 && page < (picturePerPage ? pages : 1); ++page)
        entries.emplace_back(pictureName(page), NoiseBmp(picturePixels, picturePixels, picturePixels + page));

    TestZipWriter zip(path);
    for (const auto& [name, data] : entries)
        zip.Add(TestZipEntry(name, data).Level(1));  // noise does not compress: the fastest level
    zip.Close();
}

// Slides in a written presentation, or -1 when it is not a readable package.
inline int SlideCount(const std::filesystem::path& pptx)
{
    static const std::regex slide(R"(ppt/slides/slide[0-9]+\.xml)");
    try {
        int slides = 0;
        for (const auto& entry : testsupport::ReadZipEntries(pptx))
            if (std::regex_match(entry.name, slide))
                ++slides;
        return slides;
    } catch (const std::runtime_error&) {
        return -1;
    }
}
