#include <json_tree/arena.hpp>

#include <algorithm>
#include <new>

namespace Sylvane::json_tree::detail {

arena::arena(std::size_t first_chunk) noexcept
    : arena_count{1}, next_size_(std::clamp<std::size_t>(first_chunk, 256, max_chunk)) {}

arena* arena::create(std::size_t first_chunk) { return new arena(first_chunk); }

void arena::grow(std::size_t n) {
    // Chunks double up to a limit, so a small tree takes little and a large one wastes at
    // most the unused end of its last chunk; a larger request gets a chunk of its own size.
    const std::size_t size = std::max(next_size_, sizeof(chunk) + n + node_align);
    next_size_ = std::min(next_size_ * 2, max_chunk);
    auto* c = static_cast<chunk*>(::operator new(size));
    c->prev = last_;
    last_ = c;
    next_ = reinterpret_cast<char*>(c + 1);
    end_ = reinterpret_cast<char*>(c) + size;
}

void* arena::node_in_new_chunk(std::size_t bytes) {
    grow(sizeof(arena*) + bytes);
    return node(bytes);
}

void free_arena(arena_count* a) noexcept {
    auto* self = static_cast<arena*>(a);
    for (arena::chunk* c = self->last_; c != nullptr;) {
        arena::chunk* prev = c->prev;
        ::operator delete(c);
        c = prev;
    }
    delete self;
}

}  // namespace Sylvane::json_tree::detail
