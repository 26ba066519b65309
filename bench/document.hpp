#pragma once
/// The 20 MB JSON document of the suite: what the reading and writing tasks time and what
/// `peak_memory` reads. Generated from a fixed seed, so every side and every run sees the same
/// text.

#include <cstddef>
#include <cstdio>
#include <random>
#include <string>

namespace sylvane_bench {

/// Records are added until the text reaches this size.
inline constexpr std::size_t document_bytes = 20'000'000;

struct document {
    std::string text;
    std::size_t records = 0;  ///< elements of the top-level array
};

/// An array of records of the usual mix: integers, doubles, short and long strings, a flag, a
/// null, an array of strings and a nested object. No string needs an escape.
inline document make_document(std::size_t min_bytes = document_bytes) {
    static const char* const words[] = {"alpha",   "beta", "gamma", "delta",
                                        "epsilon", "zeta", "eta",   "theta"};
    static const char* const cities[] = {"Springfield", "Shelbyville", "Ogdenville",
                                         "North Haverbrook"};
    std::mt19937_64 rng(42);
    document d;
    d.text.reserve(min_bytes + 1024);
    d.text += '[';
    char buf[64];
    while (d.text.size() < min_bytes) {
        if (d.records > 0) d.text += ',';
        const std::size_t id = d.records++;
        const auto r = rng();
        d.text += "{\"id\":" + std::to_string(id);
        d.text += ",\"name\":\"User " + std::to_string(id) + " " + words[r % 8] + "\"";
        d.text += ",\"email\":\"user" + std::to_string(id) + "@example.com\"";
        d.text += std::string(",\"active\":") + ((r >> 3) & 1 ? "true" : "false");
        std::snprintf(buf, sizeof buf, ",\"score\":%.2f",
                      static_cast<double>((r >> 8) % 100000) / 100);
        d.text += buf;
        d.text += ",\"age\":" + std::to_string(18 + (r >> 20) % 70);
        d.text += ",\"tags\":[";
        for (std::size_t t = 0, n = 1 + (r >> 30) % 4; t < n; ++t) {
            if (t) d.text += ',';
            d.text += std::string("\"") + words[(r >> (33 + 3 * t)) % 8] + "\"";
        }
        d.text += "],\"address\":{\"street\":\"" + std::to_string((r >> 45) % 9999) +
                  " Evergreen Terrace\"";
        d.text += std::string(",\"city\":\"") + cities[(r >> 50) % 4] + "\",\"zip\":\"" +
                  std::to_string(10000 + (r >> 52) % 89999) + "\"}";
        std::snprintf(buf, sizeof buf, ",\"balance\":%.6g",
                      (static_cast<double>(r % 2000000) - 1000000) / 7.0);
        d.text += buf;
        d.text += ",\"note\":null}";
    }
    d.text += ']';
    return d;
}

}  // namespace sylvane_bench
