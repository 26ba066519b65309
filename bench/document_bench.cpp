// Reading and writing the 20 MB document (`document.hpp`): Sylvane's `json_tree::read` and
// `write` against each peer found at build time, each reading into and writing from its own tree.
// Times are per record of the document.
//
//     document_read            text to tree, the tree freed inside the timing
//     document_read_only       the same with the tree freed outside it: reading alone
//     document_read_positions  Sylvane's reader also recording where every node starts
//     document_write           a tree read beforehand to compact text

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include "document.hpp"
#include "peers_common.hpp"

#include "peer_headers.hpp"

namespace {

using namespace sylvane_bench;

/// Made on first use, which every side makes before its timed loop.
const document& doc() {
    static const document d = make_document();
    return d;
}

void per_record(benchmark::State& state) {
    per_element(state, doc().records);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(doc().text.size()));
}

/// Times `run`, which reads or writes the whole document and returns what it made; with
/// `drop_untimed` that is freed with the timer paused, which separates reading from freeing. A
/// first run, untimed, makes the document and warms the allocator, so that a short run does not
/// time the first touch of fresh pages.
template <class Run>
void timing(benchmark::State& state, bool drop_untimed, Run run) {
    {
        auto warm = run();
        benchmark::DoNotOptimize(warm);
    }
    for (auto _ : state) {
        auto made = run();
        benchmark::DoNotOptimize(made);
        if (drop_untimed) {
            state.PauseTiming();
            made = decltype(made)();
            state.ResumeTiming();
        }
    }
    per_record(state);
}

/// Times `write` of the tree that `read` makes of the document once, before the timing.
template <class Read, class Write>
void writing(benchmark::State& state, Read read, Write write) {
    const auto tree = read();
    timing(state, false, [&] { return write(tree); });
}

/// Registers `task/side` for one side's read, read with the drop untimed, and write.
template <class Read, class Write>
void register_side(const char* side, Read read, Write write) {
    const std::string s = side;
    benchmark::RegisterBenchmark(("document_read/" + s).c_str(), [=](benchmark::State& st) {
        timing(st, false, read);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("document_read_only/" + s).c_str(), [=](benchmark::State& st) {
        timing(st, true, read);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("document_write/" + s).c_str(), [=](benchmark::State& st) {
        writing(st, read, write);
    })->Unit(benchmark::kMillisecond);
}

void read_positions_sylvane(benchmark::State& state) {
    timing(state, false, [] { return Sylvane::json_tree::read_with_positions(doc().text); });
}
BENCHMARK(read_positions_sylvane)
    ->Name("document_read_positions/sylvane")
    ->Unit(benchmark::kMillisecond);

#ifdef SYLVANE_BENCH_SIMDJSON
// simdjson's DOM parser owns the tree and is reused, as its documentation recommends: its
// buffers are allocated by a first, untimed read, so a timed read allocates and frees nothing
// and there is no side with the drop untimed.
const simdjson::padded_string& padded_text() {
    static const simdjson::padded_string text(doc().text);
    return text;
}

void read_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    if (parser.parse(padded_text()).error()) state.SkipWithError("simdjson refused the document");
    for (auto _ : state) {
        simdjson::dom::element tree;
        if (parser.parse(padded_text()).get(tree))
            state.SkipWithError("simdjson refused the document");
        benchmark::DoNotOptimize(tree);
    }
    per_record(state);
}
BENCHMARK(read_simdjson)->Name("document_read/simdjson")->Unit(benchmark::kMillisecond);

void write_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::dom::element tree = parser.parse(padded_text());
    timing(state, false, [&] { return simdjson::to_string(tree); });
}
BENCHMARK(write_simdjson)->Name("document_write/simdjson")->Unit(benchmark::kMillisecond);
#endif

// Registered before `main` runs, in the suite's order of sides.
[[maybe_unused]] const bool registered = [] {
    register_side(
        "sylvane", [] { return Sylvane::json_tree::read(doc().text); },
        [](const Sylvane::yojson& tree) { return Sylvane::json_tree::write(tree); });
#ifdef SYLVANE_BENCH_NLOHMANN
    register_side(
        "nlohmann", [] { return nlohmann::json::parse(doc().text); },
        [](const nlohmann::json& tree) { return tree.dump(); });
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
    register_side(
        "boost_json", [] { return boost::json::parse(doc().text); },
        [](const boost::json::value& tree) { return boost::json::serialize(tree); });
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    // The document lives behind a pointer so that it can be dropped like the other trees.
    register_side(
        "rapidjson",
        [] {
            auto tree = std::make_unique<rapidjson::Document>();
            tree->Parse(doc().text.data(), doc().text.size());
            if (tree->HasParseError()) throw std::runtime_error("rapidjson refused the document");
            return tree;
        },
        [](const std::unique_ptr<rapidjson::Document>& tree) {
            rapidjson::StringBuffer out;
            rapidjson::Writer<rapidjson::StringBuffer> writer(out);
            tree->Accept(writer);
            return out;
        });
#endif
    return true;
}();

}  // namespace
