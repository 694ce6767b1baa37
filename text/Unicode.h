#pragma once
// Conversions between UTF-8, the program's text, and UTF-16, which counts the
// characters of presentation text and entry names. Invalid input is replaced
// with U+FFFD unless a function says otherwise.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace unicode {

struct CodePoint {
    char32_t value;
    std::size_t length;  // bytes of its UTF-8 sequence
};

// The well-formed sequence at text[at], or nothing (malformed, overlong,
// surrogate, beyond U+10FFFF, or cut off by the end).
std::optional<CodePoint> DecodeUtf8(std::string_view text, std::size_t at);

// A surrogate or a value beyond U+10FFFF appends U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

std::string ReplaceInvalidUtf8(std::string_view text);
bool IsValidUtf8(std::string_view text);
// Throws utf8-cpp's exception at the first invalid or truncated sequence.
void RequireValidUtf8(std::string_view text);

std::u16string ToUtf16(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);
// The length of ToUtf16(utf8).
std::size_t Utf16Length(std::string_view utf8);

}  // namespace unicode
