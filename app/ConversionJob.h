#pragma once
#include "export/SavePresentation.h"

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

namespace bookparser {
class Book;
}
namespace exporting {
class PresentationConverter;
}

namespace app {

// Turns a book package into the book model.
class BookOpener {
public:
    virtual ~BookOpener() = default;
    // Extracts the package into the working folder and builds the book model
    // from there. Throws on any failure, with the reason as its text.
    virtual std::shared_ptr<const bookparser::Book> Open(const std::filesystem::path& source,
                                                         const std::filesystem::path& workingFolder) const = 0;
};

// Receives the opened book and makes its presentation.
class BookConverter {
public:
    virtual ~BookConverter() = default;
    // Builds and saves the presentation; returns the path written.
    virtual std::filesystem::path Convert(exporting::PresentationConverter& converter,
                                          const std::shared_ptr<const bookparser::Book>& book,
                                          const std::filesystem::path& source) const = 0;
};

// Unpacks the package into a folder of its own inside the working folder and
// reads the book there.
class PackageBookOpener final : public BookOpener {
public:
    std::shared_ptr<const bookparser::Book> Open(const std::filesystem::path& source,
                                                 const std::filesystem::path& workingFolder) const override;
};

// Converts the book and saves it with the services given.
class SavingBookConverter final : public BookConverter {
public:
    explicit SavingBookConverter(exporting::SaveServices save = {}) : m_save(std::move(save)) {}
    std::filesystem::path Convert(exporting::PresentationConverter& converter, const std::shared_ptr<const bookparser::Book>& book,
                                  const std::filesystem::path& source) const override;

private:
    exporting::SaveServices m_save;
};

// Converts one book package into one presentation and returns its path. An
// empty output folder writes the presentation next to the source. Failures
// leave as UnknownFileTypeError, FileCorruptedError, PptNotInstalledError or
// UserCancelledError (export/ConversionErrors.h), with the reason as their
// text: for a failure of the opener, the text of what it threw.
std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder, const BookOpener& opener,
                                       const BookConverter& converter);

// The same with the package opener and a converter saving with save.
std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder, const exporting::SaveServices& save = {});

// True when the source's extension (from the last dot of its last element)
// is exactly ".mordx".
bool HasBookExtension(const std::filesystem::path& source);

}  // namespace app
