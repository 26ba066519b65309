#pragma once
// The generations that tell one read's entries in the reader's per-thread tables from
// another's; not part of the API.

#include <cstdint>

namespace Sylvane::json_tree::detail {

/// A number that no read before on this thread has had: the reader's tables belong to the
/// thread and outlive reads, and an entry of another generation counts as empty, so that no read
/// begins by clearing them. 64 bits never wrap.
inline std::uint64_t next_read_generation() noexcept {
    static thread_local std::uint64_t last = 0;
    return ++last;
}

}  // namespace Sylvane::json_tree::detail
