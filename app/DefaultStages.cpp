#include "app/ConversionJob.h"

#include <stdexcept>

ConversionStages DefaultConversionStages()
{
    ConversionStages stages;
    stages.openPackage = [](const std::filesystem::path&, const std::filesystem::path&)
        -> std::shared_ptr<const bookparser::Book> { throw std::runtime_error("Can't unzip book"); };
    stages.convert = [](PresentationConverter&, const std::shared_ptr<const bookparser::Book>&,
                        const std::filesystem::path&) -> std::filesystem::path {
        throw std::runtime_error("not initialized");
    };
    return stages;
}
