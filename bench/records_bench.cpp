// Derived record converters against the peers: 100,000 records
// `{id, name, score, tags, parent}` from each library's own tree to a `std::vector` of structs,
// and back. nlohmann and Boost.JSON use their derivation macros; RapidJSON and simdjson have
// none, so theirs are the loops a user writes by hand. A deep copy of the records is the floor.
// Every side reports `ns_per_record` (shown with the unit "s" by Google Benchmark).

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>
#include <boost/describe.hpp>
#include <boost/json.hpp>
#include <nlohmann/json.hpp>

#include <sylvane/derive/derive.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

#include "record.hpp"

// nlohmann has no `std::optional` support of its own before 3.11.3: its documented serializer.
namespace nlohmann {
template <class T>
struct adl_serializer<std::optional<T>> {
    static void to_json(json& j, const std::optional<T>& o) {
        if (o)
            j = *o;
        else
            j = nullptr;
    }
    static void from_json(const json& j, std::optional<T>& o) {
        if (j.is_null())
            o.reset();
        else
            o = j.get<T>();
    }
};
}  // namespace nlohmann

namespace bench {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(record, id, name, score, tags, parent)
BOOST_DESCRIBE_STRUCT(record, (), (id, name, score, tags, parent))

const std::vector<record>& records() {
    static const std::vector<record> r = make_records();
    return r;
}

/// The records as JSON text: every side of the tree-to-records task reads its tree from it, as
/// a program does that turns a JSON document into typed values.
const std::string& records_text() {
    static const std::string text = nlohmann::json(records()).dump();
    return text;
}

void per_record(benchmark::State& state) {
    state.counters["ns_per_record"] = benchmark::Counter(
        static_cast<double>(count) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace bench

namespace bench {
namespace {

void copy_floor(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<record> copy = records();
        benchmark::DoNotOptimize(copy.data());
    }
    per_record(state);
}

void sylvane_tree_to_records(benchmark::State& state) {
    const Sylvane::yojson tree = Sylvane::read(records_text());
    for (auto _ : state) {
        auto v = Sylvane::of_yojson<std::vector<record>>(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

void sylvane_records_to_tree(benchmark::State& state) {
    for (auto _ : state) {
        Sylvane::yojson tree = Sylvane::yojson_of(records());
        benchmark::DoNotOptimize(tree);
    }
    per_record(state);
}

// The same with the tree's nodes in an arena scope, as RapidJSON's document keeps its values in
// its pool; the tree is still freed inside the timing.
void sylvane_records_to_tree_in_arena(benchmark::State& state) {
    for (auto _ : state) {
        Sylvane::yojson tree;
        {
            Sylvane::arena_scope scope;
            tree = Sylvane::yojson_of(records());
        }
        benchmark::DoNotOptimize(tree);
    }
    per_record(state);
}

// The same, leaving the tree's destruction out of the timing: what building alone costs.
void sylvane_records_to_tree_build_only(benchmark::State& state) {
    for (auto _ : state) {
        Sylvane::yojson tree = Sylvane::yojson_of(records());
        benchmark::DoNotOptimize(tree);
        state.PauseTiming();
        tree = Sylvane::yojson();
        state.ResumeTiming();
    }
    per_record(state);
}

void boost_records_to_tree_build_only(benchmark::State& state) {
    for (auto _ : state) {
        boost::json::value tree = boost::json::value_from(records());
        benchmark::DoNotOptimize(tree);
        state.PauseTiming();
        tree = nullptr;
        state.ResumeTiming();
    }
    per_record(state);
}

void nlohmann_tree_to_records(benchmark::State& state) {
    const nlohmann::json tree = nlohmann::json::parse(records_text());
    for (auto _ : state) {
        auto v = tree.get<std::vector<record>>();
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

void nlohmann_records_to_tree(benchmark::State& state) {
    for (auto _ : state) {
        nlohmann::json tree = records();
        benchmark::DoNotOptimize(tree);
    }
    per_record(state);
}

void boost_tree_to_records(benchmark::State& state) {
    const boost::json::value tree = boost::json::parse(records_text());
    for (auto _ : state) {
        auto v = boost::json::value_to<std::vector<record>>(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

void boost_records_to_tree(benchmark::State& state) {
    for (auto _ : state) {
        boost::json::value tree = boost::json::value_from(records());
        benchmark::DoNotOptimize(tree);
    }
    per_record(state);
}

[[noreturn]] void bad(std::string_view what) {
    throw std::runtime_error(std::string(what));
}

using rj_value = rapidjson::Value;

const rj_value& rj_field(const rj_value& object, const char* name) {
    auto it = object.FindMember(name);
    if (it == object.MemberEnd()) bad(name);
    return it->value;
}

void rj_build(rapidjson::Document& d) {
    auto& a = d.GetAllocator();
    d.SetArray();
    d.Reserve(static_cast<rapidjson::SizeType>(count), a);
    for (const record& r : records()) {
        rj_value o(rapidjson::kObjectType);
        rj_value tags(rapidjson::kArrayType);
        tags.Reserve(static_cast<rapidjson::SizeType>(r.tags.size()), a);
        for (const auto& t : r.tags)
            tags.PushBack(rj_value(t.data(), static_cast<rapidjson::SizeType>(t.size()), a), a);
        o.AddMember("id", rj_value(r.id), a);
        o.AddMember("name",
                    rj_value(r.name.data(), static_cast<rapidjson::SizeType>(r.name.size()), a), a);
        o.AddMember("score", rj_value(r.score), a);
        o.AddMember("tags", tags, a);
        o.AddMember("parent", r.parent ? rj_value(*r.parent) : rj_value(), a);
        d.PushBack(o, a);
    }
}

std::vector<record> rj_records(const rj_value& d) {
    std::vector<record> out;
    out.reserve(d.Size());
    for (const rj_value& o : d.GetArray()) {
        if (!o.IsObject()) bad("object needed");
        const rj_value& id = rj_field(o, "id");
        const rj_value& name = rj_field(o, "name");
        const rj_value& score = rj_field(o, "score");
        const rj_value& tags = rj_field(o, "tags");
        const rj_value& parent = rj_field(o, "parent");
        if (!id.IsInt64() || !name.IsString() || !score.IsNumber() || !tags.IsArray() ||
            !(parent.IsNull() || parent.IsInt64()))
            bad("field of the wrong type");
        record r{id.GetInt64(),
                 std::string(name.GetString(), name.GetStringLength()),
                 score.GetDouble(),
                 {},
                 std::nullopt};
        r.tags.reserve(tags.Size());
        for (const rj_value& t : tags.GetArray()) {
            if (!t.IsString()) bad("tag");
            r.tags.emplace_back(t.GetString(), t.GetStringLength());
        }
        if (!parent.IsNull()) r.parent = parent.GetInt64();
        out.push_back(std::move(r));
    }
    return out;
}

void rapidjson_tree_to_records(benchmark::State& state) {
    rapidjson::Document d;
    d.Parse(records_text().data(), records_text().size());
    if (d.HasParseError()) bad("rapidjson refused the records");
    for (auto _ : state) {
        std::vector<record> out = rj_records(d);
        benchmark::DoNotOptimize(out.data());
    }
    per_record(state);
}

void rapidjson_records_to_tree(benchmark::State& state) {
    for (auto _ : state) {
        rapidjson::Document d;  // its pool allocator
        rj_build(d);
        benchmark::DoNotOptimize(d);
    }
    per_record(state);
}

void simdjson_tree_to_records(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::dom::element doc = parser.parse(records_text());
    for (auto _ : state) {
        std::vector<record> out;
        simdjson::dom::array arr = doc.get_array();
        out.reserve(arr.size());
        for (simdjson::dom::object o : arr) {
            record r;
            r.id = o["id"].get_int64();
            r.name = std::string_view(o["name"].get_string());
            r.score = o["score"].get_double();
            simdjson::dom::array tags = o["tags"].get_array();
            r.tags.reserve(tags.size());
            for (simdjson::dom::element t : tags)
                r.tags.emplace_back(std::string_view(t.get_string()));
            simdjson::dom::element p = o["parent"];
            if (!p.is_null()) r.parent = p.get_int64();
            out.push_back(std::move(r));
        }
        benchmark::DoNotOptimize(out.data());
    }
    per_record(state);
}

// Values to text: the records as compact JSON text, through each library's tree where it has
// conversions (Boost.JSON, nlohmann), straight to the text with Sylvane's `write(value)`, and
// with RapidJSON's `Writer` driven by a loop written by hand; the last two build no tree.

void sylvane_values_to_text(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = Sylvane::write(records());
        benchmark::DoNotOptimize(text.data());
    }
    per_record(state);
}

// The way values went to text before `write(value)`: the tree, then its text.
void sylvane_values_through_tree_to_text(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = Sylvane::write(Sylvane::yojson_of(records()));
        benchmark::DoNotOptimize(text.data());
    }
    per_record(state);
}

void rapidjson_values_to_text(benchmark::State& state) {
    for (auto _ : state) {
        rapidjson::StringBuffer out;
        rapidjson::Writer<rapidjson::StringBuffer> w(out);
        w.StartArray();
        for (const record& r : records()) {
            w.StartObject();
            w.Key("id", 2);
            w.Int64(r.id);
            w.Key("name", 4);
            w.String(r.name.data(), static_cast<rapidjson::SizeType>(r.name.size()));
            w.Key("score", 5);
            w.Double(r.score);
            w.Key("tags", 4);
            w.StartArray();
            for (const auto& t : r.tags)
                w.String(t.data(), static_cast<rapidjson::SizeType>(t.size()));
            w.EndArray();
            w.Key("parent", 6);
            if (r.parent)
                w.Int64(*r.parent);
            else
                w.Null();
            w.EndObject();
        }
        w.EndArray();
        benchmark::DoNotOptimize(out.GetString());
    }
    per_record(state);
}

void boost_values_to_text(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = boost::json::serialize(boost::json::value_from(records()));
        benchmark::DoNotOptimize(text.data());
    }
    per_record(state);
}

void nlohmann_values_to_text(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = nlohmann::json(records()).dump();
        benchmark::DoNotOptimize(text.data());
    }
    per_record(state);
}

// Text to records: each library reads the text and converts, with the tree freed inside the
// timing. simdjson's on-demand API reads the records straight from its padded copy of the text,
// made once outside the timing (its input requirement).

void sylvane_text_to_records(benchmark::State& state) {
    for (auto _ : state) {
        auto v = Sylvane::read_as<std::vector<record>>(records_text());
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

// The way `read_as` went before it read straight from the text: the tree, then the conversion.
void sylvane_text_through_tree_to_records(benchmark::State& state) {
    for (auto _ : state) {
        auto v = Sylvane::of_yojson<std::vector<record>>(Sylvane::read(records_text()));
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

void simdjson_ondemand_text_to_records(benchmark::State& state) {
    const simdjson::padded_string text(records_text());
    simdjson::ondemand::parser parser;
    for (auto _ : state) {
        std::vector<record> out;
        out.reserve(count);
        simdjson::ondemand::document doc = parser.iterate(text);
        for (simdjson::ondemand::object o : doc.get_array()) {
            record r;
            for (auto field : o) {
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
                } else {
                    bad("unknown key");
                }
            }
            out.push_back(std::move(r));
        }
        benchmark::DoNotOptimize(out.data());
    }
    per_record(state);
}

void rapidjson_text_to_records(benchmark::State& state) {
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(records_text().data(), records_text().size());
        if (d.HasParseError()) bad("rapidjson refused the records");
        std::vector<record> out = rj_records(d);
        benchmark::DoNotOptimize(out.data());
    }
    per_record(state);
}

void boost_text_to_records(benchmark::State& state) {
    for (auto _ : state) {
        auto v = boost::json::value_to<std::vector<record>>(boost::json::parse(records_text()));
        benchmark::DoNotOptimize(v.data());
    }
    per_record(state);
}

// The failure path: the records with the last one's score a string. Time to the exception,
// with its JSON Pointer, line and column, against the same failure without a place
// (`of_yojson` on the tree read from the text) and against a bare throw of the failure.

const std::string& bad_records_text() {
    static const std::string text = [] {
        std::string t = records_text();
        const std::size_t at = t.rfind("\"score\":");
        const std::size_t end = t.find(',', at);
        t.replace(at, end - at, "\"score\":\"high\"");
        return t;
    }();
    return text;
}

void sylvane_failure_located(benchmark::State& state) {
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(Sylvane::read_as<std::vector<record>>(bad_records_text()));
            bad("no failure");
        } catch (const Sylvane::located_error& e) {
            benchmark::DoNotOptimize(e.line());
        }
    }
}

void sylvane_failure_unlocated(benchmark::State& state) {
    for (auto _ : state) {
        try {
            const Sylvane::yojson tree = Sylvane::read(bad_records_text());
            benchmark::DoNotOptimize(Sylvane::of_yojson<std::vector<record>>(tree));
            bad("no failure");
        } catch (const Sylvane::Treeform::Of_yojson_error& e) {
            benchmark::DoNotOptimize(e.tree_address());
        }
    }
}

void sylvane_failure_bare_throw(benchmark::State& state) {
    const Sylvane::yojson tree = Sylvane::yojson::String("high");
    for (auto _ : state) {
        try {
            Sylvane::Treeform::of_yojson_error("float_of_yojson: float needed", tree);
        } catch (const Sylvane::Treeform::Of_yojson_error& e) {
            benchmark::DoNotOptimize(e.tree_address());
        }
    }
}

BENCHMARK(copy_floor)->Name("records_tree_to_records/copy")->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_tree_to_records)
    ->Name("records_tree_to_records/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(simdjson_tree_to_records)
    ->Name("records_tree_to_records/simdjson")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(rapidjson_tree_to_records)
    ->Name("records_tree_to_records/rapidjson")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(boost_tree_to_records)
    ->Name("records_tree_to_records/boost_json")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmann_tree_to_records)
    ->Name("records_tree_to_records/nlohmann")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_text_to_records)
    ->Name("records_text_to_records/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_text_through_tree_to_records)
    ->Name("records_text_to_records/sylvane_tree")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(simdjson_ondemand_text_to_records)
    ->Name("records_text_to_records/simdjson_ondemand")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(rapidjson_text_to_records)
    ->Name("records_text_to_records/rapidjson")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(boost_text_to_records)
    ->Name("records_text_to_records/boost_json")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_failure_located)->Name("records_failure/located")->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_failure_unlocated)
    ->Name("records_failure/unlocated")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_failure_bare_throw)
    ->Name("records_failure/bare_throw")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(sylvane_records_to_tree)
    ->Name("records_records_to_tree/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(rapidjson_records_to_tree)
    ->Name("records_records_to_tree/rapidjson")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(boost_records_to_tree)
    ->Name("records_records_to_tree/boost_json")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmann_records_to_tree)
    ->Name("records_records_to_tree/nlohmann")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_values_to_text)
    ->Name("records_values_to_text/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_values_through_tree_to_text)
    ->Name("records_values_to_text/sylvane_tree")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(rapidjson_values_to_text)
    ->Name("records_values_to_text/rapidjson")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(boost_values_to_text)
    ->Name("records_values_to_text/boost_json")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmann_values_to_text)
    ->Name("records_values_to_text/nlohmann")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_records_to_tree_in_arena)
    ->Name("records_arena_to_tree/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sylvane_records_to_tree_build_only)
    ->Name("records_build_only/sylvane")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(boost_records_to_tree_build_only)
    ->Name("records_build_only/boost_json")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
