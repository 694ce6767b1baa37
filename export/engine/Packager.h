#pragma once
// Writes every part of a presentation into a zip, in a fixed order.
#include "export/engine/Model.h"
#include "export/engine/ZipWriter.h"

namespace engine::detail {

// The creation date of the core properties: SOURCE_DATE_EPOCH when it is a
// valid time, else now.
std::string DocumentDate();

bool WritePackage(const Presentation& p, ZipWriter& zip);

} // namespace engine::detail
