// The slide master and the blank layout.
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

namespace engine::detail {

std::string WriteMaster(const std::string& layoutRelId)
{
    std::string out;
    XmlWriter x(out);
    StartRoot(x, "p:sldMaster");
    x.Start("p:cSld").Start("p:bg").Start("p:bgPr");
    SolidFill(x, 0xFFFFFF);
    x.Empty("a:effectLst").End("p:bgPr").End("p:bg");
    x.Start("p:spTree");
    ShapeTreeStart(x);
    x.End("p:spTree").End("p:cSld");
    x.Start("p:clrMap").Attr("bg1", "lt1").Attr("tx1", "dk1").Attr("bg2", "lt2").Attr("tx2", "dk2").Attr("accent1", "accent1").Attr("accent2", "accent2").Attr("accent3", "accent3").Attr("accent4", "accent4").Attr("accent5", "accent5").Attr("accent6", "accent6").Attr("hlink", "hlink").Attr("folHlink", "folHlink").End("p:clrMap");
    x.Start("p:sldLayoutIdLst").Start("p:sldLayoutId").Attr("id", 2147483649LL).Attr("r:id", layoutRelId).End("p:sldLayoutId").End("p:sldLayoutIdLst");
    x.Start("p:txStyles");
    for (const char* tag : {"p:titleStyle", "p:bodyStyle", "p:otherStyle"}) {
        x.Start(tag);
        TextStyleLevels(x);
        x.End(tag);
    }
    x.End("p:txStyles");
    x.End("p:sldMaster").Finish();
    return out;
}

std::string WriteLayout()
{
    std::string out;
    XmlWriter x(out);
    StartRoot(x, "p:sldLayout");
    x.Attr("type", "blank").Attr("preserve", "1");
    x.Start("p:cSld").Attr("name", "Blank").Start("p:spTree");
    ShapeTreeStart(x);
    x.End("p:spTree").End("p:cSld");
    x.Start("p:clrMapOvr").Empty("a:masterClrMapping").End("p:clrMapOvr");
    x.End("p:sldLayout").Finish();
    return out;
}

}  // namespace engine::detail
