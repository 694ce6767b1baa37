#include "export/engine/parts/XmlWriter.h"

#include "text/Unicode.h"

#include <cassert>
#include <charconv>

namespace engine::detail {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool attribute)
{
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            default:
                if (c >= 0x20)
                    out += char(c);  // other C0 controls are dropped
            }
            ++i;
            continue;
        }
        const auto cp = unicode::DecodeUtf8(text, i);
        if (cp && cp->value != 0xFFFE && cp->value != 0xFFFF)
            out.append(text.substr(i, cp->length));
        else
            out += kReplacement;
        i += cp ? cp->length : 1;
    }
}

XmlWriter::XmlWriter(std::string& out) : m_out(out)
{
    m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
}

void XmlWriter::CloseStartTag()
{
    if (m_startOpen) {
        m_out += '>';
        m_startOpen = false;
    }
}

XmlWriter& XmlWriter::Start(std::string_view name)
{
    CloseStartTag();
    m_out += '<';
    m_out += name;
    m_startOpen = true;
#ifndef NDEBUG
    m_open.emplace_back(name);
#endif
    return *this;
}

XmlWriter& XmlWriter::Attr(std::string_view name, std::string_view value)
{
    assert(m_startOpen && "attribute outside a start tag");
    m_out += ' ';
    m_out += name;
    m_out += "=\"";
    AppendEscaped(m_out, value, true);
    m_out += '"';
    return *this;
}

XmlWriter& XmlWriter::Number(std::string_view name, long long value)
{
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return Attr(name, std::string_view(buf, std::size_t(end - buf)));
}

XmlWriter& XmlWriter::Text(std::string_view text)
{
    CloseStartTag();
    AppendEscaped(m_out, text, false);
    return *this;
}

XmlWriter& XmlWriter::End(std::string_view name)
{
#ifndef NDEBUG
    assert(!m_open.empty() && m_open.back() == name && "end tag does not match its start tag");
    m_open.pop_back();
#endif
    if (m_startOpen) {
        m_out += "/>";
        m_startOpen = false;
    } else {
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    return *this;
}

void XmlWriter::Finish() const
{
#ifndef NDEBUG
    assert(m_open.empty() && "an element was left open");
#endif
}

}  // namespace engine::detail
