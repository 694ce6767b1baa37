#include "text/HtmlWriter.h"

namespace htmlparser {

namespace {

void WriteAttributes(const IAttributes& attributes, std::string& out)
{
    for (std::size_t i = 0; i < attributes.GetCount(); ++i) {
        const IAttribute* a = attributes.GetItem(i);
        out += ' ';
        out += a->GetName();
        out += "=\"";
        out += a->GetValue();
        out += '"';
    }
}

void WriteRange(const ITextRange& range, std::string& out)
{
    const IFontStyle& style = range.GetFontStyle();
    std::string prefix;
    std::string suffix;
    if (style.IsUnderline()) {
        prefix.insert(0, "<u>");
        suffix += "</u>";
    }
    if (style.IsBold()) {
        prefix.insert(0, "<b>");
        suffix += "</b>";
    }
    if (style.IsItalic()) {
        prefix.insert(0, "<i>");
        suffix += "</i>";
    }
    std::string link = style.GetUrl();
    if (!style.GetEventLink().empty())
        link = style.GetEventLink();
    if (!style.GetMailLink().empty())
        link = style.GetMailLink();
    if (!link.empty()) {
        prefix.insert(0, "<a href=\"" + link + "\" target=\"" + style.GetTarget() + "\">");
        suffix += "</a>";
    }
    out += prefix;
    for (char c : range.GetText()) {
        if (c == '\v')
            out += "<br>";
        else
            out += c;
    }
    out += suffix;
}

void WriteParagraph(const IParagraph& paragraph, std::string& out)
{
    const bool tag = paragraph.IsParagraphTag();
    if (tag) {
        out += "<p";
        WriteAttributes(paragraph.GetAttributes(), out);
        out += '>';
    }
    const IFontTags& fonts = paragraph.GetFontTags();
    for (std::size_t i = 0; i < fonts.GetCount(); ++i) {
        const IFontTag* font = fonts.GetItem(i);
        out += "<font";
        WriteAttributes(font->GetAttributes(), out);
        out += '>';
        const ITextRanges& ranges = font->GetTextRanges();
        for (std::size_t r = 0; r < ranges.GetCount(); ++r)
            WriteRange(*ranges.GetItem(r), out);
        out += "</font>";
    }
    if (tag)
        out += "</p>";
}

void WriteList(const IList& list, std::string& out)
{
    const bool item = list.IsListItem();
    if (item) {
        out += "<li";
        WriteAttributes(list.GetAttributes(), out);
        out += '>';
    }
    const IParagraphs& paragraphs = list.GetParagraphs();
    for (std::size_t i = 0; i < paragraphs.GetCount(); ++i)
        WriteParagraph(*paragraphs.GetItem(i), out);
    if (item)
        out += "</li>";
}

}  // namespace

std::string CHtmlWriter::ToHtml(const IFormattedText& text) const
{
    std::string out;
    const ITextFormats& formats = text.GetTextFormats();
    for (std::size_t f = 0; f < formats.GetCount(); ++f) {
        const ITextFormat* format = formats.GetItem(f);
        out += "<textformat";
        WriteAttributes(format->GetAttributes(), out);
        out += '>';
        const ILists& lists = format->GetLists();
        for (std::size_t l = 0; l < lists.GetCount(); ++l)
            WriteList(*lists.GetItem(l), out);
        out += "</textformat>";
    }
    return out;
}

}  // namespace htmlparser
