// The p:txBody of a text box: its runs split into paragraphs and lines.
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

#include "text/Unicode.h"

namespace engine::detail {
namespace {

// By Underline.
const char* const kUnderline[] = {"none", "words", "sng", "dbl", "heavy", "dotted", "dottedHeavy", "dash", "dashHeavy",
                                  "dashLong", "dashLongHeavy", "dotDash", "dotDashHeavy", "dotDotDash", "dotDotDashHeavy",
                                  "wavy", "wavyHeavy", "wavyDbl"};

const char* AlignmentName(Alignment a)
{
    switch (a) {
    case Alignment::Center:
        return "ctr";
    case Alignment::Right:
        return "r";
    case Alignment::Justify:
        return "just";
    case Alignment::Left:
        break;
    }
    return "l";
}

void WriteRunProps(XmlWriter& x, const char* tag, const RunProps& p)
{
    x.Start(tag).Attr("lang", "en-US");
    if (p.size)
        x.Attr("sz", std::lround(*p.size * 100.0));
    if (p.bold)
        x.Attr("b", *p.bold ? "1" : "0");
    if (p.italic)
        x.Attr("i", *p.italic ? "1" : "0");
    if (p.underline)
        x.Attr("u", kUnderline[static_cast<int>(*p.underline)]);
    if (p.kerning)
        x.Attr("kern", std::lround(*p.kerning * 100.0));
    if (p.spacing)
        x.Attr("spc", std::lround(*p.spacing * 100.0));
    x.Attr("dirty", "0");
    if (p.color)
        SolidFill(x, *p.color);
    if (p.name)
        x.Start("a:latin").Attr("typeface", *p.name).End("a:latin");
    x.End(tag);
}

void WriteParagraphProps(XmlWriter& x, const ParaProps& pp)
{
    if (!pp.alignment && !pp.spaceWithin)
        return;
    x.Start("a:pPr");
    if (pp.alignment)
        x.Attr("algn", AlignmentName(*pp.alignment));
    if (pp.spaceWithin)
        x.Start("a:lnSpc").Start("a:spcPct").Attr("val", std::lround(*pp.spaceWithin * 100000.0)).End("a:spcPct").End("a:lnSpc");
    x.End("a:pPr");
}

// The characters [from, to) of one paragraph: a run per span of equal
// properties, a:br for each line break.
void WriteRuns(XmlWriter& x, const TextBody& t, std::size_t from, std::size_t to)
{
    const std::u16string& chars = t.Chars();
    std::size_t r = from < to ? t.RunAt(from) : 0;
    for (std::size_t i = from; i < to; ++r) {
        const Run& run = t.Runs()[r];
        const std::size_t runEnd = std::min(run.start + run.length, to);
        while (i < runEnd) {
            if (chars[i] == 0x0B) {
                x.Start("a:br");
                WriteRunProps(x, "a:rPr", run.props);
                x.End("a:br");
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < runEnd && chars[j] != 0x0B)
                ++j;
            x.Start("a:r");
            WriteRunProps(x, "a:rPr", run.props);
            x.Start("a:t").Text(unicode::ToUtf8(std::u16string_view(chars).substr(i, j - i))).End("a:t");
            x.End("a:r");
            i = j;
        }
    }
}

}  // namespace

void WriteTextBody(XmlWriter& x, const TextBox& box)
{
    x.Start("p:txBody");
    x.Start("a:bodyPr").Attr("wrap", "square").Attr("lIns", Emu(box.insets.left)).Attr("tIns", Emu(box.insets.top)).Attr("rIns", Emu(box.insets.right)).Attr("bIns", Emu(box.insets.bottom)).Attr("rtlCol", "0");
    x.Empty(box.autoSize == AutoSize::None ? "a:noAutofit" : "a:spAutoFit");
    x.End("a:bodyPr");
    x.Empty("a:lstStyle");
    const TextBody& t = box.text;
    std::size_t pos = 0;
    for (const ParaProps& pp : t.Paragraphs()) {
        std::size_t end = t.Chars().find(u'\r', pos);
        if (end == std::u16string::npos)
            end = t.Size();
        x.Start("a:p");
        WriteParagraphProps(x, pp);
        WriteRuns(x, t, pos, end);
        // The last paragraph has no mark of its own: it ends like the text.
        static const RunProps kNone;
        const RunProps& endProps = end < t.Size() ? t.PropsAt(end) : t.Size() ? t.PropsAt(t.Size() - 1)
                                                                              : kNone;
        WriteRunProps(x, "a:endParaRPr", endProps);
        x.End("a:p");
        pos = end + 1;
    }
    x.End("p:txBody");
}

}  // namespace engine::detail
