#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace exporting {

// Values of the HTML text converted to what the presentation takes.

// A font size read as a decimal number from the start of the value; the rest
// is ignored; no number gives 0.
float ParseFontSize(const std::string& value);

// "#RRGGBB" as a COLORREF (red in the low byte); any other value is black.
std::uint32_t ParseFontColor(const std::string& value);

// Replaces the five XML entities in one left-to-right pass; text produced by
// a replacement is not examined again and other references stay as written.
std::string DecodeXmlEntities(std::string_view text);

// Paragraph alignment code of an "align" value: 1 left, 2 centre, 3 right,
// 4 justify; anything else is left.
int AlignmentCode(const std::string& value);

// A book colour 0xRRGGBB as a COLORREF 0x00BBGGRR; the top byte is dropped.
std::uint32_t BookColorToColorref(std::uint32_t bookColor);

}  // namespace exporting
