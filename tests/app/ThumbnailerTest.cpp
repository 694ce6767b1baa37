// The thumbnailer file managers run on books: its arguments, its refusal of
// hostile packages, its entry as the desktop finds it, and its covers next
// to LibreOffice's rendering of the same slides.
#include "app/Thumbnailer.h"
#include "book/Book.h"
#include "export/PageCover.h"
#include "support/TestZip.h"
#include "imaging/ArgbBitmap.h"
#include "support/ScratchFolder.h"
#include "TestBooks.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <sys/wait.h>

using namespace exporting;

using namespace app;

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;

namespace {

const fs::path kThumbnailer = fs::path(TRALVEX_BINARY_DIR) / "tralvex-thumbnailer";
const fs::path kConverter = fs::path(TRALVEX_BINARY_DIR) / "tralvex";

std::string Quoted(const std::string& text)
{
    std::unique_ptr<gchar, decltype(&g_free)> quoted(g_shell_quote(text.c_str()), g_free);
    return quoted.get();
}

// Runs a shell command; its exit status, or -1 when it did not exit.
int Shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Four quadrants (blue, green / red, cyan) in a dark frame: a crop that
// takes the wrong part shows other colours.
std::string QuadrantsBmp()
{
    return PatternBmp(200, 160, [](unsigned x, unsigned y) -> std::uint32_t {
        if (x < 10 || y < 10 || x >= 190 || y >= 150)
            return 0x202020;
        const bool right = x >= 100, bottom = y >= 80;
        return !right && !bottom ? 0x0000E0 : right && !bottom ? 0x00C000
                                          : !right             ? 0xE00000
                                                               : 0x00E0E0;
    });
}

std::string Page(const std::string& background, const std::string& content)
{
    return "<page pageType=\"whiteSheet\"><background>" + background + "</background><content>" + content
           + "</content></page>";
}

std::string Text(const std::string& geometry, const std::string& html)
{
    std::string escaped;
    for (const char c : html)
        escaped += c == '<' ? "&lt;" : c == '>' ? "&gt;"
                                   : c == '&'   ? "&amp;"
                                                : std::string(1, c);
    return "<textObject " + geometry + "><htmlText>" + escaped + "</htmlText></textObject>";
}

struct CoverCase {
    std::string name;
    std::string page;  // the first page
    bool withPicture = false;
};

const std::vector<CoverCase>& CoverCases()
{
    static const std::vector<CoverCase> cases{
        {"colour_background",
         Page("<fillColor color=\"3368652\"/>",
              Text("x=\"0.1\" y=\"0.1\" width=\"0.8\" height=\"0.2\"",
                   "<p><font face=\"Arial\" size=\"24\" color=\"#FFFFFF\">A blue page</font></p>"))},
        {"tinted_texture", Page("<fillColor color=\"3310546\"/><texture id=\"bpage2\"/>", "")},
        {"cropped_picture",
         Page("<fillColor color=\"16777215\"/>",
              "<pictureObject x=\"0.1\" y=\"0.1\" width=\"0.6\" height=\"0.7\" path=\"images/quadrants.bmp\">"
              "<cropRect x=\"0.25\" y=\"0.1\" width=\"0.6\" height=\"0.5\"/></pictureObject>"),
         true},
        {"centred_large_text",
         Page("<fillColor color=\"16777215\"/>",
              Text("x=\"0.05\" y=\"0.25\" width=\"0.9\" height=\"0.5\"",
                   "<p align=\"center\"><font face=\"Arial\" size=\"110\" color=\"#C00000\"><b>Big</b></font></p>"))},
    };
    return cases;
}

void WriteBook(const fs::path& path, const std::string& firstPage, bool withPicture)
{
    TestZipWriter zip(path);
    zip.AddFile("book", "<book pageAspectRatio=\"1.4143\">" + firstPage
                            + Page("<fillColor color=\"0\"/>", "") + "</book>");
    if (withPicture)
        zip.AddFile("images/quadrants.bmp", QuadrantsBmp());
    zip.Close();
}

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0x..RRGGBB
};

Image Load(const fs::path& png)
{
    const imaging::ArgbBitmap bitmap = imaging::ArgbBitmap::FromFile(png);
    Image image{bitmap.Width(), bitmap.Height(), {}};
    image.pixels.assign(bitmap.Pixels().begin(), bitmap.Pixels().end());
    return image;
}

// Mean absolute difference per channel over the area both images cover.
double MeanDifference(const Image& a, const Image& b)
{
    const int width = std::min(a.width, b.width), height = std::min(a.height, b.height);
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = a.pixels[y * a.width + x], q = b.pixels[y * b.width + x];
            for (int shift = 0; shift <= 16; shift += 8)
                sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
        }
    return width * height == 0 ? 255.0 : sum / (3.0 * width * height);
}

// Runs the thumbnailer as a file manager would, with a private TMPDIR.
struct Outcome {
    int status = -1;
    double seconds = 0;
    std::string out, err;
};

Outcome Thumbnail(const ScratchFolder& scratch, const std::string& input, const fs::path& output, int size = 256)
{
    fs::create_directories(scratch / "tmp");
    const auto start = std::chrono::steady_clock::now();
    Outcome run;
    run.status = Shell("TMPDIR=" + Quoted((scratch / "tmp").string()) + " " + Quoted(kThumbnailer.string()) + " -s "
                       + std::to_string(size) + " " + Quoted(input) + " " + Quoted(output.string()) + " >"
                       + Quoted((scratch / "stdout").string()) + " 2>" + Quoted((scratch / "stderr").string()));
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.out = ReadFileBytes(scratch / "stdout");
    run.err = ReadFileBytes(scratch / "stderr");
    return run;
}

// Every file below folder, relative to it.
std::vector<std::string> Listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// --- arguments --------------------------------------------------------------

struct ArgumentCase {
    std::string name;
    std::vector<std::string> arguments;
    int size;  // 0: refused
    std::string input;  // the path the input names
};

void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }

class ThumbnailerArguments : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ThumbnailerArguments, AreReadAsTheEntryPassesThem)
{
    const ArgumentCase& c = GetParam();
    if (c.size == 0) {
        EXPECT_THROW(ParseThumbnailerArguments(c.arguments), std::invalid_argument);
        return;
    }
    const ThumbnailRequest request = ParseThumbnailerArguments(c.arguments);
    EXPECT_EQ(request.size, c.size);
    EXPECT_EQ(request.input, fs::path(c.input));
    EXPECT_EQ(request.output, fs::path("/t/out.png"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThumbnailerArguments,
    testing::Values(
        ArgumentCase{"path", {"-s", "256", "/b/x.mordx", "/t/out.png"}, 256, "/b/x.mordx"},
        ArgumentCase{"size_last", {"/b/x.mordx", "/t/out.png", "-s", "128"}, 128, "/b/x.mordx"},
        ArgumentCase{"file_uri", {"-s", "512", "file:///b/My%20Book.mordx", "/t/out.png"}, 512, "/b/My Book.mordx"},
        ArgumentCase{"remote_uri", {"-s", "256", "sftp://host/b/x.mordx", "/t/out.png"}, 0, ""},
        ArgumentCase{"no_size", {"/b/x.mordx", "/t/out.png"}, 0, ""},
        ArgumentCase{"size_zero", {"-s", "0", "/b/x.mordx", "/t/out.png"}, 0, ""},
        ArgumentCase{"size_huge", {"-s", "100000", "/b/x.mordx", "/t/out.png"}, 0, ""},
        ArgumentCase{"size_not_number", {"-s", "12px", "/b/x.mordx", "/t/out.png"}, 0, ""},
        ArgumentCase{"missing_output", {"-s", "256", "/b/x.mordx"}, 0, ""},
        ArgumentCase{"extra_file", {"-s", "256", "/b/x.mordx", "/t/out.png", "more"}, 0, ""}),
    [](const auto& info) { return info.param.name; });

// --- hostile packages -------------------------------------------------------

struct HostileCase {
    std::string name;
    std::function<void(const fs::path&)> write;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class ThumbnailerHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(ThumbnailerHostile, GivesNoThumbnailQuickly)
{
    const ScratchFolder scratch("thumb-hostile");
    const fs::path book = scratch / "books" / "hostile.mordx";
    fs::create_directories(book.parent_path());
    fs::create_directories(scratch / "out");
    GetParam().write(book);

    const Outcome run = Thumbnail(scratch, book.string(), scratch / "out" / "cover.png");
    EXPECT_NE(run.status, 0);
    EXPECT_LT(run.seconds, 2.0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
    // No thumbnail, no half-written one, nothing beside the book, and the
    // working folder gone again.
    EXPECT_EQ(Listing(scratch / "out"), std::vector<std::string>{});
    EXPECT_EQ(Listing(scratch / "books"), std::vector<std::string>{"hostile.mordx"});
    for (const auto& base : fs::directory_iterator(scratch / "tmp"))
        EXPECT_EQ(Listing(base.path()), std::vector<std::string>{}) << base.path();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThumbnailerHostile,
    testing::Values(
        HostileCase{"not_a_zip", [](const fs::path& p) { testsupport::WriteFileBytes(p, "GIF89a not a book at all"); }},
        HostileCase{"oversized_entry",
                    [](const fs::path& p) {
                        TestZipWriter(p).Add(TestZipEntry("book", RawDeflate("<book/>")).Raw(std::uint64_t{5} << 30, 0));
                    }},
        HostileCase{"zip_bomb",
                    [](const fs::path& p) {
                        const std::string zeros(std::size_t{16} << 20, '\0');
                        TestZipWriter(p).Add(TestZipEntry("book", RawDeflate(zeros)).Raw(1024, Crc32(zeros.substr(0, 1024))));
                    }},
        HostileCase{"path_traversal",
                    [](const fs::path& p) {
                        TestZipWriter(p)
                            .AddFile("../escaped.png", "data")
                            .AddFile("book", "<book pageAspectRatio=\"1.4143\">" + Page("", "") + "</book>");
                    }},
        HostileCase{"malformed_xml",
                    [](const fs::path& p) { TestZipWriter(p).AddFile("book", "<book pageAspectRatio=\"1.4143\"><page"); }},
        HostileCase{"no_book", [](const fs::path& p) { TestZipWriter(p).AddFile("readme.txt", "hello"); }},
        HostileCase{"no_pages",
                    [](const fs::path& p) { TestZipWriter(p).AddFile("book", "<book pageAspectRatio=\"1.4143\"/>"); }}),
    [](const auto& info) { return info.param.name; });

// --- covers drawn in the process -------------------------------------------

// Where on the page (fractions of its width and height) which colour shows.
struct Probe {
    double x, y;
    std::uint32_t color;
};

struct DrawnCase {
    std::size_t cover;  // index into CoverCases()
    std::vector<Probe> probes;
};

void PrintTo(const DrawnCase& c, std::ostream* os) { *os << CoverCases().at(c.cover).name; }

class PageCoverDrawing : public testing::TestWithParam<DrawnCase> {};

TEST_P(PageCoverDrawing, ShowsWhatTheSlideShows)
{
    const CoverCase& c = CoverCases().at(GetParam().cover);
    const ScratchFolder scratch("cover-drawn");
    scratch.Write("package/book", "<book pageAspectRatio=\"1.4143\">" + c.page + "</book>");
    if (c.withPicture)
        scratch.Write("package/images/quadrants.bmp", QuadrantsBmp());
    const bookparser::Book book(scratch / "package");
    const PageCover cover(book, 0, 256, scratch.Path());
    ASSERT_EQ(cover.Width(), 256);
    ASSERT_EQ(cover.Height(), 181);
    for (const Probe& p : GetParam().probes) {
        const std::uint32_t got = cover.Pixel(static_cast<int>(p.x * 256), static_cast<int>(p.y * 181));
        for (int shift = 0; shift <= 16; shift += 8)
            EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((p.color >> shift) & 0xFF), 8)
                << std::hex << "at " << p.x << ", " << p.y << ": " << got << " instead of " << p.color;
    }
}

TEST(PageCoverDrawing, CentredTextIsCentredInItsBox)
{
    const ScratchFolder scratch("cover-centred");
    scratch.Write("package/book", "<book pageAspectRatio=\"1.4143\">" + CoverCases().at(3).page + "</book>");
    const bookparser::Book book(scratch / "package");
    const PageCover cover(book, 0, 256, scratch.Path());
    double inked = 0, sum = 0;
    for (int y = 0; y < cover.Height(); ++y)
        for (int x = 0; x < cover.Width(); ++x)
            if ((cover.Pixel(x, y) & 0xFF) < 0x80) {  // red ink on white
                inked += 1;
                sum += x;
            }
    ASSERT_GT(inked, 500);
    // The box runs from 5 % to 95 % of the page, less its insets.
    EXPECT_NEAR(sum / inked / cover.Width(), 0.5, 0.02);
}

TEST(PageCoverDrawing, RefusesSizesOutOfRange)
{
    const ScratchFolder scratch("cover-size");
    scratch.Write("package/book", "<book pageAspectRatio=\"1.4143\">" + CoverCases().at(0).page + "</book>");
    const bookparser::Book book(scratch / "package");
    EXPECT_THROW(PageCover(book, 0, 0, scratch.Path()), std::invalid_argument);
    EXPECT_THROW(PageCover(book, 0, PageCover::kMaxSize + 1, scratch.Path()), std::invalid_argument);
    EXPECT_THROW(PageCover(book, 1, 64, scratch.Path()), std::out_of_range);
}

// Picture rectangle 0.1..0.7 × 0.1..0.8 of the page, cropped to 0.25..0.85 ×
// 0.1..0.6 of the picture: the page shows it from 0.25 to 0.61 across and
// from 0.17 to 0.52 down.
INSTANTIATE_TEST_SUITE_P(
    Cases, PageCoverDrawing,
    testing::Values(DrawnCase{0, {{0.95, 0.95, 0x3366CC}, {0.02, 0.5, 0x3366CC}}},
                    DrawnCase{2,
                              {{0.28, 0.275, 0x0000E0}, {0.55, 0.49, 0x00E0E0}, {0.55, 0.2, 0x00C000}, {0.28, 0.49, 0xE00000}, {0.16, 0.3, 0xFFFFFF}, {0.65, 0.3, 0xFFFFFF}, {0.4, 0.6, 0xFFFFFF}}}),
    [](const auto& info) { return CoverCases().at(info.param.cover).name; });

// --- the desktop's machinery ------------------------------------------------

// What a thumbnail service reads from a .thumbnailer entry.
struct Entry {
    std::string tryExec, exec;
};

// The entry for a MIME type, looked up as a thumbnail service does: every
// data folder's thumbnailers/*.thumbnailer, the first folder first.
std::optional<Entry> FindThumbnailer(const std::vector<fs::path>& dataDirs, const std::string& mimeType)
{
    for (const fs::path& dir : dataDirs) {
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& file : fs::directory_iterator(dir / "thumbnailers", ec))
            if (file.path().extension() == ".thumbnailer")
                files.push_back(file.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> keys(g_key_file_new(), g_key_file_free);
            if (!g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_NONE, nullptr))
                continue;
            const char* group = "Thumbnailer Entry";
            std::unique_ptr<gchar*, decltype(&g_strfreev)> types(
                g_key_file_get_string_list(keys.get(), group, "MimeType", nullptr, nullptr), g_strfreev);
            std::unique_ptr<gchar, decltype(&g_free)> exec(g_key_file_get_string(keys.get(), group, "Exec", nullptr),
                                                           g_free);
            std::unique_ptr<gchar, decltype(&g_free)> tryExec(
                g_key_file_get_string(keys.get(), group, "TryExec", nullptr), g_free);
            if (!types || !exec || !g_strv_contains(types.get(), mimeType.c_str()))
                continue;
            return Entry{tryExec ? tryExec.get() : "", exec.get()};
        }
    }
    return std::nullopt;
}

// The Exec line with its field codes filled in, each value quoted.
std::string Expand(const std::string& exec, int size, const fs::path& input, const fs::path& output)
{
    std::unique_ptr<gchar, decltype(&g_free)> uri(g_filename_to_uri(input.c_str(), nullptr, nullptr), g_free);
    const std::map<char, std::string> values{{'s', std::to_string(size)}, {'i', Quoted(input.string())}, {'u', Quoted(uri.get())}, {'o', Quoted(output.string())}, {'%', "%"}};
    std::string line;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '%' && i + 1 < exec.size() && values.count(exec[i + 1]) != 0)
            line += values.at(exec[++i]);
        else
            line += exec[i];
    }
    return line;
}

TEST(ThumbnailerEntry, TheDesktopFindsItAndItsCommandWritesThePng)
{
    const ScratchFolder scratch("thumb-desktop");
    const fs::path prefix = scratch / "prefix";
    ASSERT_EQ(Shell("cmake --install " + Quoted(TRALVEX_BINARY_DIR) + " --component thumbnailer --prefix "
                    + Quoted(prefix.string()) + " >/dev/null"),
              0);
    const auto entry = FindThumbnailer({prefix / "share", "/usr/local/share", "/usr/share"}, "application/x-mordx");
    ASSERT_TRUE(entry.has_value());

    // TryExec and the command are found on the PATH, the prefix's first.
    const std::string path = (prefix / "bin").string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ASSERT_EQ(Shell("PATH=" + Quoted(path) + " command -v " + Quoted(entry->tryExec) + " >/dev/null"), 0);

    const fs::path book = scratch / "My Books" / "A Book.mordx";
    fs::create_directories(book.parent_path());
    WriteBook(book, CoverCases().front().page, false);
    const fs::path output = scratch / "thumb out" / "cover.png";
    fs::create_directories(output.parent_path());
    fs::create_directories(scratch / "tmp");

    gchar** argv = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(Expand(entry->exec, 128, book, output).c_str(), nullptr, &argv, nullptr));
    std::unique_ptr<gchar*, decltype(&g_strfreev)> args(argv, g_strfreev);
    const std::string pathVariable = "PATH=" + path, tmp = "TMPDIR=" + (scratch / "tmp").string();
    // The sanitizer build's leak suppressions go along: a thumbnail service
    // gives a small environment, but the font libraries keep their caches.
    const char* leaks = std::getenv("LSAN_OPTIONS");
    const std::string leakVariable = std::string("LSAN_OPTIONS=") + (leaks ? leaks : "");
    const gchar* envp[] = {pathVariable.c_str(), tmp.c_str(), leakVariable.c_str(), nullptr};
    gint status = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, args.get(), const_cast<gchar**>(envp), G_SPAWN_SEARCH_PATH_FROM_ENVP, nullptr,
                             nullptr, nullptr, nullptr, &status, nullptr));
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr));

    const Image cover = Load(output);
    EXPECT_EQ(cover.width, 128);
    EXPECT_EQ(cover.height, 90);  // 600 × 424 points
    ASSERT_FALSE(cover.pixels.empty());
    EXPECT_EQ(cover.pixels.front() & 0xFFFFFF, 0x3366CCu);  // the page's colour
    EXPECT_EQ(Listing(output.parent_path()), std::vector<std::string>{"cover.png"});
}

// --- next to LibreOffice's rendering ----------------------------------------

TEST(ThumbnailerRendering, CoversLookLikeTheSlidesLibreOfficeRenders)
{
    if (!std::getenv("TRALVEX_RENDER_TEST"))
        GTEST_SKIP() << "run through the slow CTest entry";
    const ScratchFolder scratch("thumb-render");
    fs::create_directories(scratch / "books");
    for (const CoverCase& c : CoverCases())
        WriteBook(scratch / "books" / (c.name + ".mordx"), c.page, c.withPicture);
    ASSERT_EQ(Shell("TMPDIR=" + Quoted(scratch.Path().string()) + " " + Quoted(kConverter.string()) + " --silent "
                    + Quoted((scratch / "books").string()) + " " + Quoted((scratch / "slides").string())),
              0);
    std::string presentations;
    for (const CoverCase& c : CoverCases())
        presentations += " " + Quoted((scratch / "slides" / (c.name + ".pptx")).string());
    ASSERT_EQ(Shell("cd " + Quoted(scratch.Path().string()) + " && HOME=" + Quoted(scratch.Path().string())
                    + " timeout 300 soffice -env:UserInstallation=file://" + (scratch / "profile").string()
                    + " --headless --convert-to pdf --outdir pdf" + presentations + " >/dev/null 2>&1"),
              0);

    for (const CoverCase& c : CoverCases()) {
        SCOPED_TRACE(c.name);
        const fs::path reference = scratch / (c.name + "-reference");
        ASSERT_EQ(Shell("pdftoppm -f 1 -l 1 -singlefile -png -scale-to 256 "
                        + Quoted((scratch / "pdf" / (c.name + ".pdf")).string()) + " " + Quoted(reference.string())),
                  0);
        const fs::path cover = scratch / (c.name + "-cover.png");
        const Outcome run = Thumbnail(scratch, (scratch / "books" / (c.name + ".mordx")).string(), cover);
        ASSERT_EQ(run.status, 0) << run.err;
        const Image expected = Load(reference.string() + ".png"), actual = Load(cover);
        EXPECT_LE(std::abs(expected.width - actual.width), 1);
        EXPECT_LE(std::abs(expected.height - actual.height), 1);
        const double difference = MeanDifference(expected, actual);
        std::cout << c.name << ": mean difference " << difference << " levels per channel\n";
        EXPECT_LT(difference, 12.0);
    }
}

}  // namespace
