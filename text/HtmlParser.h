#pragma once

// Parser of the HTML text dialect of text objects (textformat, p, li, font,
// b, i, u, a and <br>) into the formatted text model.

#include "text/FormattedText.h"

#include <cstddef>
#include <string>

namespace htmlparser {

class CHtmlParser {
public:
    // Elements may nest at most this deep (the elements of the text itself;
    // a real book text nests fewer than ten). Deeper text is rejected as a
    // syntax error, so hostile input cannot exhaust the stack.
    static constexpr std::size_t kMaxNestingDepth = 256;

    // Replaces the content of target with the model of html (UTF-8).
    // Entity references are kept as written; "<br>" and "<BR>" become
    // U+000B. Throws std::runtime_error "html parsing error" for malformed
    // or too deeply nested markup (target is then left empty), and
    // "html parsing error: first node not found" for a document without a
    // root element.
    void Parse(const std::string& html, IFormattedText& target) const;
};

}  // namespace htmlparser
