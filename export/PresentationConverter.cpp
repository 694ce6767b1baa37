#include "export/Require.h"
#include "export/PresentationConverter.h"

#include "export/ConversionErrors.h"
#include "book/Book.h"
#include "export/EngineDescription.h"
#include "export/SavePresentation.h"
#include "export/SlideBuilder.h"
#include "imaging/DecodingBudget.h"
#include "imaging/ResourceError.h"

#include <new>

namespace exporting {

using namespace engine;

PresentationConverter::PresentationConverter(const std::filesystem::path& workingFolder,
                                             const std::filesystem::path& outputFolder,
                                             ApplicationStarter startApplication)
    : m_textureFolder(workingFolder / "res_textures"), m_outputFolder(outputFolder),
      m_startApplication(std::move(startApplication))
{
    std::filesystem::create_directories(m_textureFolder);
}

namespace {

// Closes the presentation exactly once, however Convert is left.
class CloseGuard {
public:
    explicit CloseGuard(IPresentation& presentation) : m_presentation(presentation) {}
    ~CloseGuard()
    {
        try {
            m_presentation.Close();
        } catch (...) {
        }
    }
    CloseGuard(const CloseGuard&) = delete;
    CloseGuard& operator=(const CloseGuard&) = delete;

private:
    IPresentation& m_presentation;
};

// The reason a build or save failed, as a user reads it.
std::string BuildFailureReason(const std::exception_ptr& failure)
{
    const std::string failed = "the presentation could not be built: ";
    try {
        std::rethrow_exception(failure);
    } catch (const imaging::ResourceError& e) {
        return e.what();  // says itself what ran out
    } catch (const ComError& e) {
        if (!e.Description().empty())
            return failed + e.Description();
        return failed + SystemMessage(e.Error()).value_or(e.what());
    } catch (const std::bad_alloc&) {
        return "out of memory while building the presentation";
    } catch (const std::exception& e) {
        return failed + e.what();
    } catch (...) {
        return failed + "unknown error";
    }
}

}  // namespace

std::filesystem::path PresentationConverter::Convert(const bookparser::Book& book, const std::filesystem::path& source,
                                                     const SaveServices& save)
{
    // One book's pictures are decoded within one budget (README).
    const imaging::DecodingBudget decodingBudget;
    std::unique_ptr<IApplication> application;
    try {
        application = m_startApplication();
    } catch (...) {
        throw PptNotInstalledError();
    }
    if (!application)
        throw PptNotInstalledError();

    std::string description;
    try {
        description = DescribePowerPoint(*application);
        const auto presentation = Require(Require(application->Presentations())->Add(msoFalse));
        CloseGuard guard(*presentation);
        presentation->SetTitle(book.GetTitle());
        {
            const auto pageSetup = Require(presentation->PageSetup());
            const auto [width, height] = book.GetPageSize();
            pageSetup->SetSlideWidth(static_cast<float>(width));
            pageSetup->SetSlideHeight(static_cast<float>(height));
        }
        const auto slides = Require(presentation->Slides());
        const SlideBuilder builder(m_textureFolder);
        builder.PrepareBackgrounds(book);
        for (std::size_t i = 0; i < book.GetPageCount(); ++i) {
            const auto slide = Require(slides->Add(static_cast<int>(i + 1), ppLayoutBlank));
            builder.BuildSlide(book.GetPage(i), *slide);
        }
        return SavePresentation(*presentation, source, m_outputFolder, save.dialog, save.turns);
    } catch (const UserCancelledError&) {
        throw;
    } catch (...) {
        throw FileCorruptedError(description, BuildFailureReason(std::current_exception()));
    }
}

}  // namespace exporting
