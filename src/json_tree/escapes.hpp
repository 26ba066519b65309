#pragma once
// Decoding the escapes of JSON strings, shared by the reader and the text cursor; not part of
// the API. Each caller reports a bad escape its own way.

#include <cstdint>
#include <string>

namespace Sylvane::json_tree::detail {

/// The byte that the escape `\c` stands for, or 0 when `c` starts no one-letter escape (`u`
/// starts four hex digits instead).
constexpr char simple_escape(char c) noexcept {
    switch (c) {
        case '"': return '"';
        case '\\': return '\\';
        case '/': return '/';
        case 'b': return '\b';
        case 'f': return '\f';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        default: return 0;
    }
}

/// The value of the four hex digits at `p`, or -1 if any of them is not one.
inline std::int32_t hex4_value(const char* p) noexcept {
    std::int32_t v = 0;
    for (int k = 0; k < 4; ++k) {
        const char c = p[k];
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= c - '0';
        else if (c >= 'a' && c <= 'f')
            v |= c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v |= c - 'A' + 10;
        else
            return -1;
    }
    return v;
}

/// Appends the UTF-8 encoding of the code point `cp`.
inline void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace Sylvane::json_tree::detail
