#include "export/engine/XmlWriter.h"

#include <cassert>
#include <charconv>

namespace engine::detail {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at s[i] (0 when malformed) and
// whether XML allows the character it encodes.
std::pair<std::size_t, bool> Sequence(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    std::size_t n;
    char32_t c;
    if (lead >= 0xC2 && lead <= 0xDF) { n = 2; c = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { n = 3; c = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { n = 4; c = lead & 0x07; }
    else return {0, false};
    if (i + n > s.size()) return {0, false};
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return {0, false};
        c = (c << 6) | (b(k) & 0x3F);
    }
    if ((n == 3 && c < 0x800) || (n == 4 && c < 0x10000) || c > 0x10FFFF) return {0, false};
    return {n, !((c >= 0xD800 && c < 0xE000) || c == 0xFFFE || c == 0xFFFF)};
}

} // namespace

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += attribute ? "&quot;" : "\""; break;
            case '\t': out += attribute ? "&#9;" : "\t"; break;
            case '\n': out += attribute ? "&#10;" : "\n"; break;
            default:
                if (c >= 0x20) out += char(c); // other C0 controls are dropped
            }
            ++i;
            continue;
        }
        const auto [n, allowed] = Sequence(text, i);
        if (allowed) out.append(text.substr(i, n));
        else out += kReplacement;
        i += n ? n : 1;
    }
}

XmlWriter::XmlWriter(std::string& out) : m_out(out) {
    m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
}

void XmlWriter::CloseStartTag() {
    if (m_startOpen) {
        m_out += '>';
        m_startOpen = false;
    }
}

XmlWriter& XmlWriter::Start(std::string_view name) {
    CloseStartTag();
    m_out += '<';
    m_out += name;
    m_startOpen = true;
#ifndef NDEBUG
    m_open.emplace_back(name);
#endif
    return *this;
}

XmlWriter& XmlWriter::Attr(std::string_view name, std::string_view value) {
    assert(m_startOpen && "attribute outside a start tag");
    m_out += ' ';
    m_out += name;
    m_out += "=\"";
    AppendEscaped(m_out, value, true);
    m_out += '"';
    return *this;
}

XmlWriter& XmlWriter::Number(std::string_view name, long long value) {
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return Attr(name, std::string_view(buf, std::size_t(end - buf)));
}

XmlWriter& XmlWriter::Text(std::string_view text) {
    CloseStartTag();
    AppendEscaped(m_out, text, false);
    return *this;
}

XmlWriter& XmlWriter::End(std::string_view name) {
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

void XmlWriter::Finish() const {
#ifndef NDEBUG
    assert(m_open.empty() && "an element was left open");
#endif
}

} // namespace engine::detail
