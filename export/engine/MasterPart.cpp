// The slide master and the blank layout, and the text style levels they and
// the presentation share.
#include "export/engine/PartWriters.h"

namespace engine::detail {

void TextStyleLevels(XmlWriter& x) {
    for (int lvl = 1; lvl <= 9; ++lvl) {
        const std::string tag = "a:lvl" + std::to_string(lvl) + "pPr";
        x.Start(tag).Attr("marL", 457200LL * (lvl - 1)).Attr("algn", "l").Attr("defTabSz", 914400).Attr("rtl", "0")
            .Attr("eaLnBrk", "1").Attr("latinLnBrk", "0").Attr("hangingPunct", "1");
        x.Start("a:defRPr").Attr("sz", 1800).Attr("kern", 1200);
        x.Start("a:solidFill").Start("a:schemeClr").Attr("val", "tx1").End("a:schemeClr").End("a:solidFill");
        x.Start("a:latin").Attr("typeface", "+mn-lt").End("a:latin").Start("a:ea").Attr("typeface", "+mn-ea").End("a:ea")
            .Start("a:cs").Attr("typeface", "+mn-cs").End("a:cs");
        x.End("a:defRPr").End(tag);
    }
}

std::string WriteMaster(const std::string& layoutRelId) {
    std::string out;
    XmlWriter x(out);
    StartRoot(x, "p:sldMaster");
    x.Start("p:cSld").Start("p:bg").Start("p:bgPr");
    SolidFill(x, 0xFFFFFF);
    x.Empty("a:effectLst").End("p:bgPr").End("p:bg");
    x.Start("p:spTree");
    ShapeTreeStart(x);
    x.End("p:spTree").End("p:cSld");
    x.Start("p:clrMap").Attr("bg1", "lt1").Attr("tx1", "dk1").Attr("bg2", "lt2").Attr("tx2", "dk2").Attr("accent1", "accent1")
        .Attr("accent2", "accent2").Attr("accent3", "accent3").Attr("accent4", "accent4").Attr("accent5", "accent5")
        .Attr("accent6", "accent6").Attr("hlink", "hlink").Attr("folHlink", "folHlink").End("p:clrMap");
    x.Start("p:sldLayoutIdLst").Start("p:sldLayoutId").Attr("id", 2147483649LL).Attr("r:id", layoutRelId)
        .End("p:sldLayoutId").End("p:sldLayoutIdLst");
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

std::string WriteLayout() {
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

} // namespace engine::detail
