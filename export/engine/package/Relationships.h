#pragma once
// The relationships of one part, and the types of relationship the package
// has.
#include <string>
#include <vector>

namespace engine::detail {

namespace rel {
inline constexpr const char* kOfficeDocument = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr const char* kCoreProperties = "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
inline constexpr const char* kExtendedProperties = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties";
inline constexpr const char* kSlideMaster = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideMaster";
inline constexpr const char* kSlideLayout = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideLayout";
inline constexpr const char* kSlide = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide";
inline constexpr const char* kTheme = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme";
inline constexpr const char* kPresProps = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/presProps";
inline constexpr const char* kViewProps = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/viewProps";
inline constexpr const char* kTableStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/tableStyles";
inline constexpr const char* kImage = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
}  // namespace rel

// The relationships of one part; ids are unique within it and handed to
// whoever adds a relationship.
class Relationships {
public:
    std::string Add(const std::string& type, const std::string& target);
    // The ids of the relationships of one type, in the order they were added;
    // IdOf gives the first ("" when there is none).
    std::vector<std::string> IdsOf(const std::string& type) const;
    std::string IdOf(const std::string& type) const;
    bool Empty() const { return m_entries.empty(); }
    std::string Write() const;

private:
    struct Entry {
        std::string id, type, target;
    };
    std::vector<Entry> m_entries;
};

}  // namespace engine::detail
