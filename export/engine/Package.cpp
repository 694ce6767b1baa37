#include "export/engine/Model.h"

#include <FreeImage.h>
#include <minizip/zip.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace engine::detail {
namespace {

constexpr const char* kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
constexpr const char* kNsR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kNsP = "http://schemas.openxmlformats.org/presentationml/2006/main";
constexpr const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

long long Emu(double points) { return std::llround(points * 12700.0); }

// The one XML writer of every part: escapes text and attributes and drops
// the characters XML 1.0 forbids.
class Xml {
public:
    Xml() { m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"; }
    Xml& Open(const char* name) { Close(); m_out += '<'; m_out += name; m_open = true; m_stack.push_back(name); return *this; }
    Xml& Attr(const char* name, const std::string& value) {
        m_out += ' '; m_out += name; m_out += "=\""; Escape(value, true); m_out += '"'; return *this;
    }
    Xml& Attr(const char* name, long long value) { return Attr(name, std::to_string(value)); }
    Xml& Text(const std::string& text) { Close(); Escape(text, false); return *this; }
    Xml& End() {
        if (m_open) { m_out += "/>"; m_open = false; }
        else { m_out += "</"; m_out += m_stack.back(); m_out += '>'; }
        m_stack.pop_back();
        return *this;
    }
    Xml& Leaf(const char* name) { return Open(name).End(); }
    std::string Done() { while (!m_stack.empty()) End(); return std::move(m_out); }
private:
    void Close() { if (m_open) { m_out += '>'; m_open = false; } }
    void Escape(const std::string& s, bool attr) {
        for (unsigned char c : s) {
            switch (c) {
            case '&': m_out += "&amp;"; break;
            case '<': m_out += "&lt;"; break;
            case '>': m_out += "&gt;"; break;
            case '"': m_out += attr ? "&quot;" : "\""; break;
            case '\t': m_out += attr ? "&#9;" : "\t"; break;
            case '\n': m_out += attr ? "&#10;" : "\n"; break;
            default:
                if (c >= 0x20) m_out += char(c);
            }
        }
    }
    std::string m_out;
    std::vector<std::string> m_stack;
    bool m_open = false;
};

std::string Hex(ColorRef c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    return buf;
}

struct Part {
    std::string name, contentType, data;
    bool compress = true;
};

struct Rels {
    Xml x;
    int next = 1;
    Rels() { x.Open("Relationships").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/relationships"); }
    std::string Add(const std::string& type, const std::string& target) {
        std::string id = "rId" + std::to_string(next++);
        x.Open("Relationship").Attr("Id", id).Attr("Type", type.find(':') == std::string::npos ? kRel + type : type).Attr("Target", target).End();
        return id;
    }
};

// Media parts numbered by first use, so a picture never used writes nothing.
struct MediaNames {
    const Presentation& p;
    std::map<int, std::string> names;
    std::string Name(int media) {
        auto it = names.find(media);
        if (it != names.end()) return it->second;
        const std::string n = "image" + std::to_string(names.size() + 1) + "." + p.media[media].extension;
        names.emplace(media, n);
        return n;
    }
};

void SolidFill(Xml& x, ColorRef c) { x.Open("a:solidFill").Open("a:srgbClr").Attr("val", Hex(c)).End().End(); }

void Xfrm(Xml& x, const Shape& s) {
    x.Open("a:xfrm");
    x.Open("a:off").Attr("x", Emu(s.left)).Attr("y", Emu(s.top)).End();
    x.Open("a:ext").Attr("cx", Emu(s.width)).Attr("cy", Emu(s.height)).End();
    x.End();
    x.Open("a:prstGeom").Attr("prst", "rect").Leaf("a:avLst").End();
    if (s.fill.visibleSet && !s.fill.visible) x.Leaf("a:noFill");
    else if (s.fill.kind == Fill::Kind::Solid) SolidFill(x, s.fill.color);
    if (s.lineVisible) {
        x.Open("a:ln");
        if (*s.lineVisible) SolidFill(x, 0); else x.Leaf("a:noFill");
        x.End();
    }
}

std::string Utf8Of(const std::u16string& t, std::size_t a, std::size_t b) {
    std::string out;
    for (std::size_t i = a; i < b; ++i) {
        char32_t c = t[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < b && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (t[++i] - 0xDC00);
        else if ((c >= 0xD800 && c < 0xE000) || c == 0xFFFE || c == 0xFFFF)
            c = 0xFFFD;
        if (c < 0x20 && c != '\t') continue; // XML 1.0 forbids them
        if (c < 0x80) out += char(c);
        else if (c < 0x800) { out += char(0xC0 | (c >> 6)); out += char(0x80 | (c & 0x3F)); }
        else if (c < 0x10000) { out += char(0xE0 | (c >> 12)); out += char(0x80 | ((c >> 6) & 0x3F)); out += char(0x80 | (c & 0x3F)); }
        else { out += char(0xF0 | (c >> 18)); out += char(0x80 | ((c >> 12) & 0x3F)); out += char(0x80 | ((c >> 6) & 0x3F)); out += char(0x80 | (c & 0x3F)); }
    }
    return out;
}

const char* kUnderline[] = {"none", "words", "sng", "dbl", "heavy", "dotted", "dottedHeavy", "dash", "dashHeavy",
                            "dashLong", "dashLongHeavy", "dotDash", "dotDashHeavy", "dotDotDash", "dotDotDashHeavy",
                            "wavy", "wavyHeavy", "wavyDbl"};

void RunProps(Xml& x, const char* tag, const CharProps& p) {
    x.Open(tag).Attr("lang", "en-US");
    if (p.size) x.Attr("sz", std::lround(*p.size * 100.0));
    if (p.bold) x.Attr("b", *p.bold ? "1" : "0");
    if (p.italic) x.Attr("i", *p.italic ? "1" : "0");
    if (p.underline) x.Attr("u", kUnderline[*p.underline]);
    if (p.kerning) x.Attr("kern", std::lround(*p.kerning * 100.0));
    if (p.spacing) x.Attr("spc", std::lround(*p.spacing * 100.0));
    x.Attr("dirty", "0");
    if (p.color) SolidFill(x, *p.color);
    if (p.name) x.Open("a:latin").Attr("typeface", *p.name).End();
    x.End();
}

void TextBody(Xml& x, const Shape& s) {
    x.Open("p:txBody");
    x.Open("a:bodyPr").Attr("wrap", "square").Attr("lIns", Emu(s.margin[0])).Attr("tIns", Emu(s.margin[2]))
        .Attr("rIns", Emu(s.margin[1])).Attr("bIns", Emu(s.margin[3])).Attr("rtlCol", "0");
    x.Leaf(s.autoSize == ppAutoSizeNone ? "a:noAutofit" : "a:spAutoFit");
    x.End();
    x.Leaf("a:lstStyle");
    const Text& t = s.text;
    std::size_t pos = 0;
    static const char* kAlign[] = {"l", "l", "ctr", "r", "just"};
    for (std::size_t para = 0; para < t.paras.size(); ++para) {
        std::size_t end = t.chars.find(u'\r', pos);
        if (end == std::u16string::npos) end = t.chars.size();
        x.Open("a:p");
        const ParaProps& pp = t.paras[para];
        if (pp.alignment || pp.spaceWithin) {
            x.Open("a:pPr");
            if (pp.alignment) x.Attr("algn", kAlign[*pp.alignment]);
            if (pp.spaceWithin) x.Open("a:lnSpc").Open("a:spcPct").Attr("val", std::lround(*pp.spaceWithin * 100000.0)).End().End();
            x.End();
        }
        std::size_t i = pos;
        while (i < end) {
            if (t.chars[i] == 0x0B) {
                x.Open("a:br");
                RunProps(x, "a:rPr", t.props[i]);
                x.End();
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < end && t.chars[j] != 0x0B && t.props[j] == t.props[i]) ++j;
            x.Open("a:r");
            RunProps(x, "a:rPr", t.props[i]);
            x.Open("a:t").Text(Utf8Of(t.chars, i, j)).End();
            x.End();
            i = j;
        }
        RunProps(x, "a:endParaRPr", end < t.chars.size() ? t.props[end] : CharProps{});
        x.End();
        pos = end + 1;
    }
    x.End();
}

void NvGroup(Xml& x) {
    x.Open("p:nvGrpSpPr").Open("p:cNvPr").Attr("id", 1).Attr("name", "").End().Leaf("p:cNvGrpSpPr").Leaf("p:nvPr").End();
    x.Open("p:grpSpPr").Open("a:xfrm").Open("a:off").Attr("x", 0).Attr("y", 0).End().Open("a:ext").Attr("cx", 0).Attr("cy", 0).End()
        .Open("a:chOff").Attr("x", 0).Attr("y", 0).End().Open("a:chExt").Attr("cx", 0).Attr("cy", 0).End().End().End();
}

void BackgroundFill(Xml& x, const Fill& f, Rels& rels, MediaNames& media) {
    x.Open("p:bg").Open("p:bgPr");
    if (f.visibleSet && !f.visible) x.Leaf("a:noFill");
    else if (f.kind == Fill::Kind::Picture) {
        const std::string id = rels.Add("image", "../media/" + media.Name(f.media));
        x.Open("a:blipFill").Attr("dpi", 0).Attr("rotWithShape", "1");
        x.Open("a:blip").Attr("r:embed", id).End();
        x.Leaf("a:srcRect");
        x.Open("a:stretch").Leaf("a:fillRect").End();
        x.End();
    } else SolidFill(x, f.kind == Fill::Kind::Solid ? f.color : 0xFFFFFF);
    x.Leaf("a:effectLst");
    x.End().End();
}

std::string SlideXml(const Slide& slide, Rels& rels, MediaNames& media) {
    Xml x;
    x.Open("p:sld").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP);
    x.Open("p:cSld");
    if (!slide.followMaster) BackgroundFill(x, slide.background, rels, media);
    x.Open("p:spTree");
    NvGroup(x);
    std::map<int, std::string> relOf;
    for (const auto& sp : slide.shapes) {
        const Shape& s = *sp;
        if (s.picture) {
            auto it = relOf.find(s.media);
            if (it == relOf.end()) it = relOf.emplace(s.media, rels.Add("image", "../media/" + media.Name(s.media))).first;
            x.Open("p:pic");
            x.Open("p:nvPicPr").Open("p:cNvPr").Attr("id", s.id).Attr("name", "Picture " + std::to_string(s.id - 1)).End();
            x.Open("p:cNvPicPr").Open("a:picLocks").Attr("noChangeAspect", "1").End().End().Leaf("p:nvPr").End();
            x.Open("p:blipFill").Open("a:blip").Attr("r:embed", it->second).End();
            if (s.crop[0] || s.crop[1] || s.crop[2] || s.crop[3]) {
                auto pct = [](double c, double n) { return std::llround(c / n * 100000.0); };
                x.Open("a:srcRect").Attr("l", pct(s.crop[0], s.nativeWidth)).Attr("t", pct(s.crop[2], s.nativeHeight))
                    .Attr("r", pct(s.crop[1], s.nativeWidth)).Attr("b", pct(s.crop[3], s.nativeHeight)).End();
            }
            x.Open("a:stretch").Leaf("a:fillRect").End().End();
            x.Open("p:spPr");
            Xfrm(x, s);
            x.End().End();
        } else {
            x.Open("p:sp");
            x.Open("p:nvSpPr").Open("p:cNvPr").Attr("id", s.id).Attr("name", "TextBox " + std::to_string(s.id - 1)).End();
            x.Open("p:cNvSpPr").Attr("txBox", "1").End().Leaf("p:nvPr").End();
            x.Open("p:spPr");
            Xfrm(x, s);
            x.End();
            TextBody(x, s);
            x.End();
        }
    }
    x.End().End();
    x.Open("p:clrMapOvr").Leaf("a:masterClrMapping").End();
    return x.Done();
}

void TextStyleLevels(Xml& x) {
    for (int lvl = 1; lvl <= 9; ++lvl) {
        const std::string tag = "a:lvl" + std::to_string(lvl) + "pPr";
        x.Open(tag.c_str()).Attr("marL", 457200LL * (lvl - 1)).Attr("algn", "l").Attr("defTabSz", 914400).Attr("rtl", "0")
            .Attr("eaLnBrk", "1").Attr("latinLnBrk", "0").Attr("hangingPunct", "1");
        x.Open("a:defRPr").Attr("sz", 1800).Attr("kern", 1200);
        x.Open("a:solidFill").Open("a:schemeClr").Attr("val", "tx1").End().End();
        x.Open("a:latin").Attr("typeface", "+mn-lt").End().Open("a:ea").Attr("typeface", "+mn-ea").End()
            .Open("a:cs").Attr("typeface", "+mn-cs").End();
        x.End().End();
    }
}

std::string ThemeXml() {
    Xml x;
    x.Open("a:theme").Attr("xmlns:a", kNsA).Attr("name", "Office Theme");
    x.Open("a:themeElements");
    x.Open("a:clrScheme").Attr("name", "Office");
    x.Open("a:dk1").Open("a:sysClr").Attr("val", "windowText").Attr("lastClr", "000000").End().End();
    x.Open("a:lt1").Open("a:sysClr").Attr("val", "window").Attr("lastClr", "FFFFFF").End().End();
    const char* names[] = {"a:dk2", "a:lt2", "a:accent1", "a:accent2", "a:accent3", "a:accent4", "a:accent5", "a:accent6", "a:hlink", "a:folHlink"};
    const char* vals[] = {"44546A", "E7E6E6", "4472C4", "ED7D31", "A5A5A5", "FFC000", "5B9BD5", "70AD47", "0563C1", "954F72"};
    for (int i = 0; i < 10; ++i) x.Open(names[i]).Open("a:srgbClr").Attr("val", vals[i]).End().End();
    x.End();
    x.Open("a:fontScheme").Attr("name", "Office");
    for (const char* tag : {"a:majorFont", "a:minorFont"}) {
        x.Open(tag).Open("a:latin").Attr("typeface", "Calibri").End().Open("a:ea").Attr("typeface", "").End()
            .Open("a:cs").Attr("typeface", "").End().End();
    }
    x.End();
    x.Open("a:fmtScheme").Attr("name", "Office");
    x.Open("a:fillStyleLst");
    for (int i = 0; i < 3; ++i) x.Open("a:solidFill").Open("a:schemeClr").Attr("val", "phClr").End().End();
    x.End();
    x.Open("a:lnStyleLst");
    for (int w : {6350, 12700, 19050})
        x.Open("a:ln").Attr("w", w).Open("a:solidFill").Open("a:schemeClr").Attr("val", "phClr").End().End().End();
    x.End();
    x.Open("a:effectStyleLst");
    for (int i = 0; i < 3; ++i) x.Open("a:effectStyle").Leaf("a:effectLst").End();
    x.End();
    x.Open("a:bgFillStyleLst");
    for (int i = 0; i < 3; ++i) x.Open("a:solidFill").Open("a:schemeClr").Attr("val", "phClr").End().End();
    x.End();
    x.End().End();
    return x.Done();
}

std::string MasterXml() {
    Xml x;
    x.Open("p:sldMaster").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP);
    x.Open("p:cSld").Open("p:bg").Open("p:bgPr");
    SolidFill(x, 0xFFFFFF);
    x.Leaf("a:effectLst").End().End();
    x.Open("p:spTree");
    NvGroup(x);
    x.End().End();
    x.Open("p:clrMap").Attr("bg1", "lt1").Attr("tx1", "dk1").Attr("bg2", "lt2").Attr("tx2", "dk2").Attr("accent1", "accent1")
        .Attr("accent2", "accent2").Attr("accent3", "accent3").Attr("accent4", "accent4").Attr("accent5", "accent5")
        .Attr("accent6", "accent6").Attr("hlink", "hlink").Attr("folHlink", "folHlink").End();
    x.Open("p:sldLayoutIdLst").Open("p:sldLayoutId").Attr("id", 2147483649LL).Attr("r:id", "rId1").End().End();
    x.Open("p:txStyles");
    for (const char* tag : {"p:titleStyle", "p:bodyStyle", "p:otherStyle"}) {
        x.Open(tag);
        TextStyleLevels(x);
        x.End();
    }
    x.End();
    return x.Done();
}

std::string LayoutXml() {
    Xml x;
    x.Open("p:sldLayout").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP).Attr("type", "blank").Attr("preserve", "1");
    x.Open("p:cSld").Attr("name", "Blank").Open("p:spTree");
    NvGroup(x);
    x.End().End();
    x.Open("p:clrMapOvr").Leaf("a:masterClrMapping").End();
    return x.Done();
}

std::string Iso8601() {
    std::time_t t = std::time(nullptr);
    if (const char* e = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(e, &end, 10);
        if (*e && end && !*end && errno == 0 && v >= 0 && v < 253402300800LL) t = std::time_t(v);
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::vector<Part> BuildParts(const Presentation& p) {
    std::vector<Part> parts;
    MediaNames media{p, {}};
    const char* ctp = "application/vnd.openxmlformats-officedocument.presentationml.";

    Rels pres;
    pres.Add("slideMaster", "slideMasters/slideMaster1.xml");
    Xml px;
    px.Open("p:presentation").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP).Attr("saveSubsetFonts", "1");
    px.Open("p:sldMasterIdLst").Open("p:sldMasterId").Attr("id", 2147483648LL).Attr("r:id", "rId1").End().End();
    std::vector<Part> slideParts;
    if (!p.slides.empty()) {
        px.Open("p:sldIdLst");
        for (std::size_t i = 0; i < p.slides.size(); ++i) {
            const std::string name = "slide" + std::to_string(i + 1) + ".xml";
            px.Open("p:sldId").Attr("id", 256 + (long long)i).Attr("r:id", pres.Add("slide", "slides/" + name)).End();
            Rels rels;
            rels.Add("slideLayout", "../slideLayouts/slideLayout1.xml");
            std::string xml = SlideXml(*p.slides[i], rels, media);
            slideParts.push_back({"ppt/slides/" + name, std::string(ctp) + "slide+xml", std::move(xml)});
            slideParts.push_back({"ppt/slides/_rels/" + name + ".rels", "", rels.x.Done()});
        }
        px.End();
    }
    px.Open("p:sldSz").Attr("cx", Emu(p.width)).Attr("cy", Emu(p.height)).End();
    px.Open("p:notesSz").Attr("cx", 6858000).Attr("cy", 9144000).End();
    px.Open("p:defaultTextStyle");
    TextStyleLevels(px);
    px.End();
    pres.Add("presProps", "presProps.xml");
    pres.Add("viewProps", "viewProps.xml");
    pres.Add("theme", "theme/theme1.xml");
    pres.Add("tableStyles", "tableStyles.xml");

    Rels root;
    root.Add("officeDocument", "ppt/presentation.xml");
    root.Add("http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties", "docProps/core.xml");
    root.Add("extended-properties", "docProps/app.xml");

    const std::string date = Iso8601();
    Xml core;
    core.Open("cp:coreProperties").Attr("xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties")
        .Attr("xmlns:dc", "http://purl.org/dc/elements/1.1/").Attr("xmlns:dcterms", "http://purl.org/dc/terms/")
        .Attr("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    core.Open("dc:creator").Text("Tralvex").End();
    core.Open("dcterms:created").Attr("xsi:type", "dcterms:W3CDTF").Text(date).End();
    core.Open("dcterms:modified").Attr("xsi:type", "dcterms:W3CDTF").Text(date).End();
    Xml app;
    app.Open("Properties").Attr("xmlns", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
    app.Open("Application").Text("Tralvex").End();
    app.Open("Slides").Text(std::to_string(p.slides.size())).End();

    Rels master;
    master.Add("slideLayout", "../slideLayouts/slideLayout1.xml");
    master.Add("theme", "../theme/theme1.xml");
    Rels layout;
    layout.Add("slideMaster", "../slideMasters/slideMaster1.xml");
    Xml presProps, viewProps, tables;
    presProps.Open("p:presentationPr").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP);
    viewProps.Open("p:viewPr").Attr("xmlns:a", kNsA).Attr("xmlns:r", kNsR).Attr("xmlns:p", kNsP);
    tables.Open("a:tblStyleLst").Attr("xmlns:a", kNsA).Attr("def", "{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}");

    parts.push_back({"_rels/.rels", "", root.x.Done()});
    parts.push_back({"docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml", core.Done()});
    parts.push_back({"docProps/app.xml", "application/vnd.openxmlformats-officedocument.extended-properties+xml", app.Done()});
    parts.push_back({"ppt/presentation.xml", std::string(ctp) + "presentation.main+xml", px.Done()});
    parts.push_back({"ppt/_rels/presentation.xml.rels", "", pres.x.Done()});
    parts.push_back({"ppt/presProps.xml", std::string(ctp) + "presProps+xml", presProps.Done()});
    parts.push_back({"ppt/viewProps.xml", std::string(ctp) + "viewProps+xml", viewProps.Done()});
    parts.push_back({"ppt/tableStyles.xml", std::string(ctp) + "tableStyles+xml", tables.Done()});
    parts.push_back({"ppt/theme/theme1.xml", "application/vnd.openxmlformats-officedocument.theme+xml", ThemeXml()});
    parts.push_back({"ppt/slideMasters/slideMaster1.xml", std::string(ctp) + "slideMaster+xml", MasterXml()});
    parts.push_back({"ppt/slideMasters/_rels/slideMaster1.xml.rels", "", master.x.Done()});
    parts.push_back({"ppt/slideLayouts/slideLayout1.xml", std::string(ctp) + "slideLayout+xml", LayoutXml()});
    parts.push_back({"ppt/slideLayouts/_rels/slideLayout1.xml.rels", "", layout.x.Done()});
    for (auto& s : slideParts) parts.push_back(std::move(s));

    std::map<std::string, std::string> defaults{{"rels", "application/vnd.openxmlformats-package.relationships+xml"},
                                                {"xml", "application/xml"}};
    for (const auto& [index, name] : media.names) {
        const Media& m = p.media[index];
        defaults[m.extension] = m.contentType;
        parts.push_back({"ppt/media/" + name, "", m.bytes, false});
    }
    Xml ct;
    ct.Open("Types").Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
    for (const auto& [ext, type] : defaults) ct.Open("Default").Attr("Extension", ext).Attr("ContentType", type).End();
    for (const auto& part : parts)
        if (!part.contentType.empty()) ct.Open("Override").Attr("PartName", "/" + part.name).Attr("ContentType", part.contentType).End();
    parts.insert(parts.begin(), Part{"[Content_Types].xml", "", ct.Done()});
    return parts;
}

// minizip writes through these, on the descriptor of the temporary file.
voidpf ZOpen(voidpf opaque, const void*, int) {
    const int fd = *static_cast<int*>(opaque);
    const int copy = dup(fd);
    if (copy < 0) return nullptr;
    FILE* f = fdopen(copy, "wb");
    if (!f) close(copy);
    return f;
}
uLong ZRead(voidpf, voidpf s, void* buf, uLong n) { return uLong(std::fread(buf, 1, n, static_cast<FILE*>(s))); }
uLong ZWrite(voidpf, voidpf s, const void* buf, uLong n) { return uLong(std::fwrite(buf, 1, n, static_cast<FILE*>(s))); }
ZPOS64_T ZTell(voidpf, voidpf s) { return ZPOS64_T(ftello(static_cast<FILE*>(s))); }
long ZSeek(voidpf, voidpf s, ZPOS64_T off, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET;
    return fseeko(static_cast<FILE*>(s), off_t(off), whence) == 0 ? 0 : -1;
}
int ZClose(voidpf, voidpf s) {
    FILE* f = static_cast<FILE*>(s);
    int rc = std::fflush(f) == 0 && fsync(fileno(f)) == 0 ? 0 : -1;
    if (std::fclose(f) != 0) rc = -1;
    return rc;
}
int ZError(voidpf, voidpf s) { return std::ferror(static_cast<FILE*>(s)); }

bool WriteZip(int fd, const std::vector<Part>& parts) {
    int handle = fd;
    zlib_filefunc64_def ff{};
    ff.zopen64_file = ZOpen;
    ff.zread_file = ZRead;
    ff.zwrite_file = ZWrite;
    ff.ztell64_file = ZTell;
    ff.zseek64_file = ZSeek;
    ff.zclose_file = ZClose;
    ff.zerror_file = ZError;
    ff.opaque = &handle;
    zipFile zf = zipOpen2_64("package", APPEND_STATUS_CREATE, nullptr, &ff);
    if (!zf) return false;
    bool ok = true;
    for (const Part& part : parts) {
        zip_fileinfo info{};
        info.tmz_date.tm_year = 1980; // fixed times make identical books give identical files
        info.tmz_date.tm_mday = 1;
        const bool big = part.data.size() >= 0xFFFFFFFFull;
        if (zipOpenNewFileInZip64(zf, part.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  part.compress ? Z_DEFLATED : 0, part.compress ? Z_DEFAULT_COMPRESSION : 0, big ? 1 : 0) != ZIP_OK) {
            ok = false;
            break;
        }
        std::size_t done = 0;
        while (ok && done < part.data.size()) {
            const unsigned chunk = unsigned(std::min<std::size_t>(part.data.size() - done, 1u << 30));
            ok = zipWriteInFileInZip(zf, part.data.data() + done, chunk) == ZIP_OK;
            done += chunk;
        }
        if (zipCloseFileInZip(zf) != ZIP_OK) ok = false;
        if (!ok) break;
    }
    if (zipClose(zf, nullptr) != ZIP_OK) ok = false;
    return ok;
}

// Names of the temporary save files being written, for DiscardUnfinishedSaves
// on another thread. Lock-free: that thread runs while the saving one is
// stopped wherever it happens to be.
std::array<std::atomic<char*>, 64> g_unfinished {};

struct TempFile {
    std::string path;
    int fd = -1;
    std::atomic<char*>* slot = nullptr;
    char* name = nullptr;
    // Announced before mkstemp fills it in, so no moment exists at which the
    // file is on disk but unknown.
    char* Announce(const std::string& pattern) {
        name = strdup(pattern.c_str());
        if (!name) return nullptr;
        for (auto& s : g_unfinished) {
            char* expected = nullptr;
            if (s.compare_exchange_strong(expected, name)) { slot = &s; break; }
        }
        return name;
    }
    ~TempFile() {
        if (fd >= 0) close(fd);
        if (!path.empty()) unlink(path.c_str());
        if (slot) slot->store(nullptr);
        free(name);
    }
};

} // namespace

bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept {
    try {
        std::vector<Part> parts = BuildParts(p);
        std::filesystem::path folder = file.parent_path();
        if (folder.empty()) folder = ".";
        TempFile temp;
        char* name = temp.Announce((folder / ".~tralvex-XXXXXX").string());
        if (!name) return false;
        temp.fd = mkstemp(name);
        if (temp.fd < 0) return false;
        temp.path = name;
        if (!WriteZip(temp.fd, parts)) return false;
        if (replaceExisting) {
            if (std::rename(temp.path.c_str(), file.c_str()) != 0) return false;
            temp.path.clear();
            return true;
        }
        // Never replaces a file that exists, also one that appeared meanwhile.
        if (renameat2(AT_FDCWD, temp.path.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0) {
            temp.path.clear();
            return true;
        }
        if (errno == EEXIST) return false;
        if (link(temp.path.c_str(), file.c_str()) != 0) return false;
        return true; // the temporary name is removed by its guard
    } catch (...) {
        return false;
    }
}

} // namespace engine::detail

namespace engine {

void DiscardUnfinishedSaves() noexcept {
    for (auto& s : detail::g_unfinished)
        if (const char* name = s.load()) unlink(name);
}

} // namespace engine

namespace engine::detail {

int AddMedia(Presentation& p, const std::filesystem::path& file, float* nativeWidth, float* nativeHeight) {
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec))
        throw ComError(E_FILE_NOT_FOUND, "The picture file was not found.", "Shapes");
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > (1ull << 30)) throw ComError(E_FAIL, "The picture file cannot be read.", "Shapes");
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(file.c_str(), 0);
    std::string ext, type;
    switch (fif) {
    case FIF_PNG: ext = "png"; type = "image/png"; break;
    case FIF_JPEG: ext = "jpeg"; type = "image/jpeg"; break;
    case FIF_GIF: ext = "gif"; type = "image/gif"; break;
    case FIF_BMP: ext = "bmp"; type = "image/bmp"; break;
    default: throw ComError(E_FAIL, "The picture format is not supported.", "Shapes");
    }
    FIBITMAP* bmp = FreeImage_Load(fif, file.c_str(), FIF_LOAD_NOPIXELS);
    if (!bmp) throw ComError(E_FAIL, "The picture cannot be decoded.", "Shapes");
    const unsigned w = FreeImage_GetWidth(bmp), h = FreeImage_GetHeight(bmp);
    const unsigned dpmX = FreeImage_GetDotsPerMeterX(bmp), dpmY = FreeImage_GetDotsPerMeterY(bmp);
    FreeImage_Unload(bmp);
    if (!w || !h) throw ComError(E_FAIL, "The picture has no pixels.", "Shapes");
    auto dpi = [](unsigned dpm) { const double d = std::round(dpm * 0.0254); return d >= 1 ? d : 96.0; };
    *nativeWidth = float(w * 72.0 / dpi(dpmX));
    *nativeHeight = float(h * 72.0 / dpi(dpmY));
    std::ifstream in(file, std::ios::binary);
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), std::streamsize(size))) throw ComError(E_FAIL, "The picture file cannot be read.", "Shapes");
    auto it = p.mediaByContent.find(bytes);
    if (it != p.mediaByContent.end()) return it->second;
    const int index = int(p.media.size());
    p.media.push_back({bytes, ext, type});
    p.mediaByContent.emplace(std::move(bytes), index);
    return index;
}

} // namespace engine::detail
