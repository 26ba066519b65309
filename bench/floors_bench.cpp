// The floors: what no conversion can beat. A `memcpy` of the bytes that a task's result holds,
// into storage allocated in the loop as a converter's result is.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "peers_common.hpp"

namespace {

using namespace sylvane_bench;

/// Copies `n` elements of `width` bytes each into a fresh buffer per iteration.
void copy_bytes(benchmark::State& state, std::size_t n, std::size_t width) {
    const std::vector<std::byte> source(n * width, std::byte{1});
    for (auto _ : state) {
        auto out = std::make_unique_for_overwrite<std::byte[]>(source.size());
        std::memcpy(out.get(), source.data(), source.size());
        benchmark::DoNotOptimize(out.get());
        benchmark::ClobberMemory();
    }
    per_element(state, n);
}

// The integers out of the tree: 8 bytes each. Into a tree: the 16-byte element of each.
void ints_tree_to_vector_memcpy(benchmark::State& state) {
    copy_bytes(state, int_count, sizeof(std::int64_t));
}
BENCHMARK(ints_tree_to_vector_memcpy)->Name("ints_tree_to_vector/memcpy");

void ints_vector_to_tree_memcpy(benchmark::State& state) {
    copy_bytes(state, int_count, 16);
}
BENCHMARK(ints_vector_to_tree_memcpy)->Name("ints_vector_to_tree/memcpy");

}  // namespace
