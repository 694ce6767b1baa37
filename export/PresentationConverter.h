#pragma once
#include <filesystem>

namespace bookparser { class Book; }

// Turns one book model into one saved presentation. One per conversion job.
class PresentationConverter {
public:
    // The texture folder "res_textures" inside the working folder is created
    // with any missing parents; its failure passes through unchanged. An empty
    // output folder saves next to the source.
    PresentationConverter(const std::filesystem::path& workingFolder,
                          const std::filesystem::path& outputFolder);

    // Builds every slide of the book and saves the presentation; returns the
    // path written.
    std::filesystem::path Convert(const bookparser::Book& book, const std::filesystem::path& source);

    const std::filesystem::path& GetTextureFolder() const noexcept { return m_textureFolder; }
    const std::filesystem::path& GetOutputFolder() const noexcept { return m_outputFolder; }

private:
    std::filesystem::path m_textureFolder;
    std::filesystem::path m_outputFolder;
};
