#include "export/engine/package/Relationships.h"

#include "export/engine/parts/XmlWriter.h"

namespace engine::detail {

std::string Relationships::Add(const std::string& type, const std::string& target)
{
    std::string id = "rId" + std::to_string(m_entries.size() + 1);
    m_entries.push_back({id, type, target});
    return id;
}

std::vector<std::string> Relationships::IdsOf(const std::string& type) const
{
    std::vector<std::string> ids;
    for (const Entry& e : m_entries)
        if (e.type == type)
            ids.push_back(e.id);
    return ids;
}

std::string Relationships::IdOf(const std::string& type) const
{
    for (const Entry& e : m_entries)
        if (e.type == type)
            return e.id;
    return {};
}

std::string Relationships::Write() const
{
    std::string out;
    XmlWriter x(out);
    x.Start("Relationships").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/relationships");
    for (const Entry& e : m_entries)
        x.Start("Relationship").Attr("Id", e.id).Attr("Type", e.type).Attr("Target", e.target).End("Relationship");
    x.End("Relationships").Finish();
    return out;
}

}  // namespace engine::detail
