#pragma once
/// Inputs shared by the peer sides of the suite: the same values that the Sylvane sides convert,
/// made deterministically so that every side of a task works on identical data.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace sylvane_bench {

inline constexpr std::size_t int_count = 1'000'000;
inline constexpr std::size_t binding_count = 100'000;
inline constexpr std::size_t record_count = 100'000;

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
inline std::string binding_key(std::size_t i) { return "key" + std::to_string(i); }

/// The record of the records task; `tags` and `parent` vary from record to record.
struct record {
    std::int64_t id;
    std::string name;
    double score;
    std::vector<std::string> tags;
    std::optional<std::int64_t> parent;
};

inline std::vector<record> make_records(std::size_t n = record_count) {
    static const char* const words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot"};
    std::vector<record> out;
    out.reserve(n);
    std::uint64_t s = 7;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t r = mix(s);
        record rec{static_cast<std::int64_t>(i), "user-" + std::to_string(r % 1'000'000),
                   static_cast<double>(r % 10'000) / 100.0, {}, std::nullopt};
        for (std::size_t t = 0; t < r % 4; ++t) rec.tags.emplace_back(words[(r >> (8 * t)) % 6]);
        if (i % 2 == 1) rec.parent = static_cast<std::int64_t>(i / 2);
        out.push_back(std::move(rec));
    }
    return out;
}

/// The shortest text that reads back as `x`, always with a fraction or an exponent.
inline std::string shortest(double x) {
    char buf[32];
    std::string s(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

/// The compact JSON text of `records`, an array of objects with the fields in declaration order
/// and `null` for an absent parent. Names and tags need no escapes.
inline std::string records_text(const std::vector<record>& records) {
    std::string s = "[";
    for (const record& r : records) {
        s += "{\"id\":" + std::to_string(r.id) + ",\"name\":\"" + r.name + "\",\"score\":";
        s += shortest(r.score);
        s += ",\"tags\":[";
        for (std::size_t i = 0; i < r.tags.size(); ++i) s += (i ? ",\"" : "\"") + r.tags[i] + "\"";
        s += "],\"parent\":" + (r.parent ? std::to_string(*r.parent) : std::string("null")) + "},";
    }
    if (records.empty()) s += ']';
    else s.back() = ']';
    return s;
}

/// Ends one benchmark with `n` elements per iteration, so that reports give time per element.
inline void per_element(benchmark::State& state, std::size_t n) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(n));
}

}  // namespace sylvane_bench
