#pragma once
// JSON text for failure messages: a tag, or the offending value shortened.

#include <sylvane/json_tree/yojson.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace Sylvane::derive::detail {

/// Appends `s` to `out` as a JSON string, escaped as the writer escapes it.
void append_json_string(std::string& out, std::string_view s);

/// `tree` as compact JSON text, cut after about `limit` bytes (at the start of a character) and
/// then ended by "...". A NaN or infinite `Float` is shown as `NaN` or `Infinity`; a string's
/// bytes as they are. Costs at most the text shown, however large the tree.
std::string shown_value(const yojson& tree, std::size_t limit = 64);

}  // namespace Sylvane::derive::detail
