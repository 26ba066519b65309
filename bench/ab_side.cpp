// One side of `bench/ab`: built against one revision of the library into a plugin of its own,
// whose only export times that revision's reader, writer or `read_as` on a text.

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/write_value.hpp>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "real_document_models.hpp"
#include "record.hpp"

namespace {

/// Nanoseconds per byte of `text` over `reps` runs of `run`.
template <class Run>
double per_byte(std::string_view text, int reps, Run run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) run();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / reps / static_cast<double>(text.size());
}

/// Nanoseconds per byte of `reps` reads of `text` into its model (or, if `writes`, writes of the
/// value read): the suite's records when it is a list, else the model of twitter.json,
/// citm_catalog.json or canada.json, told by a key that only that document's top level has.
double typed_per_byte(std::string_view text, int reps, bool writes) {
    const auto time = [&]<class T>(T*) {
        if (writes) {
            const T values = Sylvane::read_as<T>(text);
            return per_byte(text, reps, [&] {
                const std::string written = Sylvane::write(values);
                asm volatile("" : : "r"(written.data()) : "memory");  // made, and not left out
            });
        }
        return per_byte(text, reps, [&] {
            T values = Sylvane::read_as<T>(text);
            asm volatile("" : : "r"(&values) : "memory");  // made, and not left out
        });
    };
    const Sylvane::yojson tree = Sylvane::json_tree::read(text);
    if (tree.kind() == Sylvane::yojson_kind::List)
        return time(static_cast<std::vector<bench::record>*>(nullptr));
    for (const auto& [key, value] : tree.as_assoc()) {
        if (key == "statuses") return time(static_cast<twitter::timeline*>(nullptr));
        if (key == "performances") return time(static_cast<citm::catalog*>(nullptr));
        if (key == "features") return time(static_cast<canada::collection*>(nullptr));
    }
    return -1;
}

}  // namespace

/// Times `reps` reads (mode 0), reads with positions (1), writes of the tree read from it (2),
/// reads into its model with `read_as` (3) or writes of that value with `write` (4) of the `size`
/// bytes at `data`. A negative result: the
/// text is not JSON, or (mode 3) not one that has a model here.
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
            case 2: {
                const Sylvane::yojson tree = json::read(text);
                return per_byte(text, reps, [&] { sink = json::write(tree).size(); });
            }
            case 3: return typed_per_byte(text, reps, false);
            default: return typed_per_byte(text, reps, true);
        }
    } catch (...) {
        return -1;
    }
}
