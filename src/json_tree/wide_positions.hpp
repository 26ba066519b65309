#pragma once
// Reading with 64-bit position tables whatever the text's size; not part of the API.

#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/read.hpp>

namespace Sylvane::json_tree::detail {

/// `read_with_positions` as it reads a text of 4 GiB or more, for a text of any size, so that
/// the wide tables can be checked against the narrow ones on small texts.
SYLVANE_API positioned read_with_wide_positions(std::string_view text,
                                                const read_options& options = {});

}  // namespace Sylvane::json_tree::detail
