#include "app/ConversionJob.h"

#include "book/Book.h"
#include "book/Unzipper.h"
#include "export/PresentationConverter.h"

#include <optional>
#include <stdexcept>

ConversionStages DefaultConversionStages()
{
    ConversionStages stages;
    stages.openPackage = [](const std::filesystem::path& source, const std::filesystem::path& workingFolder)
        -> std::shared_ptr<const bookparser::Book> {
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
            throw std::runtime_error(bookparser::DescribeBookFailure(std::current_exception()));
        }
        package->Close();
        return book;
    };
    stages.convert = [](PresentationConverter& converter, const std::shared_ptr<const bookparser::Book>& book,
                        const std::filesystem::path& source) { return converter.Convert(*book, source); };
    return stages;
}
