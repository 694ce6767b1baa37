#include "export/engine/Engine.h"

#include "export/engine/objects/EngineObjects.h"
#include "export/engine/package/SavePackage.h"

namespace engine {

std::unique_ptr<IApplication> StartApplication() { return detail::MakeApplication(); }

void DiscardUnfinishedSaves() noexcept { detail::DiscardUnfinishedSaves(); }

void RemoveStaleSaveFiles(const std::filesystem::path& folder) noexcept { detail::RemoveStaleSaveFiles(folder); }

}  // namespace engine
