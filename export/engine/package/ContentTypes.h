#pragma once
// The content types of the whole package, derived from the parts written.
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace engine::detail {

// Content types derived from the parts actually written.
class ContentTypes {
public:
    void AddDefault(const std::string& extension, const std::string& type) { m_defaults[extension] = type; }
    void AddOverride(const std::string& partName, const std::string& type) { m_overrides.push_back({partName, type}); }
    std::string Write() const;

private:
    std::map<std::string, std::string> m_defaults;
    std::vector<std::pair<std::string, std::string>> m_overrides;
};

}  // namespace engine::detail
