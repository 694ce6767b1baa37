// The theme: the colours, fonts and formats the master refers to.
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

namespace engine::detail {

std::string WriteTheme()
{
    std::string out;
    XmlWriter x(out);
    x.Start("a:theme").Attr("xmlns:a", ns::kA).Attr("name", "Office Theme");
    x.Start("a:themeElements");
    x.Start("a:clrScheme").Attr("name", "Office");
    x.Start("a:dk1").Start("a:sysClr").Attr("val", "windowText").Attr("lastClr", "000000").End("a:sysClr").End("a:dk1");
    x.Start("a:lt1").Start("a:sysClr").Attr("val", "window").Attr("lastClr", "FFFFFF").End("a:sysClr").End("a:lt1");
    const char* names[] = {"a:dk2", "a:lt2", "a:accent1", "a:accent2", "a:accent3", "a:accent4", "a:accent5", "a:accent6", "a:hlink", "a:folHlink"};
    const char* vals[] = {"44546A", "E7E6E6", "4472C4", "ED7D31", "A5A5A5", "FFC000", "5B9BD5", "70AD47", "0563C1", "954F72"};
    for (int i = 0; i < 10; ++i)
        x.Start(names[i]).Start("a:srgbClr").Attr("val", vals[i]).End("a:srgbClr").End(names[i]);
    x.End("a:clrScheme");
    x.Start("a:fontScheme").Attr("name", "Office");
    for (const char* tag : {"a:majorFont", "a:minorFont"}) {
        x.Start(tag).Start("a:latin").Attr("typeface", "Calibri").End("a:latin").Start("a:ea").Attr("typeface", "").End("a:ea").Start("a:cs").Attr("typeface", "").End("a:cs").End(tag);
    }
    x.End("a:fontScheme");
    x.Start("a:fmtScheme").Attr("name", "Office");
    auto phFill = [&x] { x.Start("a:solidFill").Start("a:schemeClr").Attr("val", "phClr").End("a:schemeClr").End("a:solidFill"); };
    x.Start("a:fillStyleLst");
    for (int i = 0; i < 3; ++i)
        phFill();
    x.End("a:fillStyleLst");
    x.Start("a:lnStyleLst");
    for (int w : {6350, 12700, 19050}) {
        x.Start("a:ln").Attr("w", w);
        phFill();
        x.End("a:ln");
    }
    x.End("a:lnStyleLst");
    x.Start("a:effectStyleLst");
    for (int i = 0; i < 3; ++i)
        x.Start("a:effectStyle").Empty("a:effectLst").End("a:effectStyle");
    x.End("a:effectStyleLst");
    x.Start("a:bgFillStyleLst");
    for (int i = 0; i < 3; ++i)
        phFill();
    x.End("a:bgFillStyleLst");
    x.End("a:fmtScheme");
    x.End("a:themeElements").End("a:theme").Finish();
    return out;
}

}  // namespace engine::detail
