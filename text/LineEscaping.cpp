#include "text/LineEscaping.h"

#include "text/Unicode.h"

namespace lineescaping {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendByte(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

bool NeedsEscape(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Escape(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto cp = unicode::DecodeUtf8(bytes, at);
        if (!cp) {
            AppendByte(out, static_cast<unsigned char>(bytes[at]));
            ++at;
            continue;
        }
        if (cp->value == '\\')
            out += "\\\\";
        else if (NeedsEscape(cp->value))
            for (std::size_t i = 0; i < cp->length; ++i)
                AppendByte(out, static_cast<unsigned char>(bytes[at + i]));
        else
            out.append(bytes.substr(at, cp->length));
        at += cp->length;
    }
    return out;
}

std::string Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\\') {
            out += '\\';
            ++at;
        } else if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' && HexValue(text[at + 2]) >= 0
                   && HexValue(text[at + 3]) >= 0) {
            out += static_cast<char>(HexValue(text[at + 2]) * 16 + HexValue(text[at + 3]));
            at += 3;
        } else {
            out += text[at];
        }
    }
    return out;
}

}  // namespace lineescaping
