#pragma once
#include "diagnostics/SupportLink.h"
#include "export/SavePresentation.h"

namespace app {

// What the program's entry point hands down each road: whom a failed save
// asks (the desktop's dialog when there is one) and who describes the
// installed presentation engine for the support link. A batch child adds
// the turns its save takes with the other books of the run. The empty value
// asks nobody and describes nothing.
struct ProgramServices {
    exporting::SaveServices save;
    diagnostics::EngineDescriber describeInstalledEngine;
};

}  // namespace app
