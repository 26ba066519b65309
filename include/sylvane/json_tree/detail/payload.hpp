#pragma once
// The shared payloads of trees: their counts and the nodes of `String` and `Intlit`. Internal to
// the tree; the rules they follow are stated beside `yojson` (yojson.hpp).
// Included by yojson.hpp only.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>

namespace Sylvane::json_tree {

enum class yojson_kind : std::uint8_t;
class yojson;

namespace detail {

/// The reference count of an arena (the ownership rules are beside `yojson`).
struct arena_count {
    std::atomic<std::size_t> refs;
};

/// Frees an arena whose count has dropped to zero, with every node in it.
SYLVANE_API void free_arena(arena_count* a) noexcept;

inline void release_arena(arena_count* a) noexcept {
    if (a->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) free_arena(a);
}

/// Shared header of every payload: the count word, even for a node of its own, the arena's
/// address with the low bit set for a node in an arena (the ownership rules are beside `yojson`).
struct payload_node {
    std::atomic<std::size_t> refs;
    constexpr explicit payload_node(std::size_t word) noexcept : refs(word) {}

    /// The count of a node with one reference.
    static constexpr std::size_t one_ref = 2;
    /// The word of a node in `a`.
    static std::size_t in(const arena_count* a) noexcept {
        return reinterpret_cast<std::uintptr_t>(a) | 1u;
    }
    /// The arena of a node whose word is `w`, or null.
    static arena_count* arena_of(std::size_t w) noexcept {
        return (w & 1u) != 0 ? reinterpret_cast<arena_count*>(w - 1) : nullptr;
    }
    arena_count* arena() const noexcept { return arena_of(refs.load(std::memory_order_relaxed)); }

    void retain() noexcept {
        if (arena_count* a = arena())
            a->refs.fetch_add(1, std::memory_order_relaxed);
        else
            refs.fetch_add(one_ref, std::memory_order_relaxed);
    }
    /// Drops a reference; true when it was the last one to a node of its own, which the caller
    /// then frees.
    bool release() noexcept {
        if (arena_count* a = arena()) {
            release_arena(a);
            return false;
        }
        return refs.fetch_sub(one_ref, std::memory_order_acq_rel) == one_ref;
    }
};
static_assert(alignof(arena_count) >= 2, "an arena's address leaves the low bit free");

/// A count that no sequence of copies and drops brings to zero: static payloads.
inline constexpr std::size_t immortal_refs = std::size_t{1} << 62;

/// Payload of `String` and `Intlit`. `text` views one of four stores: characters copied right
/// behind the node in the same allocation, a moved-in `std::string` (the node is then an
/// `owned_string_node`), characters in the node's arena, or static text (the constant nodes).
/// 24 bytes: `free` tells the two heap kinds apart by where `text` points.
struct string_node : payload_node {
    std::string_view text;

    /// A constant node over static text; never freed.
    struct static_text_t {};
    constexpr string_node(static_text_t, std::string_view static_text) noexcept
        : payload_node(immortal_refs), text(static_text) {}

    /// A node holding the very string `s`: its buffer is taken, not copied.
    static string_node* adopt(std::string&& s);
    /// A node holding a copy of `s`, in one allocation with the node.
    static string_node* copy(std::string_view s);
    /// Frees a node made by `adopt` or `copy`.
    static void free(string_node* node) noexcept;

    string_node(const string_node&) = delete;
    string_node& operator=(const string_node&) = delete;
    constexpr ~string_node() = default;  // not virtual: `free` knows the node's real type

    explicit string_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
};

struct list_node;
struct assoc_node;
struct tree_access;  // payload identity and raw trees for the reader

/// The bits of a tree without its ownership: what the reader keeps while a container is open.
struct raw_tree {
    yojson_kind kind;
    std::uint64_t bits;
};

}  // namespace detail

}  // namespace Sylvane::json_tree
