#include "export/engine/parts/DrawingML.h"

#include <cstdio>
#include <string>

namespace engine::detail {

void StartRoot(XmlWriter& x, const char* name)
{
    x.Start(name).Attr("xmlns:a", ns::kA).Attr("xmlns:r", ns::kR).Attr("xmlns:p", ns::kP);
}

void SolidFill(XmlWriter& x, ColorRef c)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    x.Start("a:solidFill").Start("a:srgbClr").Attr("val", hex).End("a:srgbClr").End("a:solidFill");
}

void ShapeTreeStart(XmlWriter& x)
{
    x.Start("p:nvGrpSpPr").Start("p:cNvPr").Attr("id", 1).Attr("name", "").End("p:cNvPr").Empty("p:cNvGrpSpPr").Empty("p:nvPr").End("p:nvGrpSpPr");
    x.Start("p:grpSpPr").Start("a:xfrm");
    x.Start("a:off").Attr("x", 0).Attr("y", 0).End("a:off").Start("a:ext").Attr("cx", 0).Attr("cy", 0).End("a:ext");
    x.Start("a:chOff").Attr("x", 0).Attr("y", 0).End("a:chOff").Start("a:chExt").Attr("cx", 0).Attr("cy", 0).End("a:chExt");
    x.End("a:xfrm").End("p:grpSpPr");
}

void TextStyleLevels(XmlWriter& x)
{
    for (int lvl = 1; lvl <= 9; ++lvl) {
        const std::string tag = "a:lvl" + std::to_string(lvl) + "pPr";
        x.Start(tag).Attr("marL", 457200LL * (lvl - 1)).Attr("algn", "l").Attr("defTabSz", 914400).Attr("rtl", "0").Attr("eaLnBrk", "1").Attr("latinLnBrk", "0").Attr("hangingPunct", "1");
        x.Start("a:defRPr").Attr("sz", 1800).Attr("kern", 1200);
        x.Start("a:solidFill").Start("a:schemeClr").Attr("val", "tx1").End("a:schemeClr").End("a:solidFill");
        x.Start("a:latin").Attr("typeface", "+mn-lt").End("a:latin").Start("a:ea").Attr("typeface", "+mn-ea").End("a:ea").Start("a:cs").Attr("typeface", "+mn-cs").End("a:cs");
        x.End("a:defRPr").End(tag);
    }
}

}  // namespace engine::detail
