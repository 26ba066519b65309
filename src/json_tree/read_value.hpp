#pragma once
// Reading one value inside a text with the tree reader; not part of the API.

#include <cstddef>
#include <string_view>

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// The value that starts at offset `at` of `text` (after any blanks), inside `depth` open
/// containers, as a tree; `at` then stands after it. Failures are those of `read(text)` at the
/// same place, positioned in the whole text.
yojson read_value_at(std::string_view text, std::size_t& at, std::size_t depth,
                     const read_options& options);

}  // namespace Sylvane::json_tree::detail
