#pragma once
// Names written into line-based text (the batch log, its record of converted
// books, lines on standard error) so that one entry stays one line of UTF-8
// whatever bytes a file name holds.
#include <string>
#include <string_view>

namespace lineescaping {

// A backslash becomes "\\"; a control character (U+0000-U+001F, U+007F,
// U+0080-U+009F), a line or paragraph separator (U+2028, U+2029) and every
// byte that is not part of well-formed UTF-8 become "\xHH", one per byte.
// Everything else stays as it is, so ordinary names read unchanged.
std::string Escape(std::string_view bytes);

// The bytes Escape was given. A backslash not followed by "\" or "x" and two
// hex digits is kept as it stands.
std::string Unescape(std::string_view text);

}  // namespace lineescaping
