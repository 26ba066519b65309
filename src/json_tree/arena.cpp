#include "arena.hpp"
#include <sylvane/json_tree/arena_scope.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace Sylvane::json_tree::detail {

arena::arena(std::size_t first_chunk) noexcept
    : arena_count{1}, next_size_(std::clamp<std::size_t>(first_chunk, 256, max_chunk)) {}

arena* arena::create(std::size_t first_chunk) {
    return new arena(first_chunk);
}

void arena::grow(std::size_t n) {
    // The builders refuse larger nodes; this keeps the sizes below from wrapping around.
    if (n > static_cast<std::size_t>(PTRDIFF_MAX)) throw std::bad_alloc();
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

namespace {
thread_local scope_state* innermost = nullptr;
}  // namespace

arena* arena::current() noexcept {
    return innermost != nullptr ? innermost->current : nullptr;
}

void arena::take(arena* a, std::size_t n) noexcept {
    if (innermost != nullptr && innermost->current == a) {
        innermost->lent += n;
    } else {
        a->refs.fetch_add(n, std::memory_order_relaxed);
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
arena_scope::arena_scope() : state_{detail::arena::create(1024), 0, detail::innermost} {
    state_.current->refs.fetch_add(detail::arena::reserve, std::memory_order_relaxed);
    detail::innermost = &state_;
}

arena_scope::~arena_scope() {
    // A scope that ends before one made after it (both held on the heap, say) is taken out of
    // the thread's chain where it is, so the chain never leads to a scope that has ended.
    detail::scope_state** link = &detail::innermost;
    while (*link != &state_) {
        if (*link == nullptr) {
            std::fputs("Sylvane::arena_scope: a scope ended on a thread other than its own\n",
                       stderr);
            std::abort();
        }
        link = &(*link)->outer;
    }
    *link = state_.outer;
    // The scope's own reference and what it did not lend of its reserve.
    const std::size_t unlent = 1 + detail::arena::reserve - state_.lent;
    if (state_.current->refs.fetch_sub(unlent, std::memory_order_acq_rel) == unlent)
        detail::free_arena(state_.current);
}

}  // namespace Sylvane::json_tree

namespace Sylvane::json_tree::detail {

void free_arena(arena_count* a) noexcept {
    // Nothing in an arena holds a counted reference, so freeing one never frees another.
    auto* self = static_cast<arena*>(a);
    for (arena::chunk* c = self->last_; c != nullptr;) {
        arena::chunk* prev = c->prev;
        ::operator delete(c);
        c = prev;
    }
    delete self;
}

}  // namespace Sylvane::json_tree::detail
