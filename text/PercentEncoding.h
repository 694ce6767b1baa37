#pragma once
// Percent-encoding of UTF-8 text for addresses (query values, file URIs).
#include <string>
#include <string_view>

namespace uri {

// Every byte becomes "%" and two upper-case hex digits, except the unreserved
// A-Z a-z 0-9 - _ . ~ and the characters in alsoKept.
std::string PercentEncode(std::string_view text, std::string_view alsoKept = {});

}  // namespace uri
