// The document properties: core (title, dates) and extended (the program).
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

namespace engine::detail {

std::string WriteCoreProperties(const CoreProperties& core) {
    std::string out;
    XmlWriter x(out);
    x.Start("cp:coreProperties").Attr("xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties")
        .Attr("xmlns:dc", "http://purl.org/dc/elements/1.1/").Attr("xmlns:dcterms", "http://purl.org/dc/terms/")
        .Attr("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    if (!core.title.empty()) x.Start("dc:title").Text(core.title).End("dc:title");
    x.Start("dc:creator").Text("Tralvex").End("dc:creator");
    x.Start("dcterms:created").Attr("xsi:type", "dcterms:W3CDTF").Text(core.created).End("dcterms:created");
    x.Start("dcterms:modified").Attr("xsi:type", "dcterms:W3CDTF").Text(core.created).End("dcterms:modified");
    x.End("cp:coreProperties").Finish();
    return out;
}

std::string WriteAppProperties(std::size_t slideCount) {
    std::string out;
    XmlWriter x(out);
    x.Start("Properties").Attr("xmlns", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
    x.Start("Application").Text("Tralvex").End("Application");
    x.Start("Slides").Text(std::to_string(slideCount)).End("Slides");
    x.End("Properties").Finish();
    return out;
}

} // namespace engine::detail
