#pragma once
/// Where a byte sits in a JSON text, and the exception thrown for text that is not JSON.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>

namespace Sylvane::json_tree {

/// A place in a text: byte offset from 0, line and column from 1. Lines end at '\n'; the column
/// counts bytes, so a multi-byte UTF-8 character advances it by its length.
struct text_position {
    std::size_t offset = 0;
    std::size_t line = 1;
    std::size_t column = 1;

    friend bool operator==(const text_position&, const text_position&) = default;
};

/// The position of byte `offset` of `text` (an offset past the end gives the end's position).
SYLVANE_API text_position position_in(std::string_view text, std::size_t offset) noexcept;

/// What is wrong with a text that the reader refuses: one code for each of its reasons, so that a
/// caller can tell them apart without reading the message. Bytes are shown in reasons as
/// "character 'x'" when printable ASCII, "byte 0xNN" otherwise, and "end of input" at the end.
enum class parse_errc : unsigned char {
    unexpected_byte,            ///< "unexpected <byte>": no value starts with it
    text_after_value,           ///< "unexpected <byte> after the value"
    expected_comma_or_brace,    ///< "unexpected <byte>, expected ',' or '}'"
    expected_comma_or_bracket,  ///< "unexpected <byte>, expected ',' or ']'"
    expected_key,               ///< "unexpected <byte>, expected a string key"
    expected_colon,             ///< "unexpected <byte>, expected ':'"
    bad_number,                 ///< "unexpected <byte> in number"
    expected_digit,             ///< "unexpected <byte> in number, expected a digit"
    leading_zero,               ///< "leading zero in number"
    number_out_of_range,        ///< "number out of range of a double"
    bad_literal,                ///< "unexpected <byte> in literal '<word>'"
    too_deep,                   ///< "nesting deeper than <max_depth>"
    unterminated_string,        ///< "unterminated string"
    control_in_string,          ///< "unescaped control <byte> in string"
    invalid_utf8,               ///< "invalid UTF-8 in string"
    invalid_escape,             ///< "invalid escape '\\<c>'" or "invalid escape: <byte> after '\\'"
    invalid_unicode_escape,     ///< "invalid \\u escape"
    lone_surrogate,             ///< "lone surrogate in \\u escape"
    unterminated_comment,       ///< "unterminated comment"
    value_too_long,             ///< "value longer than <limit> bytes": in a stream, by option
    no_array_at_pointer,        ///< "no array at <pointer>": a stream's array is not there
    other,                      ///< a `parse_error` made with a reason and no code
};

/// Thrown by the reader for text that is not accepted. `what()` is "LINE:COLUMN: reason", e.g.
/// "3:14: unexpected character ']'".
class SYLVANE_API parse_error : public std::runtime_error {
public:
    parse_error(text_position where, parse_errc code, std::string reason);
    /// A failure of code `parse_errc::other`.
    parse_error(text_position where, std::string reason);
    parse_error(const parse_error&) noexcept = default;
    parse_error& operator=(const parse_error&) noexcept = default;
    ~parse_error() override;

    std::size_t offset() const noexcept { return where_.offset; }
    std::size_t line() const noexcept { return where_.line; }
    std::size_t column() const noexcept { return where_.column; }
    const text_position& position() const noexcept { return where_; }
    /// Which of the reader's reasons this is.
    parse_errc code() const noexcept { return code_; }
    /// The reason alone, without the position: "unterminated string".
    std::string_view reason() const noexcept;

private:
    text_position where_;
    std::size_t reason_start_;
    parse_errc code_;  // the reason is the tail of what() from here
};

}  // namespace Sylvane::json_tree
