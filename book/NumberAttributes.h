#pragma once

#include <string_view>

#include <xercesc/dom/DOMElement.hpp>

namespace bookparser {

// The generated tree reads a malformed number (empty, "-1" for an unsigned,
// "abc") into a variable it never set, so the same book could give another
// colour or position on every run. Before the tree is built, every malformed
// number attribute of the vocabulary is replaced by one fixed value: "NaN"
// for the float attributes (x, y, width, height, pageAspectRatio) and "0" for
// the unsigned one (color).
// Applies to the element and everything inside it.
void FixMalformedNumbers(xercesc::DOMElement& element);

// The lexical forms accepted, after trimming spaces, tabs, carriage returns
// and line feeds at both ends.
bool IsWellFormedFloat(std::string_view text) noexcept;
bool IsWellFormedUnsigned32(std::string_view text) noexcept;

}  // namespace bookparser
