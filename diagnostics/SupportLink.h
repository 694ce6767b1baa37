#pragma once
#include <string>

// The support address for a failed conversion, with the product, version,
// system and presentation engine as query parameters.
std::string MakeSupportUrl(const std::string& ppDescription);
