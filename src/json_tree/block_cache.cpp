#include "block_cache.hpp"
#include <sylvane/json_tree/memory.hpp>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <new>

namespace Sylvane::json_tree::detail {

namespace {

std::atomic<std::size_t> limit{default_cached_memory_limit};

// Classes of eight sizes between powers of two, from just above `min_cached_block` (2^14) up
// to 2^40 bytes; larger blocks are never kept.
constexpr int first_power = 14;
constexpr int last_power = 40;
constexpr std::size_t class_count = (last_power - first_power) * 8;

/// A kept block, linked through its own first bytes.
struct free_block {
    free_block* next;
};

constexpr std::size_t max_release_functions = 16;

// Trivially destructible, so that it stays usable after the thread's destructors have run:
// memory freed then (by a tree in another thread-local object) goes straight to malloc.
struct thread_cache {
    free_block* bins[class_count];
    std::size_t held;  // bytes of the kept blocks and of the buffers counted by `keep`
    void (*release[max_release_functions])() noexcept;
    std::size_t release_count;
    bool ending;
};
constinit thread_local thread_cache cache{};

/// The class of a size from `block_size` above `min_cached_block`, or `class_count` for none.
std::size_t class_of(std::size_t size) noexcept {
    const std::size_t c = size - 1;
    const int power = static_cast<int>(std::bit_width(c)) - 1;  // 2^power <= c < 2^(power + 1)
    if (power >= last_power) return class_count;
    const std::size_t step = std::size_t{1} << (power - 3);
    return static_cast<std::size_t>(power - first_power) * 8 + (c / step - 8);
}

std::size_t size_of_class(std::size_t k) noexcept {
    const int power = first_power + static_cast<int>(k / 8);
    const std::size_t step = std::size_t{1} << (power - 3);
    return (k % 8 + 9) * step;
}

void free_blocks() noexcept {
    for (std::size_t k = 0; k < class_count; ++k) {
        for (free_block* b = cache.bins[k]; b != nullptr;) {
            free_block* next = b->next;
            ::operator delete(b);
            cache.held -= size_of_class(k);
            b = next;
        }
        cache.bins[k] = nullptr;
    }
}

/// Frees kept blocks, the largest first, until `bytes` more fit the limit or none is left;
/// never those of class `spared`, which the caller is about to keep.
bool make_room(std::size_t bytes, std::size_t spared) noexcept {
    const std::size_t cap = limit.load(std::memory_order_relaxed);
    if (bytes > cap) return false;
    for (std::size_t k = class_count; k-- > 0 && cache.held + bytes > cap;) {
        if (k == spared) continue;
        const std::size_t size = size_of_class(k);
        while (cache.bins[k] != nullptr && cache.held + bytes > cap) {
            free_block* b = cache.bins[k];
            cache.bins[k] = b->next;
            ::operator delete(b);
            cache.held -= size;
        }
    }
    return cache.held + bytes <= cap;
}

void release_all() noexcept {
    // Each function frees its buffer and gives back its count; a buffer may come back as a
    // block, so blocks are freed after them.
    for (std::size_t i = 0; i < cache.release_count; ++i) cache.release[i]();
    free_blocks();
}

/// Frees what the thread keeps when it ends, and from then on keeps nothing.
struct thread_end {
    ~thread_end() {
        release_all();
        cache.ending = true;
    }
};
thread_local thread_end at_thread_end;

/// Makes sure that `at_thread_end` runs for this thread.
void arm_thread_end() noexcept {
    [[maybe_unused]] thread_end* volatile armed = &at_thread_end;
}

}  // namespace

std::size_t block_size(std::size_t n) noexcept {
    if (n <= min_cached_block) return n;
    const std::size_t c = n - 1;
    const std::size_t step = std::size_t{1} << (std::bit_width(c) - 4);
    return n > SIZE_MAX / 2 ? n : (c / step + 1) * step;
}

void* take_block(std::size_t size) {
    if (size > min_cached_block && size == block_size(size)) {
        const std::size_t k = class_of(size);
        if (k < class_count && cache.bins[k] != nullptr) {
            free_block* b = cache.bins[k];
            cache.bins[k] = b->next;
            cache.held -= size;
            return b;
        }
    }
    return ::operator new(size);
}

void give_block(void* block, std::size_t size) noexcept {
    // A size of no class (not from `block_size`) would come back for a larger request.
    if (size > min_cached_block && !cache.ending && size == block_size(size)) {
        const std::size_t k = class_of(size);
        if (k < class_count &&
            (cache.held + size <= limit.load(std::memory_order_relaxed) || make_room(size, k))) {
            if (cache.held == 0) arm_thread_end();
            cache.bins[k] = ::new (block) free_block{cache.bins[k]};
            cache.held += size;
            return;
        }
    }
    ::operator delete(block);
}

bool keep(std::size_t bytes) noexcept {
    if (cache.ending) return false;
    if (cache.held + bytes > limit.load(std::memory_order_relaxed) &&
        !make_room(bytes, class_count))
        return false;
    cache.held += bytes;
    return true;
}

void unkeep(std::size_t bytes) noexcept {
    cache.held -= bytes;
}

bool on_release(void (*release)() noexcept) noexcept {
    if (cache.ending) return false;
    const auto end = cache.release + cache.release_count;
    if (std::find(cache.release, end, release) != end) return true;
    if (cache.release_count == max_release_functions) return false;
    arm_thread_end();
    cache.release[cache.release_count++] = release;
    return true;
}

}  // namespace Sylvane::json_tree::detail

namespace Sylvane::json_tree {

void set_cached_memory_limit(std::size_t bytes) noexcept {
    detail::limit.store(bytes, std::memory_order_relaxed);
    if (detail::cache.held > bytes && !detail::make_room(0, detail::class_count))
        detail::release_all();
}

std::size_t cached_memory_limit() noexcept {
    return detail::limit.load(std::memory_order_relaxed);
}

std::size_t cached_memory() noexcept {
    return detail::cache.held;
}

void release_cached_memory() noexcept {
    detail::release_all();
}

}  // namespace Sylvane::json_tree
