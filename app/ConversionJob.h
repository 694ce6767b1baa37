#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace bookparser { class Book; }
class PresentationConverter;

// The stages one conversion job runs. The defaults unpack the package, build
// the book model and convert it; tests replace them with doubles.
struct ConversionStages {
    // Opens the package, extracts it into the working folder and builds the
    // book model from there. Throws on any failure, with the reason as the
    // exception's text.
    std::function<std::shared_ptr<const bookparser::Book>(const std::filesystem::path& source,
                                                          const std::filesystem::path& workingFolder)>
        openPackage;
    // Builds and saves the presentation; returns the path written.
    std::function<std::filesystem::path(PresentationConverter& converter,
                                        const std::shared_ptr<const bookparser::Book>& book,
                                        const std::filesystem::path& source)>
        convert;
};

// The stages of a real conversion.
ConversionStages DefaultConversionStages();

// Converts one book package into one presentation and returns its path. An
// empty output folder writes the presentation next to the source. Failures
// leave as UnknownFileTypeError, FileCorruptedError, PptNotInstalledError or
// UserCancelledError (export/ConversionErrors.h), with the reason as their
// text: for a failure of the package stage, the text of what the stage threw.
std::filesystem::path RunConversionJob(const std::filesystem::path& source,
                                       const std::filesystem::path& workingFolder,
                                       const std::filesystem::path& outputFolder,
                                       const ConversionStages& stages = DefaultConversionStages());

// True when the source's extension (from the last dot of its last element)
// is exactly ".mordx".
bool HasBookExtension(const std::filesystem::path& source);
