#pragma once
// The headers of the peer libraries that this build found; each side of a benchmark compiles
// only when its library is there.

#ifdef SYLVANE_BENCH_NLOHMANN
#include <nlohmann/json.hpp>
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
#include <boost/json.hpp>
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#include <rapidjson/istreamwrapper.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace sylvane_bench {

/// The integers of a RapidJSON array, each checked as a converter must: RapidJSON converts
/// nothing by itself, so this is the loop its users write.
inline std::vector<std::int64_t> rapidjson_int64s(const rapidjson::Value& tree) {
    if (!tree.IsArray()) throw std::runtime_error("array needed");
    std::vector<std::int64_t> v;
    v.reserve(tree.Size());
    for (const auto& x : tree.GetArray()) {
        if (!x.IsInt64()) throw std::runtime_error("integer needed");
        v.push_back(x.GetInt64());
    }
    return v;
}

}  // namespace sylvane_bench
#endif
#ifdef SYLVANE_BENCH_SIMDJSON
#include <simdjson.h>
#endif
