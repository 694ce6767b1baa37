#include "export/Require.h"
#include "export/SlideBuilder.h"

#include "book/Book.h"
#include "export/TextExport.h"
#include "export/HtmlValueConversion.h"
#include "imaging/TextureFiles.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace exporting {

using namespace engine;
using imaging::GetTextureFile;
using imaging::GetTintedTextureFile;
using imaging::PrepareStillPicture;

void SlideBuilder::BuildSlide(const bookparser::Page& page, ISlide& slide) const
{
    slide.SetFollowMasterBackground(msoFalse);
    const auto fill = Require(slide.BackgroundFill());
    if (const auto texture = page.GetTexture()) {
        try {
            const std::filesystem::path& file = BackgroundFile(*texture, page.GetFillColor());
            if (!file.empty())
                fill->UserPicture(file.string());
        } catch (const ComError&) {
            // The slide keeps the background it has.
        }
    } else {
        const ColorRef color = BookColorToColorref(page.GetFillColor().value_or(0xFFFFFFu));
        fill->Solid();
        Require(fill->ForeColor())->SetRGB(color);
    }

    const auto shapes = Require(slide.Shapes());
    for (std::size_t i = 0; i < page.GetObjectCount(); ++i) {
        const bookparser::BasePageObject& object = page.GetObject(i);
        try {
            switch (object.GetType()) {
            case bookparser::PageObjectType::Picture:
                PlacePicture(static_cast<const bookparser::PictureObject&>(object), *shapes);
                break;
            case bookparser::PageObjectType::Text:
                ExportTextObject(static_cast<const bookparser::TextObject&>(object), *shapes);
                break;
            }
        } catch (const ComError&) {
            // Only this object is skipped; the page goes on.
        }
    }
}

const std::filesystem::path& SlideBuilder::BackgroundFile(int texture, std::optional<std::uint32_t> bookColor) const
{
    const auto key = std::make_pair(texture, bookColor);
    auto it = m_backgrounds.find(key);
    if (it == m_backgrounds.end()) {
        std::filesystem::path file = GetTextureFile(texture, m_textureFolder);
        if (!file.empty() && bookColor)
            file = GetTintedTextureFile(file, BookColorToColorref(*bookColor), m_textureFolder);
        it = m_backgrounds.emplace(key, std::move(file)).first;
    }
    return it->second;
}

void SlideBuilder::PrepareBackgrounds(const bookparser::Book& book) const
{
    // Untinted files first, one by one: tints of one texture share its file.
    std::vector<std::pair<const BackgroundKey, std::filesystem::path>*> tints;
    for (std::size_t i = 0; i < book.GetPageCount(); ++i) {
        const bookparser::Page& page = book.GetPage(i);
        if (!page.GetTexture())
            continue;
        const BackgroundKey key(*page.GetTexture(), page.GetFillColor());
        if (m_backgrounds.count(key) != 0)
            continue;
        auto entry = m_backgrounds.emplace(key, GetTextureFile(key.first, m_textureFolder)).first;
        if (!entry->second.empty() && key.second)
            tints.push_back(&*entry);
    }
    // Each tint has its own output file and map entry; the map itself does
    // not change while the workers run. A tint that fails (the disk full,
    // memory gone) stops the others from starting more and fails the book
    // from this thread once all have stopped.
    std::atomic<std::size_t> next{0};
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto work = [&] {
        try {
            for (std::size_t i; (i = next++) < tints.size();) {
                auto& [key, file] = *tints[i];
                file = GetTintedTextureFile(file, BookColorToColorref(*key.second), m_textureFolder);
            }
        } catch (...) {
            next = tints.size();
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    constexpr unsigned kMaxWorkers = 8;
    const std::size_t workers = std::min<std::size_t>({tints.size(), std::max(1u, std::thread::hardware_concurrency()), kMaxWorkers});
    std::vector<std::jthread> helpers;
    for (std::size_t i = 1; i < workers; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer helpers: this thread does the rest
        }
    }
    work();
    helpers.clear();  // joins them
    if (failure)
        std::rethrow_exception(failure);
}

const std::filesystem::path& SlideBuilder::StillFile(const std::filesystem::path& picture) const
{
    auto it = m_stills.find(picture);
    if (it == m_stills.end())
        it = m_stills.emplace(picture, PrepareStillPicture(picture, m_textureFolder)).first;
    return it->second;
}

void SlideBuilder::PlacePicture(const bookparser::PictureObject& picture, IShapes& shapes) const
{
    const auto& rect = picture.GetRect();
    const float x = static_cast<float>(rect.left);
    const float y = static_cast<float>(rect.top);
    const float w = static_cast<float>(rect.width);
    const float h = static_cast<float>(rect.height);
    const std::string file = StillFile(picture.GetPath()).string();

    const auto& crop = picture.GetCrop();
    if (!crop) {
        Require(shapes.AddPicture(file, msoFalse, msoTrue, x, y, w, h));
        return;
    }
    const auto shape = Require(shapes.AddPicture(file, msoFalse, msoTrue, 0.0f, 0.0f, -1.0f, -1.0f));
    shape->ScaleWidth(1.0f, msoTrue, msoScaleFromTopLeft);
    shape->ScaleHeight(1.0f, msoTrue, msoScaleFromTopLeft);
    const float w0 = shape->Width();
    const float h0 = shape->Height();
    shape->SetWidth(w);
    shape->SetHeight(h);
    shape->SetLeft(x);
    shape->SetTop(y);
    const auto format = Require(shape->PictureFormat());
    const double cx = crop->x, cy = crop->y, cw = crop->width, ch = crop->height;
    format->SetCropLeft(static_cast<float>(double(w0) * cx));
    format->SetCropRight(static_cast<float>(double(w0) * (1.0 - cw - cx)));
    format->SetCropTop(static_cast<float>(double(h0) * cy));
    format->SetCropBottom(static_cast<float>(double(h0) * (1.0 - ch - cy)));
}

}  // namespace exporting
