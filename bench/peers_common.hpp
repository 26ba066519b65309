#pragma once
/// Inputs shared by the peer sides of the suite: the same values that the Sylvane sides convert,
/// made deterministically so that every side of a task works on identical data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

namespace sylvane_bench {

inline constexpr std::size_t int_count = 1'000'000;
inline constexpr std::size_t binding_count = 100'000;

/// A step of splitmix64: cheap, well mixed and the same on every platform.
inline std::uint64_t mix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

/// `n` integers of every magnitude, negative ones included.
inline std::vector<std::int64_t> make_ints(std::size_t n = int_count) {
    std::vector<std::int64_t> v;
    v.reserve(n);
    std::uint64_t s = 42;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t r = mix(s);
        v.push_back(static_cast<std::int64_t>(r) >> (r % 63));
    }
    return v;
}

/// The key of the `i`-th binding: "key" and the index, distinct for every `i`.
inline std::string binding_key(std::size_t i) {
    return "key" + std::to_string(i);
}

/// The 100,000 bindings of the table tasks, keyed by `binding_key`.
inline std::unordered_map<std::string, std::int64_t> make_string_table() {
    std::vector<std::int64_t> values = make_ints(binding_count);
    std::unordered_map<std::string, std::int64_t> t;
    t.reserve(binding_count);
    for (std::size_t i = 0; i < binding_count; ++i) t.emplace(binding_key(i), values[i]);
    return t;
}

/// Ends one benchmark with `n` elements per iteration, so that reports give time per element.
inline void per_element(benchmark::State& state, std::size_t n) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(n));
}

}  // namespace sylvane_bench
