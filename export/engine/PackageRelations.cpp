#include "export/engine/PackageRelations.h"

#include "export/engine/XmlWriter.h"

namespace engine::detail {

std::string Relationships::Add(const std::string& type, const std::string& target) {
    std::string id = "rId" + std::to_string(m_entries.size() + 1);
    m_entries.push_back({id, type, target});
    return id;
}

std::vector<std::string> Relationships::IdsOf(const std::string& type) const {
    std::vector<std::string> ids;
    for (const Entry& e : m_entries)
        if (e.type == type) ids.push_back(e.id);
    return ids;
}

std::string Relationships::IdOf(const std::string& type) const {
    for (const Entry& e : m_entries)
        if (e.type == type) return e.id;
    return {};
}

std::string Relationships::Write() const {
    std::string out;
    XmlWriter x(out);
    x.Start("Relationships").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/relationships");
    for (const Entry& e : m_entries) x.Start("Relationship").Attr("Id", e.id).Attr("Type", e.type).Attr("Target", e.target).End("Relationship");
    x.End("Relationships").Finish();
    return out;
}

std::string ContentTypes::Write() const {
    std::string out;
    XmlWriter x(out);
    x.Start("Types").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
    for (const auto& [ext, type] : m_defaults) x.Start("Default").Attr("Extension", ext).Attr("ContentType", type).End("Default");
    for (const auto& [part, type] : m_overrides) x.Start("Override").Attr("PartName", part).Attr("ContentType", type).End("Override");
    x.End("Types").Finish();
    return out;
}

} // namespace engine::detail
