#pragma once
// The arena that holds a tree read from text; not part of the API.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// Memory for the nodes of one tree, carved from large chunks that are all freed at once when
/// the last reference from outside the arena goes. Nodes in it are never freed one by one, so
/// building and dropping a tree read from text costs a few large allocations instead of one per
/// node, and its nodes lie in reading order.
class arena : public arena_count {
public:
    /// A new arena, counted once for its creator; its first chunk has `first_chunk` bytes.
    static arena* create(std::size_t first_chunk);

    arena(const arena&) = delete;
    arena& operator=(const arena&) = delete;

    /// Room for a node of `bytes` bytes, aligned for any node, right after the arena's address
    /// (which `arena_of` reads back).
    void* node(std::size_t bytes) {
        const std::size_t pad = static_cast<std::size_t>(-reinterpret_cast<std::uintptr_t>(next_)) & (node_align - 1);
        const std::size_t need = pad + sizeof(arena*) + bytes;
        if (static_cast<std::size_t>(end_ - next_) < need) return node_in_new_chunk(bytes);
        char* p = next_ + pad;
        next_ += need;
        arena* self = this;
        std::memcpy(p, &self, sizeof self);
        return p + sizeof self;
    }

    /// Room for `n` bytes of characters, unaligned.
    char* chars(std::size_t n) {
        if (static_cast<std::size_t>(end_ - next_) < n) grow(n);
        char* p = next_;
        next_ += n;
        return p;
    }

private:
    struct chunk {
        chunk* prev;
    };
    // Below the size at which malloc maps fresh pages (and so faults them in) for every chunk.
    static constexpr std::size_t max_chunk = (std::size_t{1} << 16) - 64;
    static constexpr std::size_t node_align = 8;
    static_assert(alignof(list_node) <= node_align && alignof(assoc_node) <= node_align &&
                  alignof(string_node) <= node_align && alignof(arena*) <= node_align);

    explicit arena(std::size_t first_chunk) noexcept;
    ~arena() = default;
    void* node_in_new_chunk(std::size_t bytes);
    /// Starts a chunk with at least `n` free bytes.
    void grow(std::size_t n);
    friend void json_tree::detail::free_arena(arena_count* a) noexcept;

    chunk* last_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t next_size_;
};

}  // namespace Sylvane::json_tree::detail
