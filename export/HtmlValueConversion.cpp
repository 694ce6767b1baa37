#include "export/HtmlValueConversion.h"

#include "export/Automation.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace exporting {

float ParseFontSize(const std::string& value)
{
    // strtod also reads "inf", "nan" and hexadecimal numbers; a size is a
    // plain decimal number, so only the decimal prefix is handed to it.
    std::size_t i = 0;
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i])))
        ++i;
    const std::size_t start = i;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])))
        ++i;
    std::size_t digits = i - digitsStart;
    if (i < value.size() && value[i] == '.') {
        ++i;
        const std::size_t fractionStart = i;
        while (i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])))
            ++i;
        digits += i - fractionStart;
    }
    if (digits == 0)
        return 0.0f;
    if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < value.size() && (value[j] == '+' || value[j] == '-'))
            ++j;
        if (j < value.size() && std::isdigit(static_cast<unsigned char>(value[j]))) {
            while (j < value.size() && std::isdigit(static_cast<unsigned char>(value[j])))
                ++j;
            i = j;
        }
    }
    const std::string number = value.substr(start, i - start);
    return static_cast<float>(std::strtod(number.c_str(), nullptr));
}

namespace {

std::optional<unsigned> ParseHexByte(const std::string& text)
{
    // Like the usual string-to-unsigned conversion: a leading blank or plus
    // sign is tolerated, but the digits must use up the rest.
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    if (i == text.size())
        return std::nullopt;
    unsigned value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value <= 255 ? std::optional<unsigned>(value) : std::nullopt;
}

}  // namespace

std::uint32_t ParseFontColor(const std::string& value)
{
    if (value.size() != 7 || value[0] != '#')
        return 0;
    const auto r = ParseHexByte(value.substr(1, 2));
    const auto g = ParseHexByte(value.substr(3, 2));
    const auto b = ParseHexByte(value.substr(5, 2));
    if (!r || !g || !b)
        return 0;
    return *r + 256u * *g + 65536u * *b;
}

std::string DecodeXmlEntities(std::string_view text)
{
    static const std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, ch] : entities) {
                if (text.substr(i, entity.size()) == entity) {
                    out += ch;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

int AlignmentCode(const std::string& value)
{
    std::string folded;
    for (const char c : value)
        folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folded == "center")
        return engine::ppAlignCenter;
    if (folded == "right")
        return engine::ppAlignRight;
    if (folded == "justify")
        return engine::ppAlignJustify;
    return engine::ppAlignLeft;
}

std::uint32_t BookColorToColorref(std::uint32_t c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

}  // namespace exporting
