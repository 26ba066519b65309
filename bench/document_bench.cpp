// Reading and writing documents: Sylvane's `json_tree::read`, `read_with_positions` and `write`
// against each peer found at build time, each reading into and writing from its own tree. The
// documents are the generated 20 MB one (`document.hpp`, times per record) and the three real
// ones of the public JSON benchmark corpus, canada.json (numbers), citm_catalog.json (many small
// objects) and twitter.json (non-ASCII text and escapes), times per byte. The real ones are read
// from SYLVANE_REAL_DOCUMENTS_DIR; those missing there are left out.
//
//     <doc>_read            text to tree, the tree freed inside the timing
//     <doc>_read_only       the same with the tree freed outside it (the 20 MB document only)
//     <doc>_read_positions  Sylvane's reader also recording where every node starts
//     <doc>_write           a tree read beforehand to compact text
//     <doc>_read_stream     text to tree through a `std::istream` (the real documents only;
//                           the sides that read streams: Sylvane, nlohmann, RapidJSON)
//
// where <doc> is `document`, `canada`, `citm`, `twitter`, `status` (the first status of
// twitter.json alone, compact, as a web API returns one (2.5 KB), which shows what a read costs
// besides its bytes) or one of the generated documents of large arrays of numbers
// (`number_documents.hpp`): `mesh`, `points`, `series`, `doubles`. Each task also counts the page
// faults per run (`faults`).

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include "document.hpp"
#include "number_documents.hpp"
#include "peers_common.hpp"

#include "peer_headers.hpp"

namespace {

using namespace sylvane_bench;

/// One document of the suite: its text (made on first use, which every side makes before its
/// timed loop) and the elements its times are given per.
struct subject {
    std::string name;
    std::function<const std::string&()> text;
    std::function<std::size_t()> elements;
};

/// Ends the timing of one side on `s`: elements and bytes per second.
void count(benchmark::State& state, const subject& s) {
    per_element(state, s.elements());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(s.text().size()));
}

/// Times `run`, which reads or writes the whole document and returns what it made; with
/// `drop_untimed` that is freed with the timer paused, which separates reading from freeing. A
/// first run, untimed, makes the document and warms the allocator, so that a short run does not
/// time the first touch of fresh pages.
long page_faults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

template <class Run>
void timing(benchmark::State& state, const subject& s, bool drop_untimed, Run run) {
    {
        auto warm = run();
        benchmark::DoNotOptimize(warm);
    }
    const long faults = page_faults();
    for (auto _ : state) {
        auto made = run();
        benchmark::DoNotOptimize(made);
        if (drop_untimed) {
            state.PauseTiming();
            made = decltype(made)();
            state.ResumeTiming();
        }
    }
    state.counters["faults"] = benchmark::Counter(static_cast<double>(page_faults() - faults),
                                                  benchmark::Counter::kAvgIterations);
    count(state, s);
}

/// Registers `task` for `side` on `s`; the function gets the state and the subject.
template <class Body>
void task(const subject& s, const char* task_name, const char* side, Body body) {
    const std::string name = s.name + "_" + task_name + "/" + side;
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
        body(st, s);
    })->Unit(s.name == "status" ? benchmark::kMicrosecond : benchmark::kMillisecond);
}

/// Registers one side's read (and, for the 20 MB document, read with the drop untimed) and write
/// of `s`: `read(text)` makes a tree and `write(tree)` text.
template <class Read, class Write>
void side(const subject& s, const char* side_name, Read read, Write write) {
    const auto read_all = [=](const subject& d) { return [=] { return read(d.text()); }; };
    task(s, "read", side_name,
         [=](benchmark::State& st, const subject& d) { timing(st, d, false, read_all(d)); });
    if (s.name == "document")
        task(s, "read_only", side_name,
             [=](benchmark::State& st, const subject& d) { timing(st, d, true, read_all(d)); });
    task(s, "write", side_name, [=](benchmark::State& st, const subject& d) {
        const auto tree = read(d.text());
        timing(st, d, false, [&] { return write(tree); });
    });
}

#ifdef SYLVANE_BENCH_SIMDJSON
// simdjson's DOM parser owns the tree and is reused, as its documentation recommends: its
// buffers are allocated by a first, untimed read, so a timed read allocates and frees nothing
// and there is no side with the drop untimed.
void simdjson_side(const subject& s) {
    task(s, "read", "simdjson", [](benchmark::State& st, const subject& d) {
        const simdjson::padded_string text(d.text());
        simdjson::dom::parser parser;
        if (parser.parse(text).error()) st.SkipWithError("simdjson refused the document");
        const long faults = page_faults();
        for (auto _ : st) {
            simdjson::dom::element tree;
            if (parser.parse(text).get(tree)) st.SkipWithError("simdjson refused the document");
            benchmark::DoNotOptimize(tree);
        }
        st.counters["faults"] = benchmark::Counter(static_cast<double>(page_faults() - faults),
                                                   benchmark::Counter::kAvgIterations);
        count(st, d);
    });
    task(s, "write", "simdjson", [](benchmark::State& st, const subject& d) {
        const simdjson::padded_string text(d.text());
        simdjson::dom::parser parser;
        const simdjson::dom::element tree = parser.parse(text);
        timing(st, d, false, [&] { return simdjson::to_string(tree); });
    });
}
#endif

void sides(const subject& s) {
    side(
        s, "sylvane", [](const std::string& t) { return Sylvane::json_tree::read(t); },
        [](const Sylvane::yojson& tree) { return Sylvane::json_tree::write(tree); });
    task(s, "read_positions", "sylvane", [](benchmark::State& st, const subject& d) {
        timing(st, d, false, [&] { return Sylvane::json_tree::read_with_positions(d.text()); });
    });
#ifdef SYLVANE_BENCH_NLOHMANN
    side(
        s, "nlohmann", [](const std::string& t) { return nlohmann::json::parse(t); },
        [](const nlohmann::json& tree) { return tree.dump(); });
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
    side(
        s, "boost_json", [](const std::string& t) { return boost::json::parse(t); },
        [](const boost::json::value& tree) { return boost::json::serialize(tree); });
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    // The document lives behind a pointer so that it can be dropped like the other trees. Its
    // default flags leave full-precision parsing of doubles off; Sylvane rounds every one.
    side(
        s, "rapidjson",
        [](const std::string& t) {
            auto tree = std::make_unique<rapidjson::Document>();
            tree->Parse(t.data(), t.size());
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
#ifdef SYLVANE_BENCH_SIMDJSON
    simdjson_side(s);
#endif
}

/// A stream buffer over a text held elsewhere, read without a copy, as a stream of a file would
/// be with all of it buffered: what a stream costs a reader beside the text itself.
class text_buffer : public std::streambuf {
public:
    explicit text_buffer(const std::string& text) {
        char* p = const_cast<char*>(text.data());  // only ever read
        setg(p, p, p + text.size());
    }
};

/// Registers the sides that read `s` from a `std::istream`: `read(in)` makes a tree.
template <class Read>
void stream_side(const subject& s, const char* side_name, Read read) {
    task(s, "read_stream", side_name, [=](benchmark::State& st, const subject& d) {
        timing(st, d, false, [&] {
            text_buffer buffer(d.text());
            std::istream in(&buffer);
            return read(in);
        });
    });
}

void stream_sides(const subject& s) {
    stream_side(s, "sylvane", [](std::istream& in) { return Sylvane::json_tree::read(in); });
#ifdef SYLVANE_BENCH_NLOHMANN
    stream_side(s, "nlohmann", [](std::istream& in) { return nlohmann::json::parse(in); });
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    stream_side(s, "rapidjson", [](std::istream& in) {
        rapidjson::IStreamWrapper wrapped(in);
        auto tree = std::make_unique<rapidjson::Document>();
        tree->ParseStream(wrapped);
        if (tree->HasParseError()) throw std::runtime_error("rapidjson refused the document");
        return tree;
    });
#endif
}

const document& generated() {
    static const document d = make_document();
    return d;
}

/// The bytes of the file at `path`, or nothing when it cannot be read.
std::shared_ptr<const std::string> slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    auto text = std::make_shared<std::string>(std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>{});
    return in.bad() ? nullptr : text;
}

// Registered before `main` runs, in the suite's order of sides.
[[maybe_unused]] const bool registered = [] {
    sides({"document", []() -> const std::string& { return generated().text; },
           [] { return generated().records; }});
    const std::filesystem::path dir = SYLVANE_REAL_DOCUMENTS_DIR;
    const std::pair<const char*, const char*> real[] = {
        {"canada", "canada.json"}, {"citm", "citm_catalog.json"}, {"twitter", "twitter.json"}};
    for (const auto& [name, file] : real)
        if (auto text = slurp(dir / file)) {
            const subject s{name, [text]() -> const std::string& { return *text; },
                            [text] { return text->size(); }};
            sides(s);
            stream_sides(s);
        }
    const std::pair<const char*, const char*> generated_numbers[] = {{"mesh", "mesh.json"},
                                                                     {"points", "point_cloud.json"},
                                                                     {"series", "time_series.json"},
                                                                     {"doubles", "doubles.json"}};
    const auto numbers = make_number_documents();
    for (const auto& [name, file] : generated_numbers)
        for (const auto& [made, text] : numbers)
            if (made == file) {
                auto kept = std::make_shared<const std::string>(text);
                sides({name, [kept]() -> const std::string& { return *kept; },
                       [kept] { return kept->size(); }});
            }
    if (auto twitter = slurp(dir / "twitter.json")) {
        const Sylvane::yojson tree = Sylvane::json_tree::read(*twitter);
        for (const auto& [key, value] : tree.as_assoc())
            if (key == "statuses" && !value.as_list().empty()) {
                auto status = std::make_shared<std::string>(
                    Sylvane::json_tree::write(value.as_list().front()));
                sides({"status", [status]() -> const std::string& { return *status; },
                       [status] { return status->size(); }});
            }
    }
    return true;
}();

}  // namespace
