// The RapidJSON and simdjson sides of the records task: 100,000 records
// `{id, name, score, tags, parent}` between a tree and a `std::vector` of structs. Neither peer
// derives converters, so these are the loops its users write by hand, checking each field's type
// and presence as a derived converter must. simdjson's DOM is read-only: it has no side that
// builds a tree.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "peers_common.hpp"

#ifdef SYLVANE_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#endif
#ifdef SYLVANE_BENCH_SIMDJSON
#include <simdjson.h>
#endif

namespace {

using namespace sylvane_bench;

[[noreturn]] void bad_record(std::string_view what) {
    throw std::runtime_error("record: " + std::string(what));
}

#ifdef SYLVANE_BENCH_RAPIDJSON

using rj_value = rapidjson::Value;

const rj_value& rj_field(const rj_value& object, const char* name) {
    auto it = object.FindMember(name);
    if (it == object.MemberEnd()) bad_record(name);
    return it->value;
}

std::vector<record> rj_records(const rj_value& tree) {
    if (!tree.IsArray()) bad_record("array needed");
    std::vector<record> out;
    out.reserve(tree.Size());
    for (const rj_value& r : tree.GetArray()) {
        if (!r.IsObject()) bad_record("object needed");
        const rj_value& id = rj_field(r, "id");
        const rj_value& name = rj_field(r, "name");
        const rj_value& score = rj_field(r, "score");
        const rj_value& tags = rj_field(r, "tags");
        const rj_value& parent = rj_field(r, "parent");
        if (!id.IsInt64() || !name.IsString() || !score.IsNumber() || !tags.IsArray() ||
            !(parent.IsNull() || parent.IsInt64()))
            bad_record("field of the wrong type");
        record rec{id.GetInt64(), std::string(name.GetString(), name.GetStringLength()),
                   score.GetDouble(), {}, std::nullopt};
        rec.tags.reserve(tags.Size());
        for (const rj_value& t : tags.GetArray()) {
            if (!t.IsString()) bad_record("tag of the wrong type");
            rec.tags.emplace_back(t.GetString(), t.GetStringLength());
        }
        if (!parent.IsNull()) rec.parent = parent.GetInt64();
        out.push_back(std::move(rec));
    }
    return out;
}

void records_tree_to_records_rapidjson(benchmark::State& state) {
    rapidjson::Document tree;
    tree.Parse(records_text(make_records()).c_str());
    for (auto _ : state) {
        auto v = rj_records(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, record_count);
}
BENCHMARK(records_tree_to_records_rapidjson)->Name("records_tree_to_records/rapidjson");

void records_records_to_tree_rapidjson(benchmark::State& state) {
    const std::vector<record> records = make_records();
    using rapidjson::StringRef;
    using size = rapidjson::SizeType;
    for (auto _ : state) {
        rapidjson::Document tree(rapidjson::kArrayType);
        auto& a = tree.GetAllocator();
        tree.Reserve(static_cast<size>(records.size()), a);
        for (const record& r : records) {
            rj_value tags(rapidjson::kArrayType);
            tags.Reserve(static_cast<size>(r.tags.size()), a);
            for (const std::string& t : r.tags)
                tags.PushBack(rj_value(t.data(), static_cast<size>(t.size()), a), a);
            rj_value o(rapidjson::kObjectType);
            o.AddMember(StringRef("id"), rj_value(r.id), a);
            o.AddMember(StringRef("name"),
                        rj_value(r.name.data(), static_cast<size>(r.name.size()), a), a);
            o.AddMember(StringRef("score"), rj_value(r.score), a);
            o.AddMember(StringRef("tags"), tags, a);
            o.AddMember(StringRef("parent"), r.parent ? rj_value(*r.parent) : rj_value(), a);
            tree.PushBack(o, a);
        }
        benchmark::DoNotOptimize(tree);
    }
    per_element(state, record_count);
}
BENCHMARK(records_records_to_tree_rapidjson)->Name("records_records_to_tree/rapidjson");

#endif

#ifdef SYLVANE_BENCH_SIMDJSON

template <class T>
T sj_get(simdjson::simdjson_result<T> r, const char* what) {
    T value;
    if (std::move(r).get(value) != simdjson::SUCCESS) bad_record(what);
    return value;
}

std::vector<record> sj_records(simdjson::dom::element tree) {
    using simdjson::dom::element;
    simdjson::dom::array items = sj_get(tree.get_array(), "array needed");
    std::vector<record> out;
    out.reserve(items.size());
    for (element e : items) {
        simdjson::dom::object r = sj_get(e.get_object(), "object needed");
        record rec{sj_get(r["id"].get_int64(), "id"),
                   std::string(sj_get(r["name"].get_string(), "name")),
                   sj_get(r["score"].get_double(), "score"),
                   {},
                   std::nullopt};
        simdjson::dom::array tags = sj_get(r["tags"].get_array(), "tags");
        rec.tags.reserve(tags.size());
        for (element t : tags) rec.tags.emplace_back(sj_get(t.get_string(), "tag"));
        element parent = sj_get(r["parent"], "parent");
        if (!parent.is_null()) rec.parent = sj_get(parent.get_int64(), "parent");
        out.push_back(std::move(rec));
    }
    return out;
}

void records_tree_to_records_simdjson(benchmark::State& state) {
    simdjson::dom::parser parser;
    const simdjson::padded_string text(records_text(make_records()));
    const simdjson::dom::element tree = parser.parse(text);
    for (auto _ : state) {
        auto v = sj_records(tree);
        benchmark::DoNotOptimize(v.data());
    }
    per_element(state, record_count);
}
BENCHMARK(records_tree_to_records_simdjson)->Name("records_tree_to_records/simdjson");

#endif

}  // namespace
