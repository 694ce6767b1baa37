#pragma once
// Readable names for parameterised tests, made from the values a case is
// about: letters and digits are kept, blanks become "_", other characters are
// spelled out ("../a" gives "dot_dot_slash_a") and bytes outside ASCII are
// given in hex.
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

namespace testnames {

inline std::string Readable(std::string_view text)
{
    static const std::pair<char, const char*> spelled[] = {
        {'.', "dot"}, {'/', "slash"}, {'\\', "backslash"}, {':', "colon"}, {'<', "lt"}, {'>', "gt"}, {'&', "amp"}, {'"', "quote"}, {'\'', "apos"}, {'#', "hash"}, {'=', "eq"}, {'!', "bang"}, {'?', "q"}, {'-', "dash"}, {'@', "at"}, {';', "semi"}, {'[', "open"}, {']', "close"}, {'(', "paren"}, {')', "close"}, {'+', "plus"}, {'%', "pct"}, {',', "comma"}, {'*', "star"}, {'$', "dollar"}, {'{', "brace"}, {'}', "brace"}, {'|', "bar"}, {'~', "tilde"}, {'^', "caret"}};
    std::string name;
    auto word = [&name](const std::string& w) {
        if (!name.empty() && name.back() != '_')
            name += '_';
        name += w;
        name += '_';
    };
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) {
            name += c;
            continue;
        }
        if (c == ' ' || c == '_') {
            if (!name.empty() && name.back() != '_')
                name += '_';
            continue;
        }
        std::string w;
        for (const auto& [ch, text] : spelled)
            if (ch == c)
                w = text;
        if (w.empty()) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "x%02X", u);
            w = hex;
        }
        word(w);
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    if (name.size() > 80)
        name.resize(80);
    return name.empty() ? "empty" : name;
}

template <class T>
std::string Part(const T& value)
{
    if constexpr (std::is_same_v<T, bool>)
        return value ? "true" : "false";
    else if constexpr (std::is_integral_v<T>)
        return value < 0 ? "minus" + std::to_string(-static_cast<long long>(value)) : std::to_string(value);
    else
        return Readable(value);
}

// The name of a case from several values, joined by "_".
template <class... T>
std::string Name(const T&... values)
{
    std::string name;
    auto add = [&name](const std::string& part) {
        if (!name.empty())
            name += '_';
        name += part;
    };
    (add(Part(values)), ...);
    return name;
}

// Test names from the case's own name member.
struct ByName {
    template <class Info>
    std::string operator()(const Info& info) const
    {
        return Readable(info.param.name);
    }
};

// The words of an HTML snippet, short enough for one line of the test list.
inline std::string MarkupWords(std::string_view html)
{
    std::string words(html);
    for (char& c : words)
        if (c == '<' || c == '>' || c == '/' || c == '"' || c == '=')
            c = ' ';
    std::string name = Readable(words).substr(0, 36);
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

}  // namespace testnames

namespace testnames {

inline std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace testnames
