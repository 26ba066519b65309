#pragma once
// The largest block the arena and the writer ask malloc for at a time.

#include <cstddef>

namespace Sylvane::json_tree::detail {

/// Below the size at which malloc maps fresh pages (and so faults them in) for every block.
inline constexpr std::size_t max_chunk = (std::size_t{1} << 16) - 64;

}  // namespace Sylvane::json_tree::detail
