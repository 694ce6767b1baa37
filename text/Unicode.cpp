#include "text/Unicode.h"

#include <utf8cpp/utf8.h>

#include <iterator>

namespace unicode {
namespace {

constexpr bool IsLead(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
constexpr bool IsTrail(char32_t u) { return u >= 0xDC00 && u < 0xE000; }

}  // namespace

std::optional<CodePoint> DecodeUtf8(std::string_view text, std::size_t at)
{
    auto it = text.begin() + static_cast<std::ptrdiff_t>(at);
    std::uint32_t cp = 0;
    if (utf8::internal::validate_next(it, text.end(), cp) != utf8::internal::UTF8_OK)
        return std::nullopt;
    return CodePoint{cp, static_cast<std::size_t>(it - text.begin()) - at};
}

void AppendUtf8(std::string& out, char32_t cp)
{
    utf8::append(utf8::internal::is_code_point_valid(cp) ? cp : 0xFFFDu, std::back_inserter(out));
}

std::string ReplaceInvalidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(out));
    return out;
}

bool IsValidUtf8(std::string_view text) { return utf8::is_valid(text.begin(), text.end()); }

void RequireValidUtf8(std::string_view text)
{
    for (auto it = text.begin(); it != text.end();)
        utf8::next(it, text.end());
}

std::u16string ToUtf16(std::string_view utf8)
{
    const std::string valid = ReplaceInvalidUtf8(utf8);
    std::u16string out;
    out.reserve(valid.size());
    utf8::unchecked::utf8to16(valid.begin(), valid.end(), std::back_inserter(out));
    return out;
}

std::string ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (IsLead(c) && i + 1 < utf16.size() && IsTrail(utf16[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        AppendUtf8(out, c);
    }
    return out;
}

std::size_t Utf16Length(std::string_view utf8) { return ToUtf16(utf8).size(); }

}  // namespace unicode
