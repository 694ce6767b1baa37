#include "export/Require.h"
#include "export/TextExport.h"

#include "book/Book.h"
#include "export/HtmlValueConversion.h"
#include "text/FormattedText.h"

#include <optional>

namespace exporting {

using namespace engine;

namespace {

std::optional<std::string> Attribute(const htmlparser::IAttributes& attributes, const std::string& name)
{
    if (!attributes.Contains(name))
        return std::nullopt;
    return attributes.Get(name)->GetValue();
}

}  // namespace

void ExportParagraph(const htmlparser::IParagraph& paragraph, ITextRange& range)
{
    const auto& fontTags = paragraph.GetFontTags();
    for (std::size_t f = 0; f < fontTags.GetCount(); ++f) {
        const htmlparser::IFontTag& tag = *fontTags.GetItem(f);
        // Parsed once per font tag, not per run.
        const auto face = Attribute(tag.GetAttributes(), "face");
        std::optional<float> size;
        if (auto value = Attribute(tag.GetAttributes(), "size"))
            size = ParseFontSize(*value);
        std::optional<ColorRef> color;
        if (auto value = Attribute(tag.GetAttributes(), "color"))
            color = ParseFontColor(*value);

        const auto& ranges = tag.GetTextRanges();
        for (std::size_t r = 0; r < ranges.GetCount(); ++r) {
            const htmlparser::ITextRange& run = *ranges.GetItem(r);
            const auto appended = Require(range.InsertAfter(DecodeXmlEntities(run.GetText())));
            const auto font = Require(appended->Font());
            const auto& style = run.GetFontStyle();
            font->SetBold(style.IsBold() ? msoTrue : msoFalse);
            font->SetItalic(style.IsItalic() ? msoTrue : msoFalse);
            font->SetUnderlineStyle(style.IsUnderline() ? msoUnderlineSingleLine : msoNoUnderline);
            font->SetKerning(0.0f);
            font->SetSpacing(0.0f);
            if (face)
                font->SetName(*face);
            if (size)
                font->SetSize(*size);
            if (color) {
                const auto fill = Require(font->Fill());
                fill->Solid();
                Require(fill->ForeColor())->SetRGB(*color);
            }
        }
    }
    const auto mark = Require(range.InsertAfter("\r\n"));
    if (auto align = Attribute(paragraph.GetAttributes(), "align"))
        Require(mark->ParagraphFormat())->SetAlignment(AlignmentCode(*align));
}

void ExportFormattedText(float left, float top, float width, float height, const htmlparser::IFormattedText& text,
                         IShapes& shapes)
{
    const auto shape = Require(shapes.AddTextbox(msoTextOrientationHorizontal, left, top, width, height));
    Require(shape->Fill())->SetVisible(msoFalse);
    Require(shape->Line())->SetVisible(msoFalse);
    const auto frame = Require(shape->TextFrame());
    frame->SetMarginLeft(4.0f);
    frame->SetMarginRight(3.0f);
    frame->SetMarginTop(3.0f);
    frame->SetMarginBottom(3.0f);
    const auto range = Require(frame->TextRange());

    const auto& formats = text.GetTextFormats();
    for (std::size_t i = 0; i < formats.GetCount(); ++i) {
        const auto& lists = formats.GetItem(i)->GetLists();
        for (std::size_t j = 0; j < lists.GetCount(); ++j) {
            const auto& paragraphs = lists.GetItem(j)->GetParagraphs();
            for (std::size_t k = 0; k < paragraphs.GetCount(); ++k)
                ExportParagraph(*paragraphs.GetItem(k), *range);
        }
    }
    // The break written after the last paragraph is not part of the text.
    const int length = range->Length();
    Require(range->Characters(length, -1))->Delete();
    Require(range->ParagraphFormat())->SetSpaceWithin(1.02f);
    frame->SetAutoSize(ppAutoSizeNone);
}

void ExportTextObject(const bookparser::TextObject& object, IShapes& shapes)
{
    const auto& rect = object.GetRect();
    ExportFormattedText(static_cast<float>(rect.left), static_cast<float>(rect.top), static_cast<float>(rect.width),
                        static_cast<float>(rect.height), object.GetFormattedText(), shapes);
}

}  // namespace exporting
