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

/// Thrown by the reader for text that is not accepted. `what()` is "LINE:COLUMN: reason", e.g.
/// "3:14: unexpected character ']'".
class SYLVANE_API parse_error : public std::runtime_error {
public:
    parse_error(text_position where, std::string reason);
    parse_error(const parse_error&) noexcept = default;
    parse_error& operator=(const parse_error&) noexcept = default;
    ~parse_error() override;

    std::size_t offset() const noexcept { return where_.offset; }
    std::size_t line() const noexcept { return where_.line; }
    std::size_t column() const noexcept { return where_.column; }
    const text_position& position() const noexcept { return where_; }
    /// The reason alone, without the position: "unterminated string".
    std::string_view reason() const noexcept;

private:
    text_position where_;
    std::size_t reason_start_;  // the reason is the tail of what() from here
};

}  // namespace Sylvane::json_tree
