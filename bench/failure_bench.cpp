// The failure path: converting a 1,000,000-element list of integers whose last element is a
// string, timed until the exception is caught. Each side prints its message once (to stderr)
// and carries it as the benchmark's label. RapidJSON has no exceptions and no conversions: its
// side is the caller's loop that throws a message of its own making.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/sylvane.hpp>

#include "peers_common.hpp"

#include "peer_headers.hpp"

namespace {

using namespace sylvane_bench;

/// The JSON text of the list: the integers, the last replaced by a string. Unused when no peer
/// is built in.
[[maybe_unused]] std::string wrong_list_text() {
    std::vector<std::int64_t> ints = make_ints();
    std::string s = "[";
    for (std::size_t i = 0; i + 1 < ints.size(); ++i) s += std::to_string(ints[i]) + ",";
    return s + "\"oops\"]";
}

/// Runs `convert` until it throws `E`, in every iteration; the message goes to stderr on the
/// first run of each side and into the label always.
template <class E, class F>
void time_to_exception(benchmark::State& state, const char* side, F convert) {
    std::string message = "(no exception)";
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(convert());
        } catch (const E& e) {
            message = e.what();
            benchmark::DoNotOptimize(message.data());
        }
    }
    static bool printed = false;  // one per side: each side's `F` is a lambda of its own
    if (!printed) {
        printed = true;
        std::fprintf(stderr, "failure/%s says: %s\n", side, message.c_str());
    }
    state.SetLabel(message);
    per_element(state, int_count);
}

void failure_sylvane(benchmark::State& state) {
    std::vector<Sylvane::yojson> items;
    for (std::int64_t x : make_ints()) items.push_back(Sylvane::yojson::Int(x));
    items.back() = Sylvane::yojson::String("oops");
    const Sylvane::yojson tree = Sylvane::yojson::List(std::move(items));
    namespace T = Sylvane::Treeform;
    time_to_exception<T::Of_yojson_error>(
        state, "sylvane", [&] { return T::list_of_yojson(T::int_of_yojson, tree); });
}
BENCHMARK(failure_sylvane)->Name("failure/sylvane");

#ifdef SYLVANE_BENCH_NLOHMANN
void failure_nlohmann(benchmark::State& state) {
    const nlohmann::json tree = nlohmann::json::parse(wrong_list_text());
    time_to_exception<nlohmann::json::exception>(
        state, "nlohmann", [&] { return tree.get<std::vector<std::int64_t>>(); });
}
BENCHMARK(failure_nlohmann)->Name("failure/nlohmann");
#endif

#ifdef SYLVANE_BENCH_BOOST_JSON
void failure_boost_json(benchmark::State& state) {
    const boost::json::value tree = boost::json::parse(wrong_list_text());
    time_to_exception<std::exception>(state, "boost_json", [&] {
        return boost::json::value_to<std::vector<std::int64_t>>(tree);
    });
}
BENCHMARK(failure_boost_json)->Name("failure/boost_json");
#endif

#ifdef SYLVANE_BENCH_RAPIDJSON
void failure_rapidjson(benchmark::State& state) {
    rapidjson::Document tree;
    tree.Parse(wrong_list_text().c_str());
    time_to_exception<std::runtime_error>(state, "rapidjson", [&] {
        std::vector<std::int64_t> v;
        v.reserve(tree.Size());
        for (const auto& x : tree.GetArray()) {
            if (!x.IsInt64())
                throw std::runtime_error("element " + std::to_string(v.size()) +
                                         ": integer needed (message made by the caller)");
            v.push_back(x.GetInt64());
        }
        return v;
    });
}
BENCHMARK(failure_rapidjson)->Name("failure/rapidjson");
#endif

#ifdef SYLVANE_BENCH_SIMDJSON
void failure_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::padded_string text(wrong_list_text());
    const simdjson::dom::array tree = parser.parse(text).get_array();
    // simdjson's own conversion with exceptions on: `std::int64_t(element)` throws.
    time_to_exception<simdjson::simdjson_error>(state, "simdjson", [&] {
        std::vector<std::int64_t> v;
        v.reserve(tree.size());
        for (simdjson::dom::element x : tree) v.push_back(std::int64_t(x));
        return v;
    });
}
BENCHMARK(failure_simdjson)->Name("failure/simdjson");
#endif

}  // namespace
