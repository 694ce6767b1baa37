#pragma once

// Writes a formatted text back in the HTML text dialect, so that parsing the
// result gives the same model again.

#include "text/FormattedText.h"

#include <string>

namespace htmlparser {

class CHtmlWriter {
public:
    // Names, values and texts are written as stored (they already hold the
    // source's entity references); U+000B becomes "<br>".
    std::string ToHtml(const IFormattedText& text) const;
};

}  // namespace htmlparser
