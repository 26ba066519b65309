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

/// Whether the allocations are counted: not under ThreadSanitizer, whose runtime keeps its own
/// allocation functions.
[[maybe_unused]] inline bool allocations_counted() {
    const long before = allocations.load();
    ::operator delete(::operator new(1));
    return allocations.load() != before;
}

// ThreadSanitizer's runtime keeps its own allocation functions (replacing them fails to link
// where its own are pulled in): nothing is replaced or counted there.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SYLVANE_TEST_THREAD_SANITIZER
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define SYLVANE_TEST_THREAD_SANITIZER
#endif

#if !defined(SYLVANE_TEST_THREAD_SANITIZER)
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
// The array forms too: AddressSanitizer's runtime has its own, which would not count.
[[gnu::noinline]] void* operator new[](std::size_t size) {
    return ::operator new(size);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    ::operator delete(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    ::operator delete(p);
}
#endif
