// One side of `bench/ab`: built against one revision of the library into a plugin of its own,
// whose only export times that revision's reader or writer on a text.

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include <chrono>
#include <cstddef>
#include <string_view>

namespace {

/// Nanoseconds per byte of `text` over `reps` runs of `run`.
template <class Run>
double per_byte(std::string_view text, int reps, Run run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) run();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / reps / static_cast<double>(text.size());
}

}  // namespace

/// Times `reps` reads (mode 0), reads with positions (1) or writes of the tree read from it (2)
/// of the `size` bytes at `data`. A negative result: the text is not JSON.
extern "C" [[gnu::visibility("default")]] double sylvane_ab_time(const char* data, std::size_t size,
                                                                 int reps, int mode) noexcept {
    namespace json = Sylvane::json_tree;
    const std::string_view text(data, size);
    try {
        volatile std::size_t sink = 0;  // a store the compiler cannot drop: no run is left out
        switch (mode) {
            case 0:
                return per_byte(text, reps,
                                [&] { sink = static_cast<std::size_t>(json::read(text).kind()); });
            case 1:
                return per_byte(text, reps, [&] {
                    sink = static_cast<std::size_t>(json::read_with_positions(text).tree.kind());
                });
            default: {
                const Sylvane::yojson tree = json::read(text);
                return per_byte(text, reps, [&] { sink = json::write(tree).size(); });
            }
        }
    } catch (...) {
        return -1;
    }
}
