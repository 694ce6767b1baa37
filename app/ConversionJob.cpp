#include "app/ConversionJob.h"

#include "book/UnknownFileTypeError.h"
#include "export/ConversionErrors.h"
#include "export/PresentationConverter.h"

#include <new>

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

// The text of a failure of the package stage: the stage's exceptions carry
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

std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder,
                                       const ConversionStages& stages)
{
    std::shared_ptr<const bookparser::Book> book;
    try {
        book = stages.openPackage(source, workingFolder);
    } catch (const bookparser::UnknownFileTypeError&) {
        throw UnknownFileTypeError("no book description in the package");
    } catch (...) {
        std::string reason = PackageFailureReason(std::current_exception());
        if (HasBookExtension(source))
            throw FileCorruptedError({}, std::move(reason));
        throw UnknownFileTypeError(std::move(reason));
    }
    PresentationConverter converter(workingFolder, outputFolder);
    return stages.convert(converter, book, source);
}
