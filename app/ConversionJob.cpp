#include "app/ConversionJob.h"

#include "book/UnknownFileTypeError.h"
#include "export/ConversionErrors.h"
#include "export/PresentationConverter.h"

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

std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder,
                                       const ConversionStages& stages)
{
    std::shared_ptr<const bookparser::Book> book;
    try {
        book = stages.openPackage(source, workingFolder);
    } catch (const bookparser::UnknownFileTypeError&) {
        throw UnknownFileTypeError();
    } catch (...) {
        if (HasBookExtension(source))
            throw FileCorruptedError();
        throw UnknownFileTypeError();
    }
    PresentationConverter converter(workingFolder, outputFolder);
    return stages.convert(converter, book, source);
}
