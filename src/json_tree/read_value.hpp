#pragma once
// Reading one value inside a text with the tree reader; not part of the API.

#include <cstddef>
#include <string_view>

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

class arena;

/// The value that starts at offset `at` of `text` (after any blanks), inside `depth` open
/// containers, as a tree; `at` then stands after it. Failures are those of `read(text)` at the
/// same place, positioned in the whole text. Its nodes go into `shared`; when that is null, into
/// a new arena, which `shared` then holds a reference to, so that the values read from one text
/// share one arena.
yojson read_value_at(std::string_view text, std::size_t& at, std::size_t depth,
                     const read_options& options, arena*& shared);

}  // namespace Sylvane::json_tree::detail
