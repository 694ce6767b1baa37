#include "app/ConversionJob.h"

#include "book/Book.h"
#include "book/UnknownFileTypeError.h"
#include "book/Unzipper.h"
#include "export/ConversionErrors.h"
#include "export/PresentationConverter.h"

#include <new>
#include <optional>
#include <stdexcept>

using namespace exporting;

namespace app {

bool HasBookExtension(const std::filesystem::path& source)
{
    // The extension runs from the last dot of the last element; "." and ".."
    // have none. Compared case-sensitively: ".MORDX" is not a book.
    const std::string name = source.filename().string();
    if (name == "." || name == "..")
        return false;
    const auto dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, ".mordx") == 0;
}

namespace {

// The text of a failure of the opener: its exceptions carry
// the reason a user can act on as their text.
std::string PackageFailureReason(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return "out of memory while opening the package";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "the package cannot be opened";
    }
}

}  // namespace

std::shared_ptr<const bookparser::Book> PackageBookOpener::Open(const std::filesystem::path& source,
                                                                const std::filesystem::path& workingFolder) const
{
    // The package gets a folder of its own, so that none of its files can
    // stand in for one the program makes in the working folder.
    const std::filesystem::path packageFolder = workingFolder / "package";
    // Each failure leaves with the reason a user can act on as its text.
    std::optional<CUnzipper> package;
    try {
        package.emplace(source);
    } catch (const PackageOpenError& e) {
        throw std::runtime_error(e.Reason());
    }
    if (!package->ExtractAll(packageFolder))
        throw std::runtime_error(package->GetFailure());
    std::shared_ptr<const bookparser::Book> book;
    try {
        book = std::make_shared<const bookparser::Book>(packageFolder);
    } catch (const bookparser::UnknownFileTypeError&) {
        throw;
    } catch (...) {
        std::string reason = bookparser::DescribeBookFailure(std::current_exception());
        if (reason.empty())
            throw std::bad_alloc();
        throw std::runtime_error(reason);
    }
    package->Close();
    return book;
}

std::filesystem::path SavingBookConverter::Convert(PresentationConverter& converter,
                                                   const std::shared_ptr<const bookparser::Book>& book,
                                                   const std::filesystem::path& source) const
{
    return converter.Convert(*book, source, m_save);
}

std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder, const BookOpener& opener,
                                       const BookConverter& converter)
{
    std::shared_ptr<const bookparser::Book> book;
    try {
        book = opener.Open(source, workingFolder);
    } catch (const bookparser::UnknownFileTypeError&) {
        throw UnknownFileTypeError("no book description in the package");
    } catch (...) {
        std::string reason = PackageFailureReason(std::current_exception());
        if (HasBookExtension(source))
            throw FileCorruptedError({}, std::move(reason));
        throw UnknownFileTypeError(std::move(reason));
    }
    PresentationConverter presentationConverter(workingFolder, outputFolder);
    return converter.Convert(presentationConverter, book, source);
}

std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder, const SaveServices& save)
{
    return RunConversionJob(source, workingFolder, outputFolder, PackageBookOpener(), SavingBookConverter(save));
}

}  // namespace app
