#include "export/EngineDescription.h"

#include "export/engine/Engine.h"

#include "diagnostics/SystemDescription.h"

#include <map>

namespace exporting {

std::string EngineSystemType()
{
    return sizeof(void*) == 8 ? "64-bit" : "32-bit";
}

std::string DescribePowerPoint(const engine::IApplication& application)
{
    const std::string version = application.Version();
    const std::string build = application.Build();
    return diagnostics::FillPlaceholders("{OFFICE_VERSION}, Build: {OFFICE_BUILD} {SYSTEM_TYPE}",
                                         {{"{OFFICE_VERSION}", version}, {"{OFFICE_BUILD}", build}, {"{SYSTEM_TYPE}", EngineSystemType()}});
}

std::string DescribeInstalledPowerPoint()
{
    try {
        const auto application = engine::StartApplication();
        return application ? DescribePowerPoint(*application) : std::string();
    } catch (...) {
        return {};
    }
}

}  // namespace exporting
