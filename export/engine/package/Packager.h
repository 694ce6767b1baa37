#pragma once
// Writes the parts of a table into a zip, in the table's order, with the
// content types and relationships the table gives.
#include "export/engine/parts/Model.h"
#include "export/engine/package/PartTable.h"
#include "export/engine/package/ZipWriter.h"

namespace engine::detail {

bool WritePackage(const Presentation& p, ZipWriter& zip, const std::vector<PartRow>& parts = StandardParts());

}  // namespace engine::detail
