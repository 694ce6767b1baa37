#include "export/PageCover.h"

#include "book/Book.h"
#include "export/HtmlValueConversion.h"
#include "files/FileDescriptor.h"
#include "files/TemporaryFile.h"
#include "imaging/ArgbBitmap.h"
#include "imaging/TextureFiles.h"
#include "text/FormattedText.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace exporting {

namespace {

namespace fs = std::filesystem;

// What a text box of the slide has: its insets, the theme's body font and
// size, and the line spacing the text export sets.
constexpr double kInsetLeft = 4.0, kInsetRight = 3.0, kInsetTop = 3.0;
constexpr const char* kDefaultFace = "Calibri";
constexpr double kDefaultSize = 18.0;
constexpr double kLineSpacing = 1.02;
// The sizes the presentation accepts; others leave the run's size as it was.
constexpr double kSmallestSize = 1.0, kLargestSize = 4000.0;

struct CairoRelease {
    void operator()(cairo_t* cr) const noexcept { cairo_destroy(cr); }
    void operator()(cairo_surface_t* s) const noexcept { cairo_surface_destroy(s); }
};
using CairoPtr = std::unique_ptr<cairo_t, CairoRelease>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoRelease>;

struct GObjectRelease {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
using ContextPtr = std::unique_ptr<PangoContext, GObjectRelease>;
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectRelease>;

struct AttrListRelease {
    void operator()(PangoAttrList* list) const noexcept { pango_attr_list_unref(list); }
};
using AttrListPtr = std::unique_ptr<PangoAttrList, AttrListRelease>;

SurfacePtr NewImageSurface(cairo_format_t format, int width, int height)
{
    SurfacePtr surface(cairo_image_surface_create(format, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw std::bad_alloc();
    return surface;
}

void SetColor(cairo_t* cr, std::uint32_t colorref)
{
    cairo_set_source_rgb(cr, (colorref & 0xFF) / 255.0, ((colorref >> 8) & 0xFF) / 255.0,
                         ((colorref >> 16) & 0xFF) / 255.0);
}

// A picture as a cairo surface, averaged down by a whole factor first when
// it is far larger than it is drawn: the cover needs no more pixels, and
// the copy stays small however large the picture is.
SurfacePtr PictureSurface(const imaging::ArgbBitmap& bitmap, double drawnWidth, double drawnHeight)
{
    const int width = bitmap.Width(), height = bitmap.Height();
    const double ratio = std::min(width / std::max(drawnWidth, 1.0), height / std::max(drawnHeight, 1.0));
    const int factor = std::max(1, static_cast<int>(ratio / 2.0));
    const int outWidth = std::max(1, width / factor), outHeight = std::max(1, height / factor);
    SurfacePtr surface = NewImageSurface(CAIRO_FORMAT_ARGB32, outWidth, outHeight);
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const auto pixels = bitmap.Pixels();
    for (int y = 0; y < outHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < outWidth; ++x) {
            // Averaged premultiplied, as cairo keeps pixels.
            std::uint64_t a = 0, r = 0, g = 0, b = 0;
            for (int dy = 0; dy < factor; ++dy) {
                const std::size_t line = static_cast<std::size_t>(y * factor + dy) * static_cast<std::size_t>(width);
                for (int dx = 0; dx < factor; ++dx) {
                    const std::uint32_t p = pixels[line + static_cast<std::size_t>(x * factor + dx)];
                    const std::uint32_t alpha = p >> 24;
                    a += alpha;
                    r += ((p >> 16) & 0xFF) * alpha / 255;
                    g += ((p >> 8) & 0xFF) * alpha / 255;
                    b += (p & 0xFF) * alpha / 255;
                }
            }
            const std::uint64_t n = static_cast<std::uint64_t>(factor) * static_cast<std::uint64_t>(factor);
            row[x] = static_cast<std::uint32_t>((a / n) << 24 | (r / n) << 16 | (g / n) << 8 | (b / n));
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Draws the image file stretched over the rectangle, clipped to clip; false
// when it cannot be decoded.
bool DrawPicture(cairo_t* cr, const fs::path& file, const bookparser::Rect& rect, const bookparser::Rect& clip,
                 double pixelsPerPoint)
{
    if (file.empty() || rect.width <= 0 || rect.height <= 0 || clip.width <= 0 || clip.height <= 0)
        return false;
    const imaging::ArgbBitmap bitmap = imaging::ArgbBitmap::FromFile(file);
    if (bitmap.IsEmpty())
        return false;
    const SurfacePtr picture = PictureSurface(bitmap, rect.width * pixelsPerPoint, rect.height * pixelsPerPoint);
    cairo_save(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.width, clip.height);
    cairo_clip(cr);
    cairo_translate(cr, rect.left, rect.top);
    cairo_scale(cr, rect.width / cairo_image_surface_get_width(picture.get()),
                rect.height / cairo_image_surface_get_height(picture.get()));
    cairo_set_source_surface(cr, picture.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(picture.get()),
                    cairo_image_surface_get_height(picture.get()));
    cairo_fill(cr);
    cairo_restore(cr);
    return true;
}

void DrawBackground(cairo_t* cr, const bookparser::Page& page, double width, double height,
                    const fs::path& workingFolder, double pixelsPerPoint)
{
    cairo_rectangle(cr, 0, 0, width, height);
    if (const auto texture = page.GetTexture()) {
        // A texture that cannot be had leaves the master's white background.
        SetColor(cr, 0xFFFFFF);
        cairo_fill(cr);
        fs::path file = imaging::GetTextureFile(*texture, workingFolder);
        if (!file.empty() && page.GetFillColor())
            file = imaging::GetTintedTextureFile(file, BookColorToColorref(*page.GetFillColor()), workingFolder);
        const bookparser::Rect whole{0, 0, width, height};
        DrawPicture(cr, file, whole, whole, pixelsPerPoint);
        return;
    }
    SetColor(cr, BookColorToColorref(page.GetFillColor().value_or(0xFFFFFFu)));
    cairo_fill(cr);
}

void DrawPicture(cairo_t* cr, const bookparser::PictureObject& picture, double pixelsPerPoint)
{
    const bookparser::Rect& rect = picture.GetRect();
    bookparser::Rect frame = rect;
    // A crop keeps the picture's scale and shrinks its frame to the visible part.
    if (const auto& crop = picture.GetCrop())
        frame = {rect.left + rect.width * crop->x, rect.top + rect.height * crop->y, rect.width * crop->width,
                 rect.height * crop->height};
    DrawPicture(cr, picture.GetPath(), rect, frame, pixelsPerPoint);
}

std::optional<std::string> Attribute(const htmlparser::IAttributes& attributes, const std::string& name)
{
    if (!attributes.Contains(name))
        return std::nullopt;
    return attributes.Get(name)->GetValue();
}

// Run properties the presentation carries from one character to the next.
struct RunState {
    std::string face = kDefaultFace;
    double size = kDefaultSize;
    std::uint32_t color = 0;  // COLORREF
};

// The text a run shows: a line break (U+000B) breaks the line within the
// paragraph; other control characters are not part of a slide's text.
std::string VisibleText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\v')
            out += "\u2028";
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out += c;
    }
    return out;
}

void Insert(PangoAttrList* list, PangoAttribute* attribute, std::size_t start, std::size_t end)
{
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, attribute);
}

// One paragraph as a Pango layout: Pango aligns a whole layout alike, and
// each paragraph of a slide has its own alignment.
LayoutPtr ParagraphLayout(PangoContext* context, const htmlparser::IParagraph& paragraph, RunState& state,
                          double width)
{
    std::string text;
    AttrListPtr attributes(pango_attr_list_new());
    const auto& tags = paragraph.GetFontTags();
    for (std::size_t f = 0; f < tags.GetCount(); ++f) {
        const htmlparser::IFontTag& tag = *tags.GetItem(f);
        const auto face = Attribute(tag.GetAttributes(), "face");
        std::optional<double> size;
        if (auto value = Attribute(tag.GetAttributes(), "size"))
            size = ParseFontSize(*value);
        std::optional<std::uint32_t> color;
        if (auto value = Attribute(tag.GetAttributes(), "color"))
            color = ParseFontColor(*value);
        const auto& runs = tag.GetTextRanges();
        for (std::size_t r = 0; r < runs.GetCount(); ++r) {
            const htmlparser::ITextRange& run = *runs.GetItem(r);
            if (face)
                state.face = *face;
            if (size && *size >= kSmallestSize && *size <= kLargestSize)
                state.size = *size;
            if (color)
                state.color = *color;
            const std::size_t start = text.size();
            text += VisibleText(DecodeXmlEntities(run.GetText()));
            const std::size_t end = text.size();
            if (start == end)
                continue;
            const auto& style = run.GetFontStyle();
            Insert(attributes.get(), pango_attr_family_new(state.face.c_str()), start, end);
            Insert(attributes.get(), pango_attr_size_new(static_cast<int>(std::lround(state.size * PANGO_SCALE))),
                   start, end);
            Insert(attributes.get(), pango_attr_weight_new(style.IsBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL),
                   start, end);
            Insert(attributes.get(), pango_attr_style_new(style.IsItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL),
                   start, end);
            if (style.IsUnderline())
                Insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end);
            const auto channel = [&](int shift) { return static_cast<guint16>(((state.color >> shift) & 0xFF) * 257); };
            Insert(attributes.get(), pango_attr_foreground_new(channel(0), channel(8), channel(16)), start, end);
        }
    }

    LayoutPtr layout(pango_layout_new(context));
    // An empty paragraph is as high as the text before it.
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, state.face.c_str());
    pango_font_description_set_size(font, static_cast<int>(std::lround(state.size * PANGO_SCALE)));
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    pango_layout_set_attributes(layout.get(), attributes.get());
    pango_layout_set_width(layout.get(), static_cast<int>(std::lround(std::max(width, 1.0) * PANGO_SCALE)));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    pango_layout_set_line_spacing(layout.get(), static_cast<float>(kLineSpacing));
    switch (AlignmentCode(Attribute(paragraph.GetAttributes(), "align").value_or(""))) {
    case 2:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
        break;
    case 3:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
        break;
    case 4:
        pango_layout_set_justify(layout.get(), TRUE);
        break;
    default:
        break;
    }
    return layout;
}

void DrawText(cairo_t* cr, PangoContext* context, const bookparser::TextObject& object)
{
    const bookparser::Rect& rect = object.GetRect();
    const double width = rect.width - kInsetLeft - kInsetRight;
    double y = rect.top + kInsetTop;
    RunState state;
    // The slide's text is not clipped to its box.
    const auto& formats = object.GetFormattedText().GetTextFormats();
    for (std::size_t i = 0; i < formats.GetCount(); ++i) {
        const auto& lists = formats.GetItem(i)->GetLists();
        for (std::size_t j = 0; j < lists.GetCount(); ++j) {
            const auto& paragraphs = lists.GetItem(j)->GetParagraphs();
            for (std::size_t k = 0; k < paragraphs.GetCount(); ++k) {
                const LayoutPtr layout = ParagraphLayout(context, *paragraphs.GetItem(k), state, width);
                cairo_move_to(cr, rect.left + kInsetLeft, y);
                pango_cairo_show_layout(cr, layout.get());
                PangoRectangle logical;
                pango_layout_get_extents(layout.get(), nullptr, &logical);
                y += static_cast<double>(logical.height) / PANGO_SCALE;
            }
        }
    }
}

ContextPtr TextContext(cairo_t* cr)
{
    ContextPtr context(pango_cairo_create_context(cr));
    // One unit is one point; glyphs are placed as at any size, unhinted, so
    // lines break where they break on the slide.
    pango_cairo_context_set_resolution(context.get(), 72.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    return context;
}

cairo_status_t WriteToDescriptor(void* closure, const unsigned char* data, unsigned int length)
{
    const int fd = *static_cast<const int*>(closure);
    return files::WriteAll(fd, std::string_view(reinterpret_cast<const char*>(data), length))
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

void PageCover::SurfaceRelease::operator()(_cairo_surface* surface) const noexcept
{
    cairo_surface_destroy(surface);
}

PageCover::PageCover(const bookparser::Book& book, std::size_t index, int size, const fs::path& workingFolder)
{
    if (size < 1 || size > kMaxSize)
        throw std::invalid_argument("cover size out of range: " + std::to_string(size));
    const bookparser::Page& page = book.GetPage(index);
    const auto [pageWidth, pageHeight] = book.GetPageSize();
    const double scale = static_cast<double>(size) / std::max(pageWidth, pageHeight);
    const int width = std::clamp(static_cast<int>(std::lround(pageWidth * scale)), 1, size);
    const int height = std::clamp(static_cast<int>(std::lround(pageHeight * scale)), 1, size);

    // The page is opaque: its PNG needs no alpha.
    SurfacePtr surface = NewImageSurface(CAIRO_FORMAT_RGB24, width, height);
    const CairoPtr cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), static_cast<double>(width) / pageWidth, static_cast<double>(height) / pageHeight);
    DrawBackground(cr.get(), page, pageWidth, pageHeight, workingFolder, scale);
    const ContextPtr context = TextContext(cr.get());
    for (std::size_t i = 0; i < page.GetObjectCount(); ++i) {
        const bookparser::BasePageObject& object = page.GetObject(i);
        switch (object.GetType()) {
        case bookparser::PageObjectType::Picture:
            DrawPicture(cr.get(), static_cast<const bookparser::PictureObject&>(object), scale);
            break;
        case bookparser::PageObjectType::Text:
            DrawText(cr.get(), context.get(), static_cast<const bookparser::TextObject&>(object));
            break;
        }
    }
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        throw std::bad_alloc();
    cairo_surface_flush(surface.get());
    m_surface.reset(surface.release());
}

PageCover::~PageCover() = default;

int PageCover::Width() const noexcept
{
    return cairo_image_surface_get_width(m_surface.get());
}

int PageCover::Height() const noexcept
{
    return cairo_image_surface_get_height(m_surface.get());
}

std::uint32_t PageCover::Pixel(int x, int y) const noexcept
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return 0;
    const unsigned char* data = cairo_image_surface_get_data(m_surface.get());
    const int stride = cairo_image_surface_get_stride(m_surface.get());
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x] & 0xFFFFFFu;
}

void PageCover::SavePng(const fs::path& output) const
{
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    files::TemporaryFile file;
    if (!file.Create(AT_FDCWD, (folder / ".tralvex-cover-").string(), ".png", 0600))
        throw std::system_error(errno, std::generic_category(), "cannot write in " + folder.string());
    int fd = file.Get();
    if (cairo_surface_write_to_png_stream(m_surface.get(), WriteToDescriptor, &fd) != CAIRO_STATUS_SUCCESS
        || !file.Close())
        throw std::runtime_error("cannot write " + file.Name());
    if (std::rename(file.Name().c_str(), output.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot write " + output.string());
    file.Keep();
}

}  // namespace exporting
