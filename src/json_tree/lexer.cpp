// The reasons of the reader's failures, one table for every reader of text.

#include "lexer.hpp"

#include <array>

namespace Sylvane::json_tree::detail {

namespace {

/// How a byte is shown in a reason: 'x' when printable, 0xNN otherwise.
std::string show(const char* p, const char* end) {
    if (p == end) return "end of input";
    const auto c = static_cast<unsigned char>(*p);
    if (c > 0x20 && c < 0x7f) return std::string("character '") + static_cast<char>(c) + '\'';
    static constexpr char hex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 0xf];
}

/// Each code's reason: the text before the byte shown (if any) and the text after it.
struct reason_parts {
    const char* before;
    bool shows_byte;
    const char* after;
};

constexpr std::array<reason_parts, static_cast<std::size_t>(parse_errc::other) + 1> reasons{{
    {"unexpected ", true, ""},                              // unexpected_byte
    {"unexpected ", true, " after the value"},              // text_after_value
    {"unexpected ", true, ", expected ',' or '}'"},         // expected_comma_or_brace
    {"unexpected ", true, ", expected ',' or ']'"},         // expected_comma_or_bracket
    {"unexpected ", true, ", expected a string key"},       // expected_key
    {"unexpected ", true, ", expected ':'"},                // expected_colon
    {"unexpected ", true, " in number"},                    // bad_number
    {"unexpected ", true, " in number, expected a digit"},  // expected_digit
    {"leading zero in number", false, ""},                  // leading_zero
    {"number out of range of a double", false, ""},         // number_out_of_range
    {"unexpected ", true, " in literal '"},                 // bad_literal (then the word and "'")
    {"nesting deeper than ", false, ""},                    // too_deep (then the limit)
    {"unterminated string", false, ""},                     // unterminated_string
    {"unescaped control ", true, " in string"},             // control_in_string
    {"invalid UTF-8 in string", false, ""},                 // invalid_utf8
    {"invalid escape", false, ""},                          // invalid_escape (then the escape)
    {"invalid \\u escape", false, ""},                      // invalid_unicode_escape
    {"lone surrogate in \\u escape", false, ""},            // lone_surrogate
    {"unterminated comment", false, ""},                    // unterminated_comment
    {"", false, ""},  // value_too_long: made by the readers of streams, with the limit
    {"", false, ""},  // no_array_at_pointer: made by the readers of streams, with the pointer
    {"", false, ""},  // other
}};

}  // namespace

std::string fault_reason(parse_errc code, const char* at, const char* end, std::string_view word,
                         std::size_t max_depth) {
    const reason_parts& parts = reasons[static_cast<std::size_t>(code)];
    std::string reason = parts.before;
    if (parts.shows_byte) reason += show(at, end);
    reason += parts.after;
    switch (code) {
        case parse_errc::bad_literal: reason.append(word).append("'"); break;
        case parse_errc::too_deep: reason += std::to_string(max_depth); break;
        case parse_errc::invalid_escape: {
            // `at` is the backslash; the byte after it is the escape's.
            const char* c = at + 1;
            const auto u = c != end ? static_cast<unsigned char>(*c) : 0u;
            if (u > 0x20 && u < 0x7f) {
                reason.append(" '\\").append(1, *c).append("'");
            } else {
                reason.append(": ").append(show(c, end)).append(" after '\\'");
            }
            break;
        }
        default: break;
    }
    return reason;
}

}  // namespace Sylvane::json_tree::detail
