#include "arena.hpp"
#include <sylvane/json_tree/arena_scope.hpp>
#include "block_cache.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace Sylvane::json_tree::detail {

arena::arena(std::size_t first_chunk, std::size_t initial_refs) noexcept
    : arena_count{initial_refs}, next_size_(std::min(first_chunk * 2, max_chunk)) {}

arena* arena::create(std::size_t first_chunk, std::size_t initial_refs) {
    const std::size_t size = block_size(std::clamp(first_chunk, min_chunk, max_chunk));
    auto* c = ::new (take_block(size)) chunk{nullptr, size};
    auto* a = ::new (static_cast<void*>(c + 1)) arena(size, initial_refs);
    static_assert(alignof(arena) <= alignof(chunk) && sizeof(chunk) % alignof(arena) == 0);
    a->last_ = c;
    a->next_ = reinterpret_cast<char*>(a + 1);
    a->end_ = reinterpret_cast<char*>(c) + size;
    a->chunk_bytes_ = size;
    return a;
}

void arena::grow(std::size_t n) {
    // The builders refuse larger nodes; this keeps the sizes below from wrapping around.
    if (n > static_cast<std::size_t>(PTRDIFF_MAX)) throw std::bad_alloc();
    // Chunks double up to a limit, so a small tree takes little and a large one wastes at
    // most the unused end of its last chunk; a larger request gets a chunk of its own size.
    // Blocks come from the thread's kept memory when it has one of the size.
    const std::size_t size = block_size(std::max(next_size_, sizeof(chunk) + n + node_align));
    next_size_ = std::min(next_size_ * 2, max_chunk);
    auto* c = ::new (take_block(size)) chunk{last_, size};
    chunk_bytes_ += size;
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

// A conversion's arena is made with its first node, and its result keeps all of it. Results
// made one after another on a thread are often alike (a message per request), so the first
// chunk is about the size of the thread's last few conversions: it grows at once to fit a
// larger one and shrinks by an eighth a conversion, so that results of alike sizes take one
// allocation each, little more than their nodes. Bounded, so that one large result makes the
// small ones after it hold little more than they need.
constexpr std::size_t conversion_chunk_min = arena::min_chunk;
constexpr std::size_t conversion_chunk_max = 4096;
thread_local std::size_t conversion_chunk = conversion_chunk_min;
}  // namespace

arena* arena::current() {
    if (innermost == nullptr) return nullptr;
    if (innermost->current == nullptr) {
        innermost->current = create(conversion_chunk, 1 + reserve);
    }
    return innermost->current;
}

namespace {
/// Takes a scope out of its thread's chain and gives back its references.
void end_scope(scope_state& state) noexcept {
    // A scope that ends before one made after it (both held on the heap, say) is taken out of
    // the thread's chain where it is, so the chain never leads to a scope that has ended.
    scope_state** link = &innermost;
    while (*link != &state) {
        if (*link == nullptr) {
            std::fputs("Sylvane::arena_scope: a scope ended on a thread other than its own\n",
                       stderr);
            std::abort();
        }
        link = &(*link)->outer;
    }
    *link = state.outer;
    if (state.current == nullptr) return;  // a conversion's scope that made no node
    // The scope's own reference and what it did not lend of its reserve.
    const std::size_t unlent = 1 + arena::reserve - state.lent;
    if (state.current->refs.fetch_sub(unlent, std::memory_order_acq_rel) == unlent)
        free_arena(state.current);
}
}  // namespace

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
arena_scope::arena_scope()
    : state_{detail::arena::create(1024, 1 + detail::arena::reserve), 0, detail::innermost} {
    detail::innermost = &state_;
}

arena_scope::~arena_scope() {
    detail::end_scope(state_);
}

namespace detail {

conversion_scope::conversion_scope() noexcept : state_{nullptr, 0, innermost}, open_(false) {
    if (innermost == nullptr) {
        innermost = &state_;
        open_ = true;
    }
}

void conversion_scope::end() noexcept {
    if (state_.current != nullptr) {
        const std::size_t used = state_.current->bytes_used();
        const std::size_t wanted =
            std::max(used + used / 8, conversion_chunk - conversion_chunk / 8);
        conversion_chunk =
            std::clamp((wanted + 15) / 16 * 16, conversion_chunk_min, conversion_chunk_max);
    }
    end_scope(state_);
}

}  // namespace detail

}  // namespace Sylvane::json_tree

namespace Sylvane::json_tree::detail {

void free_arena(arena_count* a) noexcept {
    // Nothing in an arena holds a counted reference, so freeing one never frees another.
    // The first chunk, freed last, holds the arena itself. Chunks go to the thread's kept
    // memory, for the next tree.
    auto* self = static_cast<arena*>(a);
    for (arena::chunk* c = self->last_; c != nullptr;) {
        arena::chunk* prev = c->prev;
        give_block(c, c->size);
        c = prev;
    }
}

}  // namespace Sylvane::json_tree::detail
