#pragma once
/// The record of the records and thread tasks, `{id, name, score, tags, parent}`, with Sylvane's
/// derived converters, and the 100,000 records those tasks convert.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sylvane/derive/derive.hpp>

namespace bench {

struct record {
    std::int64_t id = 0;
    std::string name;
    double score = 0;
    std::vector<std::string> tags;
    std::optional<std::int64_t> parent;
};
SYLVANE_RECORD(record, id, name, score, tags, parent)

inline constexpr std::size_t count = 100'000;

inline std::vector<record> make_records() {
    static const char* const words[] = {"red", "green", "blue", "alpha", "beta", "omega"};
    std::vector<record> v;
    v.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        record r;
        r.id = static_cast<std::int64_t>(i) * 7919;
        r.name = "user-" + std::to_string(i);
        r.score = static_cast<double>(i) * 0.25;
        for (std::size_t t = 0; t < i % 4; ++t) r.tags.emplace_back(words[(i + t) % 6]);
        if (i % 2 == 1) r.parent = static_cast<std::int64_t>(i - 1);
        v.push_back(std::move(r));
    }
    return v;
}

}  // namespace bench
