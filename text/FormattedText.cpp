#include "text/FormattedTextImpl.h"

#include "text/HtmlParser.h"
#include "text/HtmlWriter.h"
#include "text/Unicode.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace htmlparser {

namespace {

// The process locale is "C" unless someone changes it, and "C" folds ASCII
// only; names must fold the same way whatever the process does.
class FoldingLocale {
public:
    FoldingLocale() : m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {}
    ~FoldingLocale()
    {
        if (m_locale != locale_t(nullptr))
            freelocale(m_locale);
    }
    FoldingLocale(const FoldingLocale&) = delete;
    FoldingLocale& operator=(const FoldingLocale&) = delete;

    char32_t Lower(char32_t c) const
    {
        if (c < 0x80)
            return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
        if (m_locale == locale_t(nullptr))
            return c;
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), m_locale));
    }

private:
    locale_t m_locale;
};

const FoldingLocale& Folding()
{
    static const FoldingLocale folding;
    return folding;
}

void RequireName(const std::string& name)
{
    if (name.empty())
        throw std::invalid_argument("attribute name must be a non-empty string");
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::string FoldName(const std::string& name)
{
    const FoldingLocale& folding = Folding();
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        if (static_cast<unsigned char>(name[i]) < 0x80) {  // the usual case, without decoding
            out += static_cast<char>(folding.Lower(static_cast<unsigned char>(name[i++])));
            continue;
        }
        const auto cp = unicode::DecodeUtf8(name, i);
        if (!cp) {
            out += name[i++];  // a byte of invalid UTF-8 stays as it is
            continue;
        }
        char32_t lower = folding.Lower(cp->value);
        if (lower > 0x10FFFF || (lower >= 0xD800 && lower <= 0xDFFF))
            lower = cp->value;
        unicode::AppendUtf8(out, lower);
        i += cp->length;
    }
    return out;
}

CAttribute::CAttribute(const std::string& name, const std::string& value)
    : m_name(name), m_value(value)
{
    RequireName(name);
}

void CAttribute::SetName(const std::string& name)
{
    RequireName(name);
    if (!m_addedName)
        m_addedName = std::make_unique<const std::string>(m_name);
    m_name = name;
}

void CAttributes::Clear()
{
    m_index.reset();
    m_items.clear();
}

CAttribute* CAttributes::Find(const std::string& folded) const
{
    if (m_items.size() <= kSearchedInOrder) {
        for (const auto& attribute : m_items)
            if (attribute->Key() == folded)
                return attribute.get();
        return nullptr;
    }
    // Keys are unique and attributes are only ever appended.
    if (!m_index)
        m_index = std::make_unique<std::map<std::string, CAttribute*>>();
    for (std::size_t i = m_index->size(); i < m_items.size(); ++i)
        m_index->emplace(m_items[i]->Key(), m_items[i].get());
    const auto found = m_index->find(folded);
    return found != m_index->end() ? found->second : nullptr;
}

IAttribute* CAttributes::Add(const std::string& name, const std::string& value)
{
    RequireName(name);
    const std::string folded = FoldName(name);
    if (CAttribute* found = Find(folded)) {
        found->SetValue(value);
        return found;
    }
    return Append(folded, value);
}

bool CAttributes::Contains(const std::string& name) const
{
    return !m_items.empty() && Find(FoldName(name)) != nullptr;
}

const IAttribute* CAttributes::Get(const std::string& name) const
{
    const CAttribute* found = Find(FoldName(name));
    if (found == nullptr)
        throw std::invalid_argument("attribute with the specified name not found");
    return found;
}

IAttribute* CAttributes::Get(const std::string& name)
{
    return const_cast<IAttribute*>(static_cast<const CAttributes&>(*this).Get(name));
}

CFontStyle::Link& CFontStyle::EditLink()
{
    auto copy = m_link ? std::make_shared<Link>(*m_link) : std::make_shared<Link>();
    Link& link = *copy;
    m_link = std::move(copy);
    return link;
}

void CFontStyle::SetLink(const std::string& link)
{
    if (link.empty() && !m_link)
        return;  // copies of link-less styles stay without one
    Link& l = EditLink();
    l.url.clear();
    l.mailLink.clear();
    l.eventLink.clear();
    if (StartsWith(link, "event:"))
        l.eventLink = link;
    else if (StartsWith(link, "mailto:"))
        l.mailLink = link;
    else
        l.url = link;
}

void CFontStyle::SetTarget(const std::string& target)
{
    if (target.empty() && !m_link)
        return;
    EditLink().target = target;
}

ITextRange* CTextRanges::Add(const std::string& text)
{
    CTextRange* range = Append();
    range->SetText(text);
    return range;
}

IFontTag* CFontTags::AddCopy(const IFontTag& source)
{
    // Copy the attributes before appending: source may belong to this
    // collection, and the copy must not depend on the vector staying put.
    const IAttributes& from = source.GetAttributes();
    std::vector<std::pair<std::string, std::string>> attributes;
    attributes.reserve(from.GetCount());
    for (std::size_t i = 0; i < from.GetCount(); ++i) {
        const IAttribute* a = from.GetItem(i);
        attributes.emplace_back(a->GetName(), a->GetValue());
    }
    IFontTag* tag = Add();
    for (const auto& [name, value] : attributes)
        tag->GetAttributes().Add(name, value);
    return tag;
}

std::unique_ptr<IFormattedText> CFormattedText::Clone() const
{
    const std::string html = CHtmlWriter().ToHtml(*this);
    auto copy = CreateFormattedText();
    try {
        CHtmlParser().Parse(html, *copy);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Error cloning formatted text");
    }
    return copy;
}

std::string CFormattedText::GetPlainText() const
{
    std::string result;
    const std::size_t formatCount = m_formats.GetCount();
    for (std::size_t f = 0; f < formatCount; ++f) {
        const ILists& lists = m_formats.GetItem(f)->GetLists();
        for (std::size_t l = 0; l < lists.GetCount(); ++l) {
            const IParagraphs& paragraphs = lists.GetItem(l)->GetParagraphs();
            for (std::size_t p = 0; p < paragraphs.GetCount(); ++p) {
                std::string text;
                const IFontTags& tags = paragraphs.GetItem(p)->GetFontTags();
                for (std::size_t t = 0; t < tags.GetCount(); ++t) {
                    const ITextRanges& ranges = tags.GetItem(t)->GetTextRanges();
                    for (std::size_t r = 0; r < ranges.GetCount(); ++r)
                        text += ranges.GetItem(r)->GetText();
                }
                for (char& c : text)
                    if (c == '\v')
                        c = '\n';
                if (!text.empty() && p + 1 < paragraphs.GetCount())
                    text += '\n';
                result += text;
            }
        }
        if (f + 1 < formatCount)
            result += '\n';
    }
    return result;
}

std::unique_ptr<IFormattedText> CreateFormattedText()
{
    return std::make_unique<CFormattedText>();
}

}  // namespace htmlparser
