// Text straight to values: the text of 1,000,000 integers to a `std::vector<std::int64_t>`.
// Sylvane's `read_as` reads the values from the text without a tree; simdjson's on-demand API
// does the same from its padded copy of the text (made once, outside the timing: its input
// requirement); RapidJSON, Boost.JSON and nlohmann read their tree and convert it, the tree
// freed inside the timing. No side knows the count beforehand, except through its tree.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/read_as.hpp>

#include "peers_common.hpp"

#include "peer_headers.hpp"

namespace {

using namespace sylvane_bench;

const std::string& ints_text() {
    static const std::string text = [] {
        std::string s = "[";
        for (std::int64_t x : make_ints()) s += std::to_string(x) + ",";
        s.back() = ']';
        return s;
    }();
    return text;
}

void ints_text_to_vector_sylvane(benchmark::State& state) {
    const std::string& text = ints_text();
    for (auto _ : state) {
        auto v = Sylvane::read_as<std::vector<std::int64_t>>(text);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_sylvane)->Name("ints_text_to_vector/sylvane");

// The way `read_as` went before it read straight from the text: the tree, then the conversion.
void ints_text_to_vector_through_tree(benchmark::State& state) {
    const std::string& text = ints_text();
    for (auto _ : state) {
        auto v = Sylvane::of_yojson<std::vector<std::int64_t>>(Sylvane::read(text));
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_through_tree)->Name("ints_text_to_vector/sylvane_tree");

#ifdef SYLVANE_BENCH_SIMDJSON

void ints_text_to_vector_simdjson_ondemand(benchmark::State& state) {
    const simdjson::padded_string text(ints_text());
    simdjson::ondemand::parser parser;
    for (auto _ : state) {
        std::vector<std::int64_t> v;
        simdjson::ondemand::document doc = parser.iterate(text);
        for (std::int64_t x : doc.get_array()) v.push_back(x);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_simdjson_ondemand)->Name("ints_text_to_vector/simdjson_ondemand");

#endif

#ifdef SYLVANE_BENCH_RAPIDJSON

void ints_text_to_vector_rapidjson(benchmark::State& state) {
    const std::string& text = ints_text();
    for (auto _ : state) {
        rapidjson::Document tree;
        tree.Parse(text.data(), text.size());
        if (tree.HasParseError()) throw std::runtime_error("not JSON");
        const std::vector<std::int64_t> v = sylvane_bench::rapidjson_int64s(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_rapidjson)->Name("ints_text_to_vector/rapidjson");

#endif

#ifdef SYLVANE_BENCH_BOOST_JSON

void ints_text_to_vector_boost_json(benchmark::State& state) {
    const std::string& text = ints_text();
    for (auto _ : state) {
        auto v = boost::json::value_to<std::vector<std::int64_t>>(boost::json::parse(text));
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_boost_json)->Name("ints_text_to_vector/boost_json");

#endif

#ifdef SYLVANE_BENCH_NLOHMANN

void ints_text_to_vector_nlohmann(benchmark::State& state) {
    const std::string& text = ints_text();
    for (auto _ : state) {
        auto v = nlohmann::json::parse(text).get<std::vector<std::int64_t>>();
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, int_count);
}
BENCHMARK(ints_text_to_vector_nlohmann)->Name("ints_text_to_vector/nlohmann");

#endif

}  // namespace
