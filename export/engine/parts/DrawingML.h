#pragma once
// What the part writers share: namespaces, lengths, colours and the pieces
// of DrawingML that several parts repeat.
#include "export/Automation.h"
#include "export/engine/parts/XmlWriter.h"

#include <cmath>

namespace engine::detail {

namespace ns {
inline constexpr const char* kA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kP = "http://schemas.openxmlformats.org/presentationml/2006/main";
}  // namespace ns

inline long long Emu(double points) { return std::llround(points * 12700.0); }

// The three namespaces of a presentation part on its root element.
void StartRoot(XmlWriter& x, const char* name);
void SolidFill(XmlWriter& x, ColorRef color);
// The empty group properties that open every shape tree.
void ShapeTreeStart(XmlWriter& x);
// The nine levels of a text style list.
void TextStyleLevels(XmlWriter& x);

}  // namespace engine::detail
