#pragma once
#include "export/Automation.h"

namespace bookparser {
class TextObject;
}
namespace htmlparser {
class IFormattedText;
class IParagraph;
}  // namespace htmlparser

namespace exporting {

// Adds one text box for a text object to the slide and fills it paragraph
// by paragraph, run by run, from its formatted text.
void ExportTextObject(const bookparser::TextObject& object, engine::IShapes& shapes);

// The same from a rectangle and a formatted text.
void ExportFormattedText(float left, float top, float width, float height, const htmlparser::IFormattedText& text,
                         engine::IShapes& shapes);

// Appends one paragraph and its paragraph mark after range.
void ExportParagraph(const htmlparser::IParagraph& paragraph, engine::ITextRange& range);

}  // namespace exporting
