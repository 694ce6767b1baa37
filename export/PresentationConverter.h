#pragma once
#include "export/SavePresentation.h"
#include "export/engine/Engine.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace bookparser {
class Book;
}

namespace exporting {

// Turns one book model into one saved presentation. One per conversion job.
class PresentationConverter {
public:
    // Starts the presentation engine; nothing or an exception when it cannot.
    using ApplicationStarter = std::function<std::unique_ptr<engine::IApplication>()>;

    // The texture folder "res_textures" inside the working folder is created
    // with any missing parents; its failure passes through unchanged. An empty
    // output folder saves next to the source.
    PresentationConverter(const std::filesystem::path& workingFolder,
                          const std::filesystem::path& outputFolder,
                          ApplicationStarter startApplication = engine::StartApplication);

    // Builds every slide of the book and saves the presentation with the
    // services given; returns the path written.
    std::filesystem::path Convert(const bookparser::Book& book, const std::filesystem::path& source,
                                  const SaveServices& save = {});

    const std::filesystem::path& GetTextureFolder() const noexcept { return m_textureFolder; }
    const std::filesystem::path& GetOutputFolder() const noexcept { return m_outputFolder; }

private:
    std::filesystem::path m_textureFolder;
    std::filesystem::path m_outputFolder;
    ApplicationStarter m_startApplication;
};

}  // namespace exporting
