// The presentation part and its small companions (presentation and view
// properties, table styles).
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

namespace engine::detail {

std::string WritePresentation(const PresentationPartData& data)
{
    std::string out;
    XmlWriter x(out);
    StartRoot(x, "p:presentation");
    x.Attr("saveSubsetFonts", "1");
    x.Start("p:sldMasterIdLst").Start("p:sldMasterId").Attr("id", 2147483648LL).Attr("r:id", data.masterRelId).End("p:sldMasterId").End("p:sldMasterIdLst");
    if (!data.slideRelIds.empty()) {
        x.Start("p:sldIdLst");
        long long id = 256;
        for (const std::string& rel : data.slideRelIds)
            x.Start("p:sldId").Attr("id", id++).Attr("r:id", rel).End("p:sldId");
        x.End("p:sldIdLst");
    }
    x.Start("p:sldSz").Attr("cx", Emu(data.width)).Attr("cy", Emu(data.height)).End("p:sldSz");
    x.Start("p:notesSz").Attr("cx", 6858000).Attr("cy", 9144000).End("p:notesSz");
    x.Start("p:defaultTextStyle");
    TextStyleLevels(x);
    x.End("p:defaultTextStyle");
    x.End("p:presentation").Finish();
    return out;
}

namespace {

// A part of nothing but its root element, with the usual namespaces.
std::string EmptyRootPart(const char* root)
{
    std::string out;
    XmlWriter x(out);
    StartRoot(x, root);
    x.End(root).Finish();
    return out;
}

}  // namespace

std::string WritePresProps() { return EmptyRootPart("p:presentationPr"); }

std::string WriteViewProps() { return EmptyRootPart("p:viewPr"); }

std::string WriteTableStyles()
{
    std::string out;
    XmlWriter x(out);
    x.Start("a:tblStyleLst").Attr("xmlns:a", ns::kA).Attr("def", "{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}");
    x.End("a:tblStyleLst").Finish();
    return out;
}

}  // namespace engine::detail
