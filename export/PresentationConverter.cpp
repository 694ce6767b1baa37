#include "export/PresentationConverter.h"

#include <stdexcept>

PresentationConverter::PresentationConverter(const std::filesystem::path& workingFolder,
                                             const std::filesystem::path& outputFolder)
    : m_textureFolder(workingFolder / "res_textures"), m_outputFolder(outputFolder)
{
    std::filesystem::create_directories(m_textureFolder);
}
