#pragma once
// The native presentation engine: how it is started, and what a program
// that is interrupted or killed calls so that no unfinished save remains.
#include "export/Automation.h"

#include <filesystem>
#include <memory>

namespace engine {

// Starts the native presentation engine.
std::unique_ptr<IApplication> StartApplication();

// Removes the temporary files of saves still being written, so that an
// interrupted program leaves no partial output. Safe to call from another
// thread while the saving one is stopped.
void DiscardUnfinishedSaves() noexcept;

// Removes the temporary files that saves into folder left behind when their
// process died while writing (killed, or out of time in a batch). Files of
// saves still running, in this process or another, stay. A save calls it for
// its own folder first.
void RemoveStaleSaveFiles(const std::filesystem::path& folder) noexcept;

}  // namespace engine
