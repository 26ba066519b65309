// The container converters against the floor: 1,000,000 `Int` trees to a vector and back,
// 100,000 string-keyed table bindings both ways, and the plain loop that no conversion of the
// integers can beat (copy each value out of a vector of 16-byte tagged structs, checking the
// tag). Results are converted, dropped and freed inside the loop, as the peers' sides are.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/treeform.hpp>

#include "peers_common.hpp"

namespace {

using namespace sylvane_bench;
using namespace Sylvane::Treeform;
using Sylvane::yojson;

// The floor: the same shape as a tree element (a tag and an 8-byte payload).
struct tagged {
    std::uint8_t tag;
    std::int64_t value;
};
static_assert(sizeof(tagged) == 16);

[[noreturn]] __attribute__((noinline)) void bad_tag() {
    throw std::runtime_error("bad tag");
}

void floor_tagged_loop(benchmark::State& state) {
    std::vector<tagged> in;
    for (std::int64_t x : make_ints()) in.push_back({3, x});
    for (auto _ : state) {
        std::vector<std::int64_t> out;
        out.reserve(in.size());
        for (const tagged& t : in) {
            if (t.tag != 3) bad_tag();
            out.push_back(t.value);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    per_element(state, int_count);
}
BENCHMARK(floor_tagged_loop)->Name("ints_tree_to_vector/loop");

void list_of_yojson_int(benchmark::State& state) {
    const yojson tree = yojson_of_list(yojson_of_int, make_ints());
    for (auto _ : state) {
        std::vector<std::int64_t> v = list_of_yojson(int_of_yojson, tree);
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
    per_element(state, int_count);
}
BENCHMARK(list_of_yojson_int)->Name("ints_tree_to_vector/sylvane");

void array_of_yojson_int(benchmark::State& state) {
    const yojson tree = yojson_of_list(yojson_of_int, make_ints());
    for (auto _ : state) {
        std::vector<std::int64_t> v = array_of_yojson(int_of_yojson, tree);
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
    per_element(state, int_count);
}
BENCHMARK(array_of_yojson_int)->Name("ints_tree_to_array/sylvane");

void yojson_of_list_int(benchmark::State& state) {
    const std::vector<std::int64_t> ints = make_ints();
    for (auto _ : state) {
        yojson tree = yojson_of_list(yojson_of_int, ints);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, int_count);
}
BENCHMARK(yojson_of_list_int)->Name("ints_vector_to_tree/sylvane");

void yojson_of_array_int(benchmark::State& state) {
    const std::vector<std::int64_t> ints = make_ints();
    for (auto _ : state) {
        yojson tree = yojson_of_array(yojson_of_int, ints);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, int_count);
}
BENCHMARK(yojson_of_array_int)->Name("ints_array_to_tree/sylvane");

Sylvane::hashtbl<std::string, std::int64_t> make_table() {
    std::vector<std::int64_t> values = make_ints(binding_count);
    Sylvane::hashtbl<std::string, std::int64_t> t(binding_count);
    for (std::size_t i = 0; i < binding_count; ++i) t.add(binding_key(i), values[i]);
    return t;
}

void hashtbl_of_yojson_string_int(benchmark::State& state) {
    const yojson tree = yojson_of_hashtbl(yojson_of_string, yojson_of_int, make_table());
    for (auto _ : state) {
        auto t = hashtbl_of_yojson(string_of_yojson, int_of_yojson, tree);
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_of_yojson_string_int)->Name("hashtbl_tree_to_table/sylvane");

void yojson_of_hashtbl_string_int(benchmark::State& state) {
    const auto table = make_table();
    for (auto _ : state) {
        yojson tree = yojson_of_hashtbl(yojson_of_string, yojson_of_int, table);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, binding_count);
}
BENCHMARK(yojson_of_hashtbl_string_int)->Name("hashtbl_table_to_tree/sylvane");

}  // namespace
