// The readers of streams against reading the same records whole: the 100,000 records of the
// records task as JSON Lines (`read_lines`) and as one top-level array (`read_array_items`),
// each read from a stream one record at a time, beside `read_as` of the whole
// array in memory; and simdjson's readers of many documents (single thread) beside them.

#include <cstddef>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/sylvane.hpp>

#include "peer_headers.hpp"
#include "record.hpp"

namespace bench {
namespace {

/// The bytes of a text in memory as a stream buffer, read in place.
struct in_place_buffer : std::streambuf {
    explicit in_place_buffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());  // only read: the get area
        setg(begin, begin, begin + text.size());
    }
};

/// A stream over text already in memory, read in place: a `std::istringstream` would copy the
/// whole text first, which is the harness's work, not the reader's (simdjson's readers below
/// are given their text in memory too). The buffer is a base, so that it is made before the
/// stream that reads it.
class text_stream : private in_place_buffer, public std::istream {
public:
    explicit text_stream(const std::string& text)
        : in_place_buffer(text), std::istream(static_cast<in_place_buffer*>(this)) {}
};

const std::vector<record>& stream_records() {
    static const std::vector<record> r = make_records();
    return r;
}

const std::string& records_array_text() {
    static const std::string text = Sylvane::write(stream_records());
    return text;
}

const std::string& records_lines_text() {
    static const std::string text = [] {
        std::ostringstream out;
        Sylvane::write_lines(out, stream_records());
        return out.str();
    }();
    return text;
}

void per_record(benchmark::State& state) {
    state.counters["ns_per_record"] = benchmark::Counter(
        static_cast<double>(count) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void whole_array(benchmark::State& state) {
    for (auto _ : state) {
        auto v = Sylvane::read_as<std::vector<record>>(records_array_text());
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

void lines(benchmark::State& state) {
    for (auto _ : state) {
        text_stream in(records_lines_text());
        std::size_t n = 0;
        for (const record& r : Sylvane::read_lines<record>(in)) n += r.tags.size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

// Wall time: the work is on the reader's threads.
void lines_two_threads(benchmark::State& state) {
    Sylvane::stream_options options;
    options.threads = 2;
    for (auto _ : state) {
        text_stream in(records_lines_text());
        std::size_t n = 0;
        for (const record& r : Sylvane::read_lines<record>(in, options)) n += r.tags.size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

void pushed(benchmark::State& state) {
    const std::string& text = records_lines_text();
    for (auto _ : state) {
        Sylvane::push_reader<record> reader;
        std::size_t n = 0;
        for (std::size_t at = 0; at < text.size(); at += 65536) {
            reader.feed(std::string_view(text).substr(at, 65536));
            while (auto r = reader.next()) n += r->tags.size();
        }
        reader.finish();
        while (auto r = reader.next()) n += r->tags.size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

void array_items(benchmark::State& state) {
    for (auto _ : state) {
        text_stream in(records_array_text());
        std::size_t n = 0;
        for (const record& r : Sylvane::read_array_items<record>(in)) n += r.tags.size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

void lines_as_trees(benchmark::State& state) {
    for (auto _ : state) {
        text_stream in(records_lines_text());
        std::size_t n = 0;
        for (const Sylvane::yojson& t : Sylvane::read_lines<Sylvane::yojson>(in))
            n += t.as_assoc().size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

void array_items_as_trees(benchmark::State& state) {
    for (auto _ : state) {
        text_stream in(records_array_text());
        std::size_t n = 0;
        for (const Sylvane::yojson& t : Sylvane::read_array_items<Sylvane::yojson>(in))
            n += t.as_assoc().size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}

void whole_tree(benchmark::State& state) {
    for (auto _ : state) {
        const Sylvane::yojson t = Sylvane::read(records_array_text());
        benchmark::DoNotOptimize(t.as_list().size());
    }
    per_record(state);
}

BENCHMARK(lines)->Name("lines_records/sylvane")->Unit(benchmark::kMillisecond);
BENCHMARK(whole_array)->Name("lines_records/sylvane_whole")->Unit(benchmark::kMillisecond);
BENCHMARK(lines_two_threads)
    ->Name("lines_records/sylvane_2_threads")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(pushed)->Name("lines_records/sylvane_push")->Unit(benchmark::kMillisecond);
BENCHMARK(array_items)->Name("array_items_records/sylvane")->Unit(benchmark::kMillisecond);
BENCHMARK(whole_array)->Name("array_items_records/sylvane_whole")->Unit(benchmark::kMillisecond);
BENCHMARK(lines_as_trees)->Name("lines_trees/sylvane")->Unit(benchmark::kMillisecond);
BENCHMARK(array_items_as_trees)->Name("array_items_trees/sylvane")->Unit(benchmark::kMillisecond);
BENCHMARK(whole_tree)->Name("array_items_trees/sylvane_whole")->Unit(benchmark::kMillisecond);

#ifdef SYLVANE_BENCH_SIMDJSON
// Trees: each line a DOM document (`parse_many`), every node visited as a tree is.
void simdjson_parse_many(benchmark::State& state) {
    const simdjson::padded_string text(records_lines_text());
    simdjson::dom::parser parser;
    for (auto _ : state) {
        std::size_t n = 0;
        simdjson::dom::document_stream docs = parser.parse_many(text);
        for (simdjson::dom::element doc : docs) n += simdjson::dom::object(doc).size();
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}
BENCHMARK(simdjson_parse_many)->Name("lines_trees/simdjson_many")->Unit(benchmark::kMillisecond);

// Records: each line an on-demand document (`iterate_many`), read field by field by hand.
void simdjson_iterate_many(benchmark::State& state) {
    const simdjson::padded_string text(records_lines_text());
    simdjson::ondemand::parser parser;
    for (auto _ : state) {
        std::size_t n = 0;
        simdjson::ondemand::document_stream docs = parser.iterate_many(text);
        for (auto doc : docs) {
            record r;
            for (auto field : doc.get_object()) {
                const std::string_view key = field.unescaped_key();
                if (key == "id") {
                    r.id = field.value().get_int64();
                } else if (key == "name") {
                    r.name = std::string_view(field.value().get_string());
                } else if (key == "score") {
                    r.score = field.value().get_double();
                } else if (key == "tags") {
                    for (auto t : field.value().get_array())
                        r.tags.emplace_back(std::string_view(t.get_string()));
                } else if (key == "parent") {
                    simdjson::ondemand::value p = field.value();
                    if (!p.is_null()) r.parent = p.get_int64();
                }
            }
            n += r.tags.size();
        }
        benchmark::DoNotOptimize(n);
    }
    per_record(state);
}
BENCHMARK(simdjson_iterate_many)
    ->Name("lines_records/simdjson_many")
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace bench
