#pragma once
// The arena that holds a tree read from text or made under an `arena_scope`; not part of the
// API.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <sylvane/json_tree/yojson.hpp>
#include "chunk_size.hpp"
#include "text_scan.hpp"

namespace Sylvane::json_tree::detail {

/// Memory for the nodes of trees, carved from large chunks that are all freed at once. Nodes in
/// it are never freed one by one, so building and dropping a tree costs a few large allocations
/// instead of one per node, and its nodes lie in the order they were made. What it counts and
/// holds, and when it is freed: the ownership rules beside `yojson`.
class arena : public arena_count {
public:
    /// A new arena, counted `initial_refs` times for its creator, in a first chunk of
    /// `first_chunk` bytes (clamped to [`min_chunk`, `max_chunk`]) that also holds the arena
    /// itself, so that a small tree costs one allocation.
    static arena* create(std::size_t first_chunk, std::size_t initial_refs = 1);
    static constexpr std::size_t min_chunk = 128;

    arena(const arena&) = delete;
    arena& operator=(const arena&) = delete;

    /// Room for a node of `bytes` bytes, aligned for any node.
    void* node(std::size_t bytes) {
        const std::size_t pad =
            static_cast<std::size_t>(-reinterpret_cast<std::uintptr_t>(next_)) & (node_align - 1);
        if (static_cast<std::size_t>(end_ - next_) < pad + bytes) return node_in_new_chunk(bytes);
        char* p = next_ + pad;
        next_ = p + bytes;
        return p;
    }

    /// Room for `n` bytes of characters, unaligned.
    char* chars(std::size_t n) {
        if (static_cast<std::size_t>(end_ - next_) < n) grow(n);
        char* p = next_;
        next_ += n;
        return p;
    }

    /// A `String` or `Intlit` node over a copy of `s`, both in one chunk. The characters are
    /// taken from the top end of the chunk, unaligned, so that the next node needs no padding
    /// after them.
    string_node* text(std::string_view s) {
        const std::size_t need = node_align + sizeof(string_node) + s.size();
        if (static_cast<std::size_t>(end_ - next_) < need) grow(need);
        auto* n = ::new (node(sizeof(string_node))) string_node(payload_node::in(this));
        end_ -= s.size();
        char* chars = end_;
        copy_bytes(chars, s.data(), s.size());
        n->text = std::string_view(chars, s.size());
        return n;
    }
    /// A `List` node with room for `capacity` elements, none made yet.
    list_node* list(std::size_t capacity) {
        return ::new (node(sizeof(list_node) + capacity * sizeof(yojson)))
            list_node(payload_node::in(this));
    }
    /// An `Assoc` node with room for `capacity` entries and `key_bytes` bytes of keys after them.
    assoc_node* assoc(std::size_t capacity, std::size_t key_bytes) {
        return ::new (node(sizeof(assoc_node) + capacity * sizeof(yojson::entry) + key_bytes))
            assoc_node(payload_node::in(this));
    }

    /// The chunk that nodes are carved from now: nodes made while it stays the same lie in
    /// ascending order, and chunks do not overlap.
    const void* chunk_in_use() const noexcept { return last_; }
    /// Whether `child`, just placed in a container of this arena, may stay there. A node of
    /// this arena may: its counted reference is given back and it becomes an uncounted link. So
    /// may a scalar or a constant node. Any other node may not: the container must move to the
    /// heap with its elements (see the builders), keeping that reference counted.
    bool link(const yojson& child) noexcept {
        const void* payload = tree_access::payload(child);
        if (payload == nullptr) return true;
        const auto* n = static_cast<const payload_node*>(payload);
        const std::size_t word = n->refs.load(std::memory_order_relaxed);
        if (word == (reinterpret_cast<std::uintptr_t>(this) | 1u)) {
            give(this);  // never the last: the container's maker holds one
            return true;
        }
        // A constant node is never freed: the reference it was given is simply never returned.
        return (word & 1u) == 0 && word >= immortal_refs / 2;
    }

    /// The arena that nodes made now on this thread go into, or null: the innermost live
    /// scope's. A scope that defers its arena (the one `yojson_of` opens) makes it here, on the
    /// first node asked for.
    static arena* current();

    /// The bytes left in the chunk in use.
    std::size_t room() const noexcept { return static_cast<std::size_t>(end_ - next_); }
    /// The bytes taken from this arena's chunks so far, with the unused ends of full chunks.
    std::size_t bytes_used() const noexcept {
        return chunk_bytes_ - static_cast<std::size_t>(end_ - next_);
    }

    // A scope lends references from a reserve held in the count (the ownership rules beside
    // `yojson`), so making a node and linking it into a container costs no atomic operation.

    /// Takes `n` references to `a` for trees or builders made on this thread.
    static void take(arena* a, std::size_t n = 1) noexcept;
    /// Gives back a reference to `a`; frees it when that was the last.
    static void give(arena* a) noexcept;
    /// The references a scope holds in reserve: more than any scope can lend.
    static constexpr std::size_t reserve = std::size_t{1} << 40;

private:
    struct chunk {
        chunk* prev;
        std::size_t size;  // of the block, for `give_block`
    };
    static constexpr std::size_t node_align = 8;
    static_assert(alignof(list_node) <= node_align && alignof(assoc_node) <= node_align &&
                  alignof(string_node) <= node_align);

    arena(std::size_t first_chunk, std::size_t initial_refs) noexcept;
    ~arena() = default;
    void* node_in_new_chunk(std::size_t bytes);
    /// Starts a chunk with at least `n` free bytes.
    void grow(std::size_t n);
    friend void json_tree::detail::free_arena(arena_count* a) noexcept;

    chunk* last_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t next_size_;
    std::size_t chunk_bytes_ = 0;  // of all chunks so far
};

}  // namespace Sylvane::json_tree::detail
