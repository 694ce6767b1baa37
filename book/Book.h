#pragma once
#include <cstddef>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "book/Page.h"
#include "book/UnknownFileTypeError.h"
#include "imaging/TextureLibrary.h"

namespace bookparser {

// The book as the export sees it: page size in points, pages in order with
// their backgrounds and objects. Built once from the unpacked package folder
// and never changed afterwards.
class Book {
public:
    // Throws UnknownFileTypeError when the folder holds no "book", the XML
    // runtime's errors for a malformed description, std::runtime_error
    // "Invalid aspect ratio" for an unsupported page proportion and the HTML
    // parser's error for a text it cannot parse.
    explicit Book(const std::filesystem::path& unpackedFolder);

    // Width first, in points.
    std::pair<int, int> GetPageSize() const { return pageSize_; }
    std::size_t GetPageCount() const { return pages_.size(); }
    // Throws std::out_of_range for an index at or beyond the count.
    const Page& GetPage(std::size_t index) const { return *pages_.at(index); }
    const std::filesystem::path& GetFolder() const { return folder_; }
    // The book's title attribute, UTF-8; empty when it has none.
    const std::string& GetTitle() const { return title_; }

    // Page width and height for a page proportion (width / height): the area
    // stays close to 254400 square points.
    static std::pair<int, int> PageSizeFor(double aspectRatio);

private:
    std::filesystem::path folder_;
    std::string title_;
    std::pair<int, int> pageSize_;
    std::vector<std::unique_ptr<Page>> pages_;
    std::unique_ptr<imaging::TextureLibrary> textures_;
};

// Why building a book from an unpacked package failed with this exception,
// for the user: for a description that is not well-formed XML the parser's
// line and message, for one that breaks the book format the rule broken.
// Never throws: empty when not even the text fits in memory.
std::string DescribeBookFailure(std::exception_ptr failure) noexcept;

}  // namespace bookparser
