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
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#endif
#ifdef SYLVANE_BENCH_SIMDJSON
#include <simdjson.h>
#endif
