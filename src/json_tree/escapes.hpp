#pragma once
// Decoding the escapes of JSON strings, shared by the reader and the text cursor; not part of
// the API. Each caller reports a bad escape its own way.

#include <cstddef>
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

/// The values of the hex digits by byte, -1 for the other bytes.
inline constexpr auto hex_digit_values = [] {
    struct table {
        std::int8_t value[256];
    } t{};
    for (int c = 0; c < 256; ++c)
        t.value[c] = c >= '0' && c <= '9'   ? static_cast<std::int8_t>(c - '0')
                     : c >= 'a' && c <= 'f' ? static_cast<std::int8_t>(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? static_cast<std::int8_t>(c - 'A' + 10)
                                            : std::int8_t{-1};
    return t;
}();

/// The value of the four hex digits at `p`, or -1 if any of them is not one.
inline std::int32_t hex4_value(const char* p) noexcept {
    const auto digit = [&](int k) -> std::int32_t {
        return hex_digit_values.value[static_cast<unsigned char>(p[k])];
    };
    const std::int32_t a = digit(0), b = digit(1), c = digit(2), d = digit(3);
    // A -1 among them makes the OR negative.
    if ((a | b | c | d) < 0) return -1;
    return a << 12 | b << 8 | c << 4 | d;
}

/// Writes the UTF-8 encoding of the code point `cp` (at most 4 bytes) at `out`; returns its
/// size.
inline std::size_t put_utf8(char* out, std::uint32_t cp) noexcept {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

/// Appends the UTF-8 encoding of the code point `cp`.
inline void append_utf8(std::string& out, std::uint32_t cp) {
    char bytes[4];
    out.append(bytes, put_utf8(bytes, cp));
}

}  // namespace Sylvane::json_tree::detail
