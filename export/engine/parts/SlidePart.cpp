// The slide part: background, pictures and text boxes.
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

#include <set>
#include <stdexcept>

namespace engine::detail {

SlideMedia MediaUsedBy(const Slide& slide)
{
    SlideMedia used;
    const Fill& background = slide.background;
    if (!slide.followMaster && background.visible != false && background.kind == Fill::Kind::Picture)
        used.background = background.media;
    std::set<MediaId> seen;
    for (const auto& shape : slide.shapes)
        if (const Picture* pic = shape->AsPicture(); pic && seen.insert(pic->media).second)
            used.pictures.push_back(pic->media);
    return used;
}

std::vector<MediaId> SlideMedia::InOrder() const
{
    std::vector<MediaId> all;
    if (background != kNoMedia)
        all.push_back(background);
    all.insert(all.end(), pictures.begin(), pictures.end());
    return all;
}

namespace {

void ShapeProperties(XmlWriter& x, const Shape& s)
{
    x.Start("p:spPr").Start("a:xfrm");
    x.Start("a:off").Attr("x", Emu(s.frame.left)).Attr("y", Emu(s.frame.top)).End("a:off");
    x.Start("a:ext").Attr("cx", Emu(s.frame.width)).Attr("cy", Emu(s.frame.height)).End("a:ext");
    x.End("a:xfrm");
    x.Start("a:prstGeom").Attr("prst", "rect").Empty("a:avLst").End("a:prstGeom");
    if (s.fill.visible == false)
        x.Empty("a:noFill");
    else if (s.fill.kind == Fill::Kind::Solid)
        SolidFill(x, s.fill.color);
    if (s.lineVisible) {
        x.Start("a:ln");
        if (*s.lineVisible)
            SolidFill(x, 0);
        else
            x.Empty("a:noFill");
        x.End("a:ln");
    }
    x.End("p:spPr");
}

// relId: the relationship to the background picture, when it shows one.
void Background(XmlWriter& x, const Fill& f, const std::string& relId)
{
    x.Start("p:bg").Start("p:bgPr");
    if (f.visible == false) {
        x.Empty("a:noFill");
    } else if (f.kind == Fill::Kind::Picture) {
        x.Start("a:blipFill").Attr("dpi", 0).Attr("rotWithShape", "1");
        x.Start("a:blip").Attr("r:embed", relId).End("a:blip");
        x.Empty("a:srcRect");
        x.Start("a:stretch").Empty("a:fillRect").End("a:stretch");
        x.End("a:blipFill");
    } else {
        SolidFill(x, f.kind == Fill::Kind::Solid ? f.color : 0xFFFFFF);
    }
    x.Empty("a:effectLst");
    x.End("p:bgPr").End("p:bg");
}

void WritePicture(XmlWriter& x, const Shape& s, const Picture& pic, const std::string& relId)
{
    x.Start("p:pic");
    x.Start("p:nvPicPr").Start("p:cNvPr").Attr("id", s.id).Attr("name", "Picture " + std::to_string(s.id - 1)).End("p:cNvPr");
    x.Start("p:cNvPicPr").Start("a:picLocks").Attr("noChangeAspect", "1").End("a:picLocks").End("p:cNvPicPr");
    x.Empty("p:nvPr").End("p:nvPicPr");
    x.Start("p:blipFill").Start("a:blip").Attr("r:embed", relId).End("a:blip");
    if (pic.crop.Any()) {
        auto pct = [](double c, double n) { return std::llround(c / n * 100000.0); };
        x.Start("a:srcRect").Attr("l", pct(pic.crop.left, pic.nativeWidth)).Attr("t", pct(pic.crop.top, pic.nativeHeight)).Attr("r", pct(pic.crop.right, pic.nativeWidth)).Attr("b", pct(pic.crop.bottom, pic.nativeHeight)).End("a:srcRect");
    }
    x.Start("a:stretch").Empty("a:fillRect").End("a:stretch").End("p:blipFill");
    ShapeProperties(x, s);
    x.End("p:pic");
}

void WriteTextBox(XmlWriter& x, const Shape& s, const TextBox& box)
{
    x.Start("p:sp");
    x.Start("p:nvSpPr").Start("p:cNvPr").Attr("id", s.id).Attr("name", "TextBox " + std::to_string(s.id - 1)).End("p:cNvPr");
    x.Start("p:cNvSpPr").Attr("txBox", "1").End("p:cNvSpPr").Empty("p:nvPr").End("p:nvSpPr");
    ShapeProperties(x, s);
    WriteTextBody(x, box);
    x.End("p:sp");
}

}  // namespace

std::string WriteSlide(const Slide& slide, const std::vector<std::string>& mediaRelIds)
{
    const SlideMedia used = MediaUsedBy(slide);
    auto nextId = mediaRelIds.begin();
    auto takeId = [&]() -> const std::string& {
        if (nextId == mediaRelIds.end())
            throw std::logic_error("a picture of the slide has no relationship");
        return *nextId++;
    };
    const std::string backgroundId = used.background != kNoMedia ? takeId() : std::string();
    std::map<MediaId, std::string> relOf;
    for (MediaId id : used.pictures)
        relOf.emplace(id, takeId());

    std::string out;
    XmlWriter x(out);
    StartRoot(x, "p:sld");
    x.Start("p:cSld");
    if (!slide.followMaster)
        Background(x, slide.background, backgroundId);
    x.Start("p:spTree");
    ShapeTreeStart(x);
    for (const auto& shape : slide.shapes) {
        if (const Picture* pic = shape->AsPicture()) {
            WritePicture(x, *shape, *pic, relOf.at(pic->media));
        } else {
            WriteTextBox(x, *shape, *shape->AsTextBox());
        }
    }
    x.End("p:spTree").End("p:cSld");
    x.Start("p:clrMapOvr").Empty("a:masterClrMapping").End("p:clrMapOvr");
    x.End("p:sld").Finish();
    return out;
}

}  // namespace engine::detail
