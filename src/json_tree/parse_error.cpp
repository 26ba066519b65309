// Positions in a text, and the exception the reader throws.

#include <sylvane/json_tree/parse_error.hpp>

#include <algorithm>
#include <string>
#include <utility>

namespace Sylvane::json_tree {

text_position position_in(std::string_view text, std::size_t offset) noexcept {
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t last = before.rfind('\n');
    const std::size_t column = last == std::string_view::npos ? offset + 1 : offset - last;
    return {offset, line, column};
}

namespace {
std::string error_text(const text_position& where, const std::string& reason) {
    std::string s = std::to_string(where.line);
    s += ':';
    s += std::to_string(where.column);
    s += ": ";
    s += reason;
    return s;
}
}  // namespace

parse_error::parse_error(text_position where, parse_errc code, std::string reason)
    : std::runtime_error(error_text(where, reason)),
      where_(where),
      reason_start_(error_text(where, {}).size()),
      code_(code) {}

parse_error::parse_error(text_position where, std::string reason)
    : parse_error(where, parse_errc::other, std::move(reason)) {}

parse_error::~parse_error() = default;

std::string_view parse_error::reason() const noexcept {
    return std::string_view(what()).substr(reason_start_);
}

}  // namespace Sylvane::json_tree
