#pragma once
/// Documents made of large arrays of numbers, generated from a fixed seed: a 3-D mesh (vertex
/// positions, normals and texture coordinates as single-precision values, triangle indices), a
/// point cloud (points of three coordinates and an intensity), a long time series of doubles,
/// and 10,000 random doubles of every magnitude from 10^-8 to 10^8, both signs. The real documents
/// of the suite are text-heavy or, for canada.json, one kind of array; these are what models, scans
/// and sensors write.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace sylvane_bench {

namespace detail {

using Sylvane::yojson;

inline yojson floats(std::vector<double> xs) {
    std::vector<yojson> items;
    items.reserve(xs.size());
    for (double x : xs) items.push_back(yojson::Float(x));
    return yojson::List(std::move(items));
}

/// A single-precision value widened to a double, as a model's exporter writes it: most need
/// nine significant digits.
inline double single(double x) {
    return static_cast<double>(static_cast<float>(x));
}

inline yojson mesh() {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    constexpr std::size_t side = 120;  // a grid of side x side vertices on a wavy surface
    std::vector<double> positions, normals, uvs;
    for (std::size_t i = 0; i < side; ++i)
        for (std::size_t j = 0; j < side; ++j) {
            const double u = static_cast<double>(i) / (side - 1),
                         v = static_cast<double>(j) / (side - 1);
            const double h = 0.2 * std::sin(6 * u) * std::cos(4 * v) + jitter(rng);
            positions.insert(positions.end(), {single(u * 4 - 2), single(h), single(v * 4 - 2)});
            const double nx = -1.2 * std::cos(6 * u) * std::cos(4 * v),
                         nz = 0.8 * std::sin(6 * u) * std::sin(4 * v);
            const double len = std::sqrt(nx * nx + 1 + nz * nz);
            normals.insert(normals.end(), {single(nx / len), single(1 / len), single(nz / len)});
            uvs.insert(uvs.end(), {single(u), single(v)});
        }
    std::vector<yojson> indices;
    for (std::size_t i = 0; i + 1 < side; ++i)
        for (std::size_t j = 0; j + 1 < side; ++j) {
            const auto k = static_cast<std::int64_t>(i * side + j);
            const auto s = static_cast<std::int64_t>(side);
            for (std::int64_t x : {k, k + s, k + 1, k + 1, k + s, k + s + 1})
                indices.push_back(yojson::Int(x));
        }
    return yojson::Assoc({{"name", yojson::String("terrain")},
                          {"positions", floats(std::move(positions))},
                          {"normals", floats(std::move(normals))},
                          {"uvs", floats(std::move(uvs))},
                          {"indices", yojson::List(std::move(indices))}});
}

inline yojson point_cloud() {
    std::mt19937_64 rng(11);
    std::normal_distribution<double> spread(0, 3);
    std::uniform_int_distribution<int> intensity(0, 65535);
    std::vector<yojson> points;
    for (std::size_t i = 0; i < 40'000; ++i) {
        // Coordinates of a scanner, in millimetres: three decimals.
        const auto mm = [&] { return std::round(spread(rng) * 1000) / 1000; };
        points.push_back(yojson::List({yojson::Float(mm()), yojson::Float(mm()),
                                       yojson::Float(mm()), yojson::Int(intensity(rng))}));
    }
    return yojson::Assoc(
        {{"frame", yojson::String("scanner")}, {"points", yojson::List(std::move(points))}});
}

inline yojson time_series() {
    std::mt19937_64 rng(13);
    std::normal_distribution<double> step(0, 0.05);
    std::vector<double> values;
    double level = 20;
    for (std::size_t i = 0; i < 100'000; ++i) values.push_back(level += step(rng));
    std::vector<yojson> times;
    for (std::size_t i = 0; i < 100'000; ++i)
        times.push_back(yojson::Int(1'700'000'000'000 + static_cast<std::int64_t>(i) * 250));
    return yojson::Assoc({{"sensor", yojson::String("temperature")},
                          {"unit", yojson::String("celsius")},
                          {"times", yojson::List(std::move(times))},
                          {"values", floats(std::move(values))}});
}

inline yojson random_doubles() {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> magnitude(-8, 8);
    std::vector<double> xs;
    for (std::size_t i = 0; i < 10'000; ++i)
        xs.push_back((rng() & 1 ? -1 : 1) * unit(rng) * std::pow(10.0, magnitude(rng)));
    return floats(std::move(xs));
}

}  // namespace detail

/// The generated documents of numbers, by file name, as compact text.
inline std::vector<std::pair<std::string, std::string>> make_number_documents() {
    return {{"mesh.json", Sylvane::json_tree::write(detail::mesh())},
            {"point_cloud.json", Sylvane::json_tree::write(detail::point_cloud())},
            {"time_series.json", Sylvane::json_tree::write(detail::time_series())},
            {"doubles.json", Sylvane::json_tree::write(detail::random_doubles())}};
}

}  // namespace sylvane_bench
