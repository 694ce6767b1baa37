#pragma once
#include <functional>
#include <string>

namespace diagnostics {

// Describes the installed presentation engine, or "" when it knows nothing.
using EngineDescriber = std::function<std::string()>;

// The support address for a failed conversion, with the product, version,
// system and presentation engine as query parameters ("p", "v", "os", "pp").
// When ppDescription is empty the installed engine is described by
// describeInstalledEngine (a describer that throws, or none, knows nothing);
// "pp" is left out when that is empty too.
std::string MakeSupportUrl(const std::string& ppDescription, const EngineDescriber& describeInstalledEngine = {});

// base with p, v, os and (when engineDescription is not empty) pp appended.
std::string ComposeSupportUrl(const std::string& base, const std::string& version, const std::string& system,
                              const std::string& engineDescription);

// url with name=value appended to its query, before any "#fragment".
// Throws std::invalid_argument "Parameter name is empty".
std::string AddQueryParameter(const std::string& url, const std::string& name, const std::string& value);

// Percent-encodes every byte except A-Z a-z 0-9 - _ . ~ and ';'.
std::string UrlEncode(const std::string& text);

}  // namespace diagnostics
