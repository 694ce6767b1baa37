#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace bookparser {
class Book;
}
struct _cairo_surface;

namespace exporting {

// One page of a book drawn as a small picture, the way its slide shows it:
// the background (colour, texture or tinted texture, stretched over the
// page), then the pictures and text boxes in page order. File managers show
// it as the book's thumbnail.
class PageCover {
public:
    static constexpr int kMaxSize = 4096;

    // Draws the page at index no larger than size × size pixels, keeping the
    // page's proportion. Background textures are made in workingFolder, as
    // for a conversion. A picture that cannot be decoded is left out, as the
    // slide leaves it out. Throws std::invalid_argument for a size outside
    // 1..kMaxSize, std::out_of_range for a page the book does not have,
    // std::bad_alloc when the drawing cannot be made, and what the texture
    // files throw when they cannot be written.
    PageCover(const bookparser::Book& book, std::size_t index, int size, const std::filesystem::path& workingFolder);
    ~PageCover();
    PageCover(const PageCover&) = delete;
    PageCover& operator=(const PageCover&) = delete;

    int Width() const noexcept;
    int Height() const noexcept;
    // The colour at (x, y) as 0xRRGGBB (the cover is opaque); 0 outside.
    std::uint32_t Pixel(int x, int y) const noexcept;

    // Writes the cover as PNG: under a temporary name in the output's folder,
    // renamed into place when complete, so that no half-written file ever
    // carries the name. Throws std::runtime_error when it cannot, leaving no
    // file behind.
    void SavePng(const std::filesystem::path& output) const;

private:
    struct SurfaceRelease {
        void operator()(_cairo_surface* surface) const noexcept;
    };
    std::unique_ptr<_cairo_surface, SurfaceRelease> m_surface;
};

}  // namespace exporting
