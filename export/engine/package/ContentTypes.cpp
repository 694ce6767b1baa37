#include "export/engine/package/ContentTypes.h"

#include "export/engine/parts/XmlWriter.h"

namespace engine::detail {

std::string ContentTypes::Write() const
{
    std::string out;
    XmlWriter x(out);
    x.Start("Types").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
    for (const auto& [ext, type] : m_defaults)
        x.Start("Default").Attr("Extension", ext).Attr("ContentType", type).End("Default");
    for (const auto& [part, type] : m_overrides)
        x.Start("Override").Attr("PartName", part).Attr("ContentType", type).End("Override");
    x.End("Types").Finish();
    return out;
}

}  // namespace engine::detail
