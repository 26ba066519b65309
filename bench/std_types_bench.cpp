// The derived converters of standard types: 100,000 bindings between a JSON object and a
// `std::unordered_map<std::string, std::int64_t>` (the peers' sides of the same task are in
// peers_containers.cpp), and the rings of canada.json to
// `std::vector<std::vector<std::array<double, 2>>>`, per point, against the copy floor: the same
// walk with only the kind checks that any conversion needs.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/sylvane.hpp>

#include "peers_common.hpp"

namespace {

using namespace sylvane_bench;
using Sylvane::yojson;
using table = std::unordered_map<std::string, std::int64_t>;
using rings = std::vector<std::vector<std::array<double, 2>>>;

table make_table() {
    return make_string_table();
}

void map_tree_to_unordered_map(benchmark::State& state) {
    const yojson tree = Sylvane::yojson_of(make_table());
    for (auto _ : state) {
        auto t = Sylvane::of_yojson<table>(tree);
        benchmark::DoNotOptimize(t);
    }
    per_element(state, binding_count);
}
BENCHMARK(map_tree_to_unordered_map)->Name("map_tree_to_unordered_map/sylvane");

void map_unordered_map_to_tree(benchmark::State& state) {
    const table t = make_table();
    for (auto _ : state) {
        yojson tree = Sylvane::yojson_of(t);
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, binding_count);
}
BENCHMARK(map_unordered_map_to_tree)->Name("map_unordered_map_to_tree/sylvane");

/// The coordinates of canada.json's one feature, or a `Null` tree when the file is missing.
yojson canada_coordinates() {
    const std::filesystem::path path =
        std::filesystem::path(SYLVANE_REAL_DOCUMENTS_DIR) / "canada.json";
    if (!std::filesystem::exists(path)) return yojson::Null();
    const yojson doc = Sylvane::read_file(path);
    for (const auto& [key, features] : doc.as_assoc()) {
        if (key != "features") continue;
        for (const auto& [k, geometry] : features.as_list()[0].as_assoc()) {
            if (k != "geometry") continue;
            for (const auto& [g, coordinates] : geometry.as_assoc())
                if (g == "coordinates") return coordinates;
        }
    }
    return yojson::Null();
}

std::size_t point_count(const yojson& coordinates) {
    std::size_t n = 0;
    for (const yojson& ring : coordinates.as_list()) n += ring.as_list().size();
    return n;
}

void canada_points(benchmark::State& state) {
    const yojson coordinates = canada_coordinates();
    if (coordinates.is_null()) return state.SkipWithError("canada.json not found");
    for (auto _ : state) {
        auto r = Sylvane::of_yojson<rings>(coordinates);
        benchmark::DoNotOptimize(r);
    }
    per_element(state, point_count(coordinates));
}
BENCHMARK(canada_points)->Name("canada_tree_to_points/sylvane");

/// A coordinate: a `Float`, or an `Int` where the text has no fraction.
inline double coordinate(const yojson& t) {
    return t.kind() == Sylvane::yojson_kind::Float ? t.as_float() : static_cast<double>(t.as_int());
}

/// The floor: sized vectors, each point's two numbers copied out with their kind checked.
void canada_points_copy(benchmark::State& state) {
    const yojson coordinates = canada_coordinates();
    if (coordinates.is_null()) return state.SkipWithError("canada.json not found");
    for (auto _ : state) {
        rings r;
        r.reserve(coordinates.as_list().size());
        for (const yojson& ring : coordinates.as_list()) {
            auto& out = r.emplace_back();
            out.reserve(ring.as_list().size());
            for (const yojson& point : ring.as_list()) {
                const auto xy = point.as_list();
                if (xy.size() != 2) state.SkipWithError("not a point");
                out.push_back({coordinate(xy[0]), coordinate(xy[1])});
            }
        }
        benchmark::DoNotOptimize(r);
    }
    per_element(state, point_count(coordinates));
}
BENCHMARK(canada_points_copy)->Name("canada_tree_to_points/copy");

}  // namespace
