#include "arena.hpp"
#include <sylvane/json_tree/arena_scope.hpp>

#include <algorithm>
#include <new>

namespace Sylvane::json_tree::detail {

arena::arena(std::size_t first_chunk) noexcept
    : arena_count{1}, next_size_(std::clamp<std::size_t>(first_chunk, 256, max_chunk)) {}

arena* arena::create(std::size_t first_chunk) {
    return new arena(first_chunk);
}

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
    grow(bytes);
    return node(bytes);
}

void arena::link(const yojson& child) {
    const void* payload = tree_access::payload(child);
    if (payload == nullptr) return;
    const auto* n = static_cast<const payload_node*>(payload);
    if (n->arena() == this) {
        give(this);  // never the last: the container's maker holds one
    } else {
        kept_.push_back(tree_access::raw(child));
    }
}

namespace {
thread_local scope_state* innermost = nullptr;
}  // namespace

arena* arena::current() noexcept {
    return innermost != nullptr ? innermost->current : nullptr;
}

void arena::take(arena* a) noexcept {
    if (innermost != nullptr && innermost->current == a) {
        ++innermost->lent;
    } else {
        a->refs.fetch_add(1, std::memory_order_relaxed);
    }
}

void arena::give(arena* a) noexcept {
    if (innermost != nullptr && innermost->current == a && innermost->lent > 0) {
        --innermost->lent;
    } else {
        release_arena(a);
    }
}

}  // namespace Sylvane::json_tree::detail

namespace Sylvane::json_tree {

// The first chunk is small, so that a scope around a few small trees costs little.
arena_scope::arena_scope() : state_{detail::arena::create(1024), 0}, outer_(detail::innermost) {
    state_.current->refs.fetch_add(detail::arena::reserve, std::memory_order_relaxed);
    detail::innermost = &state_;
}

arena_scope::~arena_scope() {
    detail::innermost = outer_;
    // The scope's own reference and what it did not lend of its reserve.
    const std::size_t unlent = 1 + detail::arena::reserve - state_.lent;
    if (state_.current->refs.fetch_sub(unlent, std::memory_order_acq_rel) == unlent)
        detail::free_arena(state_.current);
}

}  // namespace Sylvane::json_tree

namespace Sylvane::json_tree::detail {

void arena::free_now() noexcept {
    for (const raw_tree r : kept_) tree_access::drop(r);
    for (chunk* c = last_; c != nullptr;) {
        chunk* prev = c->prev;
        ::operator delete(c);
        c = prev;
    }
    delete this;
}

void free_arena(arena_count* a) noexcept {
    // Freeing an arena drops the trees it kept, which may free other arenas in turn: those
    // wait on a list for this loop, so that a chain of arenas of any length is freed without
    // recursion.
    thread_local arena* waiting = nullptr;
    thread_local bool freeing = false;
    auto* self = static_cast<arena*>(a);
    self->next_dead_ = waiting;
    waiting = self;
    if (freeing) return;
    freeing = true;
    while (waiting != nullptr) {
        arena* next = waiting;
        waiting = next->next_dead_;
        next->free_now();
    }
    freeing = false;
}

}  // namespace Sylvane::json_tree::detail
