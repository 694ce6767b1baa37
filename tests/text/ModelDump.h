#pragma once

// A structural rendering of a model, for comparing two models field by field.

#include "text/FormattedText.h"

#include <string>

namespace texttest {

inline std::string Attrs(const htmlparser::IAttributes& a)
{
    std::string out = "{";
    for (std::size_t i = 0; i < a.GetCount(); ++i)
        out += a.GetItem(i)->GetName() + "=" + a.GetItem(i)->GetValue() + ";";
    return out + "}";
}

// With mergeRuns, neighbouring ranges of one font tag that share a style are
// shown as one: the written form cannot tell them apart.
inline std::string Dump(const htmlparser::IFormattedText& text, bool mergeRuns = false)
{
    std::string out;
    const auto& formats = text.GetTextFormats();
    for (std::size_t f = 0; f < formats.GetCount(); ++f) {
        out += "F" + Attrs(formats.GetItem(f)->GetAttributes()) + "[";
        const auto& lists = formats.GetItem(f)->GetLists();
        for (std::size_t l = 0; l < lists.GetCount(); ++l) {
            const auto* list = lists.GetItem(l);
            out += std::string(list->IsListItem() ? "LI" : "L") + Attrs(list->GetAttributes()) + "[";
            for (std::size_t p = 0; p < list->GetParagraphs().GetCount(); ++p) {
                const auto* par = list->GetParagraphs().GetItem(p);
                out += std::string(par->IsParagraphTag() ? "P" : "p") + Attrs(par->GetAttributes()) + "[";
                for (std::size_t t = 0; t < par->GetFontTags().GetCount(); ++t) {
                    const auto* tag = par->GetFontTags().GetItem(t);
                    out += "T" + Attrs(tag->GetAttributes()) + "[";
                    std::string previousStyle;
                    for (std::size_t r = 0; r < tag->GetTextRanges().GetCount(); ++r) {
                        const auto* range = tag->GetTextRanges().GetItem(r);
                        const auto& s = range->GetFontStyle();
                        std::string style;
                        if (s.IsBold())
                            style += "b";
                        if (s.IsItalic())
                            style += "i";
                        if (s.IsUnderline())
                            style += "u";
                        if (!s.GetUrl().empty())
                            style += "url:" + s.GetUrl();
                        if (!s.GetMailLink().empty())
                            style += "mail:" + s.GetMailLink();
                        if (!s.GetEventLink().empty())
                            style += "event:" + s.GetEventLink();
                        if (!s.GetTarget().empty())
                            style += "target:" + s.GetTarget();
                        const std::string tail = "'" + previousStyle + ",";
                        if (mergeRuns && r > 0 && style == previousStyle) {
                            out.erase(out.size() - tail.size());
                            out += range->GetText() + "'" + style + ",";
                        } else {
                            out += '\'';
                            out += range->GetText();
                            out += "'" + style + ",";
                        }
                        previousStyle = style;
                    }
                    out += "]";
                }
                out += "]";
            }
            out += "]";
        }
        out += "]";
    }
    return out;
}

}  // namespace texttest
