#pragma once
// The memory each thread keeps for its next read or write (`memory.hpp` for users): large
// blocks by size, and the buffers that their owners keep themselves, all within one limit.

#include <cstddef>

namespace Sylvane::json_tree::detail {

/// Blocks above this size are kept by size class; smaller ones are left to malloc, which keeps
/// them well (only the top of the heap and mapped blocks go back to the system).
inline constexpr std::size_t min_cached_block = std::size_t{16} << 10;

/// The size of a block of at least `n` bytes: `n` itself up to `min_cached_block`, above it
/// `n` rounded up to its class (eight classes between powers of two), so that a block freed
/// fits the next request of about the same size.
std::size_t block_size(std::size_t n) noexcept;
/// A block of `size` bytes, a size from `block_size`: one the thread keeps, or a new one.
void* take_block(std::size_t size);
/// Frees a block from `take_block` of that `size`: the thread keeps it within its limit, or
/// gives it to malloc.
void give_block(void* block, std::size_t size) noexcept;

/// For a buffer its owner keeps itself: whether the thread may keep `bytes` more, counted
/// against its limit until `unkeep`.
bool keep(std::size_t bytes) noexcept;
void unkeep(std::size_t bytes) noexcept;
/// Registers `release`, which frees a buffer kept with `keep` (and calls `unkeep`), to run on
/// `release_cached_memory` and at the thread's end. Returns false when the thread can take no
/// more such functions, or is ending: the buffer must not be kept then.
bool on_release(void (*release)() noexcept) noexcept;

}  // namespace Sylvane::json_tree::detail
