// The peers' sides of the container tasks: 1,000,000 integers between a tree and a
// `std::vector<std::int64_t>`, and 100,000 string-keyed bindings between a tree and a hash table.
// Each peer uses its own idiom: nlohmann and Boost.JSON their generic conversions, RapidJSON and
// simdjson a hand-written loop (they have none). A peer's table is a JSON object, the form its
// conversions give `std::unordered_map<std::string, std::int64_t>`. simdjson's DOM is read-only,
// so it has no side in the directions that build a tree. The table tasks are registered twice:
// as the tasks of the library's hash table and of `std::unordered_map` (std_types_bench.cpp).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "peers_common.hpp"

#include "peer_headers.hpp"

namespace {

using namespace sylvane_bench;
using table = std::unordered_map<std::string, std::int64_t>;

table make_table() {
    return make_string_table();
}

/// The JSON text of the integers and of the table, for the peers that can only read text (unused
/// when neither is built in).
[[maybe_unused]] std::string ints_text() {
    std::string s = "[";
    for (std::int64_t x : make_ints()) s += std::to_string(x) + ",";
    s.back() = ']';
    return s;
}

[[maybe_unused]] std::string table_text() {
    std::string s = "{";
    for (const auto& [k, v] : make_table()) s += "\"" + k + "\":" + std::to_string(v) + ",";
    s.back() = '}';
    return s;
}

#ifdef SYLVANE_BENCH_NLOHMANN

void ints_tree_to_vector_nlohmann(benchmark::State& state) {
    const nlohmann::json tree = make_ints();
    for (auto _ : state) {
        auto v = tree.get<std::vector<std::int64_t>>();
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_tree_to_vector_nlohmann)->Name("ints_tree_to_vector/nlohmann");

void ints_vector_to_tree_nlohmann(benchmark::State& state) {
    const std::vector<std::int64_t> ints = make_ints();
    for (auto _ : state) {
        nlohmann::json tree = ints;
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, int_count);
}
BENCHMARK(ints_vector_to_tree_nlohmann)->Name("ints_vector_to_tree/nlohmann");

void hashtbl_tree_to_table_nlohmann(benchmark::State& state) {
    const nlohmann::json tree = make_table();
    for (auto _ : state) {
        auto t = tree.get<table>();
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_tree_to_table_nlohmann)->Name("hashtbl_tree_to_table/nlohmann");
BENCHMARK(hashtbl_tree_to_table_nlohmann)->Name("map_tree_to_unordered_map/nlohmann");

void hashtbl_table_to_tree_nlohmann(benchmark::State& state) {
    const table t = make_table();
    for (auto _ : state) {
        nlohmann::json tree = t;
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_table_to_tree_nlohmann)->Name("hashtbl_table_to_tree/nlohmann");
BENCHMARK(hashtbl_table_to_tree_nlohmann)->Name("map_unordered_map_to_tree/nlohmann");

#endif

#ifdef SYLVANE_BENCH_BOOST_JSON

void ints_tree_to_vector_boost_json(benchmark::State& state) {
    const boost::json::value tree = boost::json::value_from(make_ints());
    for (auto _ : state) {
        auto v = boost::json::value_to<std::vector<std::int64_t>>(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_tree_to_vector_boost_json)->Name("ints_tree_to_vector/boost_json");

void ints_vector_to_tree_boost_json(benchmark::State& state) {
    const std::vector<std::int64_t> ints = make_ints();
    for (auto _ : state) {
        boost::json::value tree = boost::json::value_from(ints);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, int_count);
}
BENCHMARK(ints_vector_to_tree_boost_json)->Name("ints_vector_to_tree/boost_json");

void hashtbl_tree_to_table_boost_json(benchmark::State& state) {
    const boost::json::value tree = boost::json::value_from(make_table());
    for (auto _ : state) {
        auto t = boost::json::value_to<table>(tree);
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_tree_to_table_boost_json)->Name("hashtbl_tree_to_table/boost_json");
BENCHMARK(hashtbl_tree_to_table_boost_json)->Name("map_tree_to_unordered_map/boost_json");

void hashtbl_table_to_tree_boost_json(benchmark::State& state) {
    const table t = make_table();
    for (auto _ : state) {
        boost::json::value tree = boost::json::value_from(t);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_table_to_tree_boost_json)->Name("hashtbl_table_to_tree/boost_json");
BENCHMARK(hashtbl_table_to_tree_boost_json)->Name("map_unordered_map_to_tree/boost_json");

#endif

#ifdef SYLVANE_BENCH_RAPIDJSON

// RapidJSON converts nothing by itself: these are the loops its users write, checking each
// value's type as a converter must.

void ints_tree_to_vector_rapidjson(benchmark::State& state) {
    rapidjson::Document tree;
    tree.Parse(ints_text().c_str());
    for (auto _ : state) {
        const std::vector<std::int64_t> v = sylvane_bench::rapidjson_int64s(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_tree_to_vector_rapidjson)->Name("ints_tree_to_vector/rapidjson");

void ints_vector_to_tree_rapidjson(benchmark::State& state) {
    const std::vector<std::int64_t> ints = make_ints();
    for (auto _ : state) {
        rapidjson::Document tree(rapidjson::kArrayType);
        auto& alloc = tree.GetAllocator();
        tree.Reserve(static_cast<rapidjson::SizeType>(ints.size()), alloc);
        for (std::int64_t x : ints) tree.PushBack(rapidjson::Value(x), alloc);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, int_count);
}
BENCHMARK(ints_vector_to_tree_rapidjson)->Name("ints_vector_to_tree/rapidjson");

void hashtbl_tree_to_table_rapidjson(benchmark::State& state) {
    rapidjson::Document tree;
    tree.Parse(table_text().c_str());
    for (auto _ : state) {
        table t;
        t.reserve(tree.MemberCount());
        for (const auto& m : tree.GetObject()) {
            if (!m.value.IsInt64()) throw std::runtime_error("integer needed");
            t.emplace(std::string(m.name.GetString(), m.name.GetStringLength()),
                      m.value.GetInt64());
        }
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_tree_to_table_rapidjson)->Name("hashtbl_tree_to_table/rapidjson");
BENCHMARK(hashtbl_tree_to_table_rapidjson)->Name("map_tree_to_unordered_map/rapidjson");

void hashtbl_table_to_tree_rapidjson(benchmark::State& state) {
    const table t = make_table();
    for (auto _ : state) {
        rapidjson::Document tree(rapidjson::kObjectType);
        auto& alloc = tree.GetAllocator();
        for (const auto& [k, v] : t)
            tree.AddMember(
                rapidjson::Value(k.data(), static_cast<rapidjson::SizeType>(k.size()), alloc),
                rapidjson::Value(v), alloc);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_table_to_tree_rapidjson)->Name("hashtbl_table_to_tree/rapidjson");
BENCHMARK(hashtbl_table_to_tree_rapidjson)->Name("map_unordered_map_to_tree/rapidjson");

#endif

#ifdef SYLVANE_BENCH_SIMDJSON

void ints_tree_to_vector_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::padded_string text(ints_text());
    const simdjson::dom::array tree = parser.parse(text).get_array();
    for (auto _ : state) {
        std::vector<std::int64_t> v;
        v.reserve(tree.size());
        for (simdjson::dom::element x : tree) {
            std::int64_t n;
            if (x.get_int64().get(n) != simdjson::SUCCESS)
                throw std::runtime_error("integer needed");
            v.push_back(n);
        }
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_tree_to_vector_simdjson)->Name("ints_tree_to_vector/simdjson");

void hashtbl_tree_to_table_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::padded_string text(table_text());
    const simdjson::dom::object tree = parser.parse(text).get_object();
    for (auto _ : state) {
        table t;
        t.reserve(tree.size());
        for (simdjson::dom::key_value_pair m : tree) {
            std::int64_t n;
            if (m.value.get_int64().get(n) != simdjson::SUCCESS)
                throw std::runtime_error("integer needed");
            t.emplace(std::string(m.key), n);
        }
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(hashtbl_tree_to_table_simdjson)->Name("hashtbl_tree_to_table/simdjson");
BENCHMARK(hashtbl_tree_to_table_simdjson)->Name("map_tree_to_unordered_map/simdjson");

#endif

}  // namespace
