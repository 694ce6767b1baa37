#pragma once
// The one XML writer every part goes through: it escapes text and attribute
// values and drops what XML 1.0 forbids, in one place. Debug builds check
// that every end tag names the element it closes.
#include <concepts>
#include <string>
#include <string_view>
#include <vector>

namespace engine::detail {

class XmlWriter {
public:
    // Appends to out, starting with the XML declaration.
    explicit XmlWriter(std::string& out);

    XmlWriter& Start(std::string_view name);
    XmlWriter& Attr(std::string_view name, std::string_view value);
    XmlWriter& Attr(std::string_view name, const char* value) { return Attr(name, std::string_view(value)); }
    template <std::integral T>
    XmlWriter& Attr(std::string_view name, T value) { return Number(name, static_cast<long long>(value)); }
    XmlWriter& Text(std::string_view text);
    XmlWriter& End(std::string_view name);
    // An element without content: <name/> once its attributes are given.
    XmlWriter& Empty(std::string_view name) { return Start(name).End(name); }
    // Debug builds: every element has been closed.
    void Finish() const;

private:
    XmlWriter& Number(std::string_view name, long long value);
    void CloseStartTag();

    std::string& m_out;
    bool m_startOpen = false;
#ifndef NDEBUG
    std::vector<std::string> m_open;
#endif
};

// Appends text to out with the escapes of an attribute value (attribute) or
// of element content, dropping the characters XML 1.0 forbids and turning
// malformed UTF-8, lone surrogates, U+FFFE and U+FFFF into U+FFFD.
void AppendEscaped(std::string& out, std::string_view text, bool attribute);

}  // namespace engine::detail
