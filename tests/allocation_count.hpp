#pragma once
// Counts the allocations of a test program through a replaced global `operator new`. Include it
// in one file of the program only.

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
std::atomic<long> frees{0};
/// Blocks allocated and not yet freed.
[[maybe_unused]] long live() {
    return allocations.load() - frees.load();
}
}  // namespace

/// Whether the allocations are counted: under ThreadSanitizer, its runtime's `operator new` is
/// used instead of the one below.
[[maybe_unused]] inline bool allocations_counted() {
    const long before = allocations.load();
    ::operator delete(::operator new(1));
    return allocations.load() != before;
}

// Out of line, or g++ -O2 sees `free` on memory from `operator new` and warns.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    if (p != nullptr) frees.fetch_add(1, std::memory_order_relaxed);
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    if (p != nullptr) frees.fetch_add(1, std::memory_order_relaxed);
    std::free(p);
}
