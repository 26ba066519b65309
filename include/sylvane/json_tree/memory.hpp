#pragma once
/// The memory that each thread keeps between reads and writes, and how to give it back.
///
/// Reading a document fills arena chunks with its tree and grows the reader's stacks; writing
/// fills the writer's chunks. Given back to malloc when the tree or text is dropped, that memory
/// would go back to the system (glibc trims the top of its heap and unmaps large blocks), and
/// the next read would pay a page fault for each fresh page it touches again. So each thread
/// keeps what it frees, up to a limit, for its next read or write: arena chunks, the payloads
/// of large containers, the reader's stacks and scratch text, the writer's chunks.
///
/// Kept memory belongs to the thread that freed it and is freed when that thread ends.

#include <cstddef>

#include <sylvane/base/export.hpp>

namespace Sylvane::json_tree {

/// The bytes a thread keeps at most, unless set otherwise: 32 MiB, enough to read documents of
/// up to about ten megabytes again without fresh pages (a read's tree and stacks take one to
/// three times its text; 8 MiB left a 3 MB array of literals faulting on 4,000 pages a read).
inline constexpr std::size_t default_cached_memory_limit = std::size_t{32} << 20;

/// Sets the bytes each thread keeps at most, for every thread; 0 keeps nothing. A thread that
/// holds more gives the excess back the next time it frees or releases memory.
SYLVANE_API void set_cached_memory_limit(std::size_t bytes) noexcept;
SYLVANE_API std::size_t cached_memory_limit() noexcept;

/// The bytes the calling thread keeps now: at most the limit (or the limit before it was
/// lowered, until the thread next frees memory).
SYLVANE_API std::size_t cached_memory() noexcept;

/// Gives back to the system everything the calling thread keeps. Trees alive are not touched;
/// the next read or write of the thread allocates afresh.
SYLVANE_API void release_cached_memory() noexcept;

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::cached_memory;
using json_tree::cached_memory_limit;
using json_tree::default_cached_memory_limit;
using json_tree::release_cached_memory;
using json_tree::set_cached_memory_limit;
}  // namespace Sylvane
