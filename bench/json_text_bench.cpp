// Reading and writing a 20 MB JSON document of records: Sylvane's yojson against the peer JSON
// libraries found at build time, each reading into and writing from its own document type.
//
//     json_text_bench                      the timings, with ns per record
//     json_text_bench --peak-rss=NAME      peak memory that reading costs NAME, in one process
#include <json_tree/read.hpp>
#include <json_tree/write.hpp>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "peer_headers.hpp"

namespace {

constexpr std::size_t target_size = 20'000'000;

struct document {
    std::string text;
    std::size_t records = 0;
};

// An array of records of the usual mix: integers, doubles, short and long strings, a flag, a
// null, an array of strings and a nested object.
document generate() {
    static const char* const words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};
    static const char* const cities[] = {"Springfield", "Shelbyville", "Ogdenville", "North Haverbrook"};
    std::mt19937_64 rng(42);
    document d;
    d.text.reserve(target_size + 1024);
    d.text += '[';
    char buf[64];
    while (d.text.size() < target_size) {
        if (d.records > 0) d.text += ',';
        const std::size_t id = d.records++;
        const auto r = rng();
        d.text += "{\"id\":" + std::to_string(id);
        d.text += ",\"name\":\"User " + std::to_string(id) + " " + words[r % 8] + "\"";
        d.text += ",\"email\":\"user" + std::to_string(id) + "@example.com\"";
        d.text += std::string(",\"active\":") + ((r >> 3) & 1 ? "true" : "false");
        std::snprintf(buf, sizeof buf, ",\"score\":%.2f", static_cast<double>((r >> 8) % 100000) / 100);
        d.text += buf;
        d.text += ",\"age\":" + std::to_string(18 + (r >> 20) % 70);
        d.text += ",\"tags\":[";
        for (std::size_t t = 0, n = 1 + (r >> 30) % 4; t < n; ++t) {
            if (t) d.text += ',';
            d.text += std::string("\"") + words[(r >> (33 + 3 * t)) % 8] + "\"";
        }
        d.text += "],\"address\":{\"street\":\"" + std::to_string((r >> 45) % 9999) + " Evergreen Terrace\"";
        d.text += std::string(",\"city\":\"") + cities[(r >> 50) % 4] + "\",\"zip\":\"" + std::to_string(10000 + (r >> 52) % 89999) + "\"}";
        std::snprintf(buf, sizeof buf, ",\"balance\":%.6g", (static_cast<double>(r % 2000000) - 1000000) / 7.0);
        d.text += buf;
        d.text += ",\"note\":null}";
    }
    d.text += ']';
    return d;
}

const document& doc() {
    static const document d = generate();
    return d;
}

void per_record(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc().text.size()));
    state.counters["ns_per_record"] = benchmark::Counter(
        static_cast<double>(doc().records) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Reads with `parse` each iteration; with `keep` the document is dropped outside the timing,
// which separates reading from freeing.
template <class Parse>
void reading(benchmark::State& state, bool keep, Parse parse) {
    for (auto _ : state) {
        auto d = parse();
        benchmark::DoNotOptimize(d);
        if (keep) {
            state.PauseTiming();
            { auto dropped = std::move(d); }
            state.ResumeTiming();
        }
    }
    per_record(state);
}

// Sylvane -----------------------------------------------------------------------------------

void read_sylvane(benchmark::State& state) {
    reading(state, state.range(0), [] { return Sylvane::json_tree::read(doc().text); });
}
void write_sylvane(benchmark::State& state) {
    const auto tree = Sylvane::json_tree::read(doc().text);
    for (auto _ : state) benchmark::DoNotOptimize(Sylvane::json_tree::write(tree));
    per_record(state);
}
void read_sylvane_positions(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Sylvane::json_tree::read_with_positions(doc().text));
    per_record(state);
}
BENCHMARK(read_sylvane)->ArgName("keep")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(write_sylvane)->Unit(benchmark::kMillisecond);
BENCHMARK(read_sylvane_positions)->Unit(benchmark::kMillisecond);

#ifdef SYLVANE_BENCH_NLOHMANN
void read_nlohmann(benchmark::State& state) {
    reading(state, state.range(0), [] { return nlohmann::json::parse(doc().text); });
}
void write_nlohmann(benchmark::State& state) {
    const auto j = nlohmann::json::parse(doc().text);
    for (auto _ : state) benchmark::DoNotOptimize(j.dump());
    per_record(state);
}
BENCHMARK(read_nlohmann)->ArgName("keep")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(write_nlohmann)->Unit(benchmark::kMillisecond);
#endif

#ifdef SYLVANE_BENCH_BOOST_JSON
void read_boost(benchmark::State& state) {
    reading(state, state.range(0), [] { return boost::json::parse(doc().text); });
}
void write_boost(benchmark::State& state) {
    const auto v = boost::json::parse(doc().text);
    for (auto _ : state) benchmark::DoNotOptimize(boost::json::serialize(v));
    per_record(state);
}
BENCHMARK(read_boost)->ArgName("keep")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(write_boost)->Unit(benchmark::kMillisecond);
#endif

#ifdef SYLVANE_BENCH_RAPIDJSON
void read_rapidjson(benchmark::State& state) {
    reading(state, state.range(0), [&] {
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse(doc().text.data(), doc().text.size());
        if (d->HasParseError()) state.SkipWithError("rapidjson refused the document");
        return d;
    });
}
void write_rapidjson(benchmark::State& state) {
    rapidjson::Document d;
    d.Parse(doc().text.data(), doc().text.size());
    for (auto _ : state) {
        rapidjson::StringBuffer out;
        rapidjson::Writer<rapidjson::StringBuffer> w(out);
        d.Accept(w);
        benchmark::DoNotOptimize(out.GetString());
    }
    per_record(state);
}
BENCHMARK(read_rapidjson)->ArgName("keep")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(write_rapidjson)->Unit(benchmark::kMillisecond);
#endif

#ifdef SYLVANE_BENCH_SIMDJSON
// The DOM parser is reused, as simdjson recommends: its buffers are allocated once.
void read_simdjson(benchmark::State& state) {
    const simdjson::padded_string text(doc().text);
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element e;
        if (parser.parse(text).get(e)) state.SkipWithError("simdjson refused the document");
        benchmark::DoNotOptimize(e);
    }
    per_record(state);
}
void write_simdjson(benchmark::State& state) {
    const simdjson::padded_string text(doc().text);
    simdjson::dom::parser parser;
    simdjson::dom::element e = parser.parse(text);
    for (auto _ : state) benchmark::DoNotOptimize(simdjson::to_string(e));
    per_record(state);
}
BENCHMARK(read_simdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(write_simdjson)->Unit(benchmark::kMillisecond);
#endif

long peak_kib() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Reads the document once with `name` and prints the growth of the peak resident size.
int peak_rss(std::string_view name) {
    const std::string& text = doc().text;
    const long before = peak_kib();
    bool known = true;
    if (name == "sylvane") {
        const auto t = Sylvane::json_tree::read(text);
        benchmark::DoNotOptimize(t);
    }
#ifdef SYLVANE_BENCH_NLOHMANN
    else if (name == "nlohmann") {
        const auto j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
    else if (name == "boost") {
        const auto v = boost::json::parse(text);
        benchmark::DoNotOptimize(v);
    }
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    else if (name == "rapidjson") {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        benchmark::DoNotOptimize(d);
    }
#endif
#ifdef SYLVANE_BENCH_SIMDJSON
    else if (name == "simdjson") {
        const simdjson::padded_string padded(text);
        simdjson::dom::parser parser;
        simdjson::dom::element e = parser.parse(padded);
        benchmark::DoNotOptimize(e);
    }
#endif
    else {
        known = false;
    }
    if (!known) {
        std::fprintf(stderr, "unknown or absent library: %.*s\n", static_cast<int>(name.size()), name.data());
        return 2;
    }
    std::printf("%.*s: %.1f MB peak for reading a %.1f MB document of %zu records\n", static_cast<int>(name.size()),
                name.data(), static_cast<double>(peak_kib() - before) / 1024, static_cast<double>(text.size()) / 1e6,
                doc().records);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], "--peak-rss=", 11) == 0) return peak_rss(argv[1] + 11);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("document: %.1f MB, %zu records\n", static_cast<double>(doc().text.size()) / 1e6, doc().records);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
