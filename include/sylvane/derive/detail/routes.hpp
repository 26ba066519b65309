#pragma once
// Counters of the routes that reads and writes of values take, for the library's own tests:
// they exist only where SYLVANE_COUNT_ROUTES is defined (the test suites define it); anywhere
// else counting a route compiles to nothing.

#include <cstddef>

#if defined(SYLVANE_COUNT_ROUTES)

namespace Sylvane::derive::detail {

/// Per thread: how many reads of text into a value went through a tree (the direct read gave
/// up, or was not tried), and how many values were written by making their tree.
struct route_counts {
    std::size_t trees_read = 0;
    std::size_t trees_written = 0;
};

inline route_counts& routes() noexcept {
    thread_local route_counts counts;
    return counts;
}

}  // namespace Sylvane::derive::detail

#define SYLVANE_COUNT_ROUTE(counter) (++::Sylvane::derive::detail::routes().counter)
#else
#define SYLVANE_COUNT_ROUTE(counter) static_cast<void>(0)
#endif
