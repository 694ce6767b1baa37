#include "app/Thumbnailer.h"

#include "app/ConversionJob.h"
#include "app/TempFolder.h"
#include "book/Book.h"
#include "export/PageCover.h"

#include <glib.h>

#include <charconv>
#include <memory>
#include <new>
#include <stdexcept>

using namespace exporting;

namespace app {

namespace {

int ParseSize(const std::string& text)
{
    int size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || end != text.data() + text.size() || size < 1 || size > PageCover::kMaxSize)
        throw std::invalid_argument("the size is not a number of 1 to " + std::to_string(PageCover::kMaxSize)
                                    + " pixels: " + text);
    return size;
}

// A file manager hands over a path or a URI, as its entry's %i allows.
std::filesystem::path InputPath(const std::string& input)
{
    if (input.find("://") == std::string::npos)
        return input;
    GError* error = nullptr;
    std::unique_ptr<gchar, decltype(&g_free)> path(g_filename_from_uri(input.c_str(), nullptr, &error), g_free);
    if (!path) {
        g_clear_error(&error);
        throw std::invalid_argument("not a local file: " + input);
    }
    return std::filesystem::path(path.get());
}

}  // namespace

ThumbnailRequest ParseThumbnailerArguments(const std::vector<std::string>& arguments)
{
    ThumbnailRequest request;
    std::vector<std::string> files;
    bool sized = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "-s") {
            if (i + 1 == arguments.size())
                throw std::invalid_argument("-s needs a size");
            request.size = ParseSize(arguments[++i]);
            sized = true;
        } else {
            files.push_back(arguments[i]);
        }
    }
    if (!sized || files.size() != 2)
        throw std::invalid_argument("usage: tralvex-thumbnailer -s SIZE INPUT OUTPUT");
    if (files[0].empty() || files[1].empty())
        throw std::invalid_argument("empty file name");
    request.input = InputPath(files[0]);
    request.output = files[1];
    return request;
}

void MakeThumbnail(const ThumbnailRequest& request, const std::string& workingFolderBase)
{
    TempFolder folder;
    folder.Create(workingFolderBase, "cover", "", 10000);
    const std::filesystem::path working = folder.GetPath();
    const auto book = PackageBookOpener().Open(request.input, working);
    if (book->GetPageCount() == 0)
        throw std::runtime_error("the book has no pages");
    PageCover(*book, 0, request.size, working).SavePng(request.output);
}

int RunThumbnailer(const std::vector<std::string>& arguments, std::ostream& errors) noexcept
{
    try {
        ThumbnailRequest request;
        try {
            request = ParseThumbnailerArguments(arguments);
        } catch (const std::invalid_argument& e) {
            errors << "tralvex-thumbnailer: " << e.what() << '\n';
            return 2;
        }
        MakeThumbnail(request, GetTempFolderBase());
        return 0;
    } catch (const bookparser::UnknownFileTypeError&) {
        errors << "tralvex-thumbnailer: no book description in the package\n";
    } catch (const std::bad_alloc&) {
        errors << "tralvex-thumbnailer: out of memory\n";
    } catch (const std::exception& e) {
        errors << "tralvex-thumbnailer: " << e.what() << '\n';
    } catch (...) {
        errors << "tralvex-thumbnailer: failed\n";
    }
    return 1;
}

}  // namespace app
