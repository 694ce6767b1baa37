#include "book/Book.h"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unordered_map>

#include "book/BookReader.h"
#include "text/HtmlParser.h"

namespace bookparser {
namespace {

namespace fs = std::filesystem;

// The proportion of a book that does not give a usable one, as single
// precision like the attribute itself.
constexpr float kDefaultAspectRatio = 0.7071f;
constexpr double kPageArea = 254400.0;

double Clamp01(double value)
{
    // NaN passes unchanged.
    if (value > 1.0)
        return 1.0;
    if (value < 0.0)
        return 0.0;
    return value;
}

template <class Geometry>
Rect MakeRect(const Geometry& g, std::pair<int, int> pageSize, bool clamp)
{
    double x = g.x(), y = g.y(), w = g.width(), h = g.height();
    if (clamp) {
        x = Clamp01(x);
        y = Clamp01(y);
        w = Clamp01(w);
        h = Clamp01(h);
    }
    const double pageW = pageSize.first, pageH = pageSize.second;
    return Rect{pageW * x, pageH * y, pageW * w, pageH * h};
}

// Where picture files may be: the canonical package folder. Empty when the
// folder itself cannot be resolved (then no picture is found).
class PictureLocator {
public:
    explicit PictureLocator(const fs::path& folder) : folder_(folder)
    {
        std::error_code ec;
        canonicalFolder_ = fs::canonical(folder, ec);
        if (ec)
            canonicalFolder_.clear();
    }

    // The file a picture's path names, or empty when it is missing or would
    // lie outside the package. Books made on Windows separate with "\".
    // Books place the same pictures on many pages, and resolving costs a
    // system call per path component: each value is resolved once.
    const fs::path& Find(const std::string& value) const
    {
        auto found = found_.find(value);
        if (found == found_.end())
            found = found_.emplace(value, Resolve(value)).first;
        return found->second;
    }

private:
    fs::path Resolve(const std::string& value) const
    {
        if (canonicalFolder_.empty() || value.empty())
            return {};
        std::string portable = value;
        for (char& c : portable) {
            if (c == '\\')
                c = '/';
        }
        // Folder and path are joined as plain strings: a leading separator
        // still names a file of the package.
        portable.erase(0, portable.find_first_not_of('/'));
        if (portable.empty())
            return {};

        const fs::path relative = fs::path(portable).lexically_normal();
        if (relative.empty() || *relative.begin() == "..")
            return {};

        const fs::path full = folder_ / relative;
        std::error_code ec;
        // Resolving links as well keeps a link inside the package from
        // pointing outside it; a missing entry fails here too.
        const fs::path resolved = fs::canonical(full, ec);
        if (ec)
            return {};
        const fs::path inside = resolved.lexically_relative(canonicalFolder_);
        if (inside.empty() || inside == "." || *inside.begin() == "..")
            return {};
        return full;
    }

    fs::path folder_;
    fs::path canonicalFolder_;
    mutable std::unordered_map<std::string, fs::path> found_;
};

std::unique_ptr<BasePageObject> MakePicture(const xmlbook::CT_PictureObject& xml, std::pair<int, int> pageSize,
                                            const PictureLocator& pictures)
{
    const bool cropped = xml.cropRect().present();
    const Rect rect = MakeRect(xml, pageSize, !cropped);
    fs::path path;
    std::optional<CropRect> crop;
    if (xml.path().present()) {
        path = pictures.Find(xml.path().get());
        if (!path.empty() && cropped) {
            const xmlbook::CT_Rectangle& c = xml.cropRect().get();
            crop = CropRect{Clamp01(c.x()), Clamp01(c.y()), Clamp01(c.width()), Clamp01(c.height())};
        }
    }
    return std::make_unique<PictureObject>(rect, std::move(path), crop);
}

std::unique_ptr<BasePageObject> MakeText(const xmlbook::CT_TextObject& xml, std::pair<int, int> pageSize)
{
    std::unique_ptr<htmlparser::IFormattedText> text = htmlparser::CreateFormattedText();
    htmlparser::CHtmlParser().Parse(xml.htmlText(), *text);
    return std::make_unique<TextObject>(MakeRect(xml, pageSize, true), std::move(text));
}

std::unique_ptr<Page> MakePage(const xmlbook::CT_Page& xml, std::pair<int, int> pageSize,
                               const imaging::TextureLibrary& textures, const PictureLocator& pictures)
{
    std::optional<std::uint32_t> fillColor;
    std::optional<int> texture;
    const xmlbook::CT_Background& background = xml.background();
    if (background.fillColor().present()) {
        fillColor = background.fillColor()->color();
    }
    if (background.texture().present()) {
        texture = textures.Lookup(background.texture()->id(), fillColor.has_value());
    }

    std::vector<std::unique_ptr<BasePageObject>> objects;
    if (xml.content().present()) {
        for (const xmlbook::CT_PageObjectBase& object : xml.content()->pageObject()) {
            if (const auto* picture = dynamic_cast<const xmlbook::CT_PictureObject*>(&object)) {
                objects.push_back(MakePicture(*picture, pageSize, pictures));
            } else if (const auto* text = dynamic_cast<const xmlbook::CT_TextObject*>(&object)) {
                objects.push_back(MakeText(*text, pageSize));
            }
            // A plain pageObject has geometry only: nothing to show.
        }
    }
    return std::make_unique<Page>(fillColor, texture, std::move(objects));
}

}  // namespace

std::pair<int, int> Book::PageSizeFor(double aspectRatio)
{
    const double height = std::round(std::sqrt(kPageArea / aspectRatio));
    const double width = std::round(height * aspectRatio);
    return {static_cast<int>(width), static_cast<int>(height)};
}

Book::Book(const fs::path& unpackedFolder) : folder_(unpackedFolder)
{
    const fs::path description = folder_ / "book";
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(description, ec))) {
        throw UnknownFileTypeError();
    }

    std::unique_ptr<xmlbook::Book> xml = ReadBookDocument(description);
    if (!xml) {
        throw std::runtime_error("invalid book format");
    }

    if (xml->title()) {
        title_ = *xml->title();
    }
    double ratio = static_cast<float>(xml->pageAspectRatio());
    if (ratio <= 0.0) {
        ratio = kDefaultAspectRatio;
    }
    // The library rejects NaN and infinite ratios too, before they reach the
    // size computation.
    textures_ = std::make_unique<imaging::TextureLibrary>(ratio);
    pageSize_ = PageSizeFor(ratio);

    const PictureLocator pictures(folder_);
    for (const xmlbook::CT_Page& page : xml->page()) {
        if (page.pageType() == xmlbook::ST_PageType::none) {
            continue;
        }
        pages_.push_back(MakePage(page, pageSize_, *textures_, pictures));
    }
}

namespace {

// The parser's first error: where in the document and what. Errors without
// a place are the reader's own refusals (too large, nested too deeply, not a
// file), which say themselves what is wrong.
std::string ParsingReason(const xml_schema::parsing& e)
{
    for (const xml_schema::error& d : e.diagnostics()) {
        if (d.severity() != xml_schema::severity::error)
            continue;
        if (d.line() == 0)
            return "the book description cannot be used (" + d.message() + ")";
        return "the book is not well-formed XML (line " + std::to_string(d.line()) + ": " + d.message() + ")";
    }
    return "the book is not well-formed XML";
}

std::string Printed(const xml_schema::exception& e)
{
    std::ostringstream text;
    text << e;
    return text.str();
}

}  // namespace

std::string DescribeBookFailure(std::exception_ptr failure) noexcept
{
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const UnknownFileTypeError&) {
            return "no book description in the package";
        } catch (const xml_schema::parsing& e) {
            return ParsingReason(e);
        } catch (const xml_schema::exception& e) {
            return "the book description is invalid (" + Printed(e) + ")";
        } catch (const std::bad_alloc&) {
            return "out of memory while reading the book description";
        } catch (const std::exception& e) {
            return "the book description is invalid (" + std::string(e.what()) + ")";
        } catch (...) {
            return "the book description is invalid";
        }
    } catch (...) {
        // Out of memory even for the text: an empty string needs none.
        return {};
    }
}

}  // namespace bookparser
