#pragma once
#include "export/Automation.h"

#include <string>

namespace exporting {

// "<version>, Build: <build> <bitness>" of the running engine. The errors
// of the reads pass through.
std::string DescribePowerPoint(const engine::IApplication& application);

// The same for a freshly started engine; empty on any failure.
std::string DescribeInstalledPowerPoint();

// The bitness of this process, "64-bit" or "32-bit".
std::string EngineSystemType();

}  // namespace exporting
