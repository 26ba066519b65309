// The schema of each real document's model and the converters agree, as judged by an
// independent validator (python3-jsonschema, run by schema_agreement.py): the schema accepts
// the document, and refuses each of a set of mutated documents that the converters refuse.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/check.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/schema.hpp>
#include <sylvane/sylvane.hpp>

#include "real_document_models.hpp"
#include "variant_forms.hpp"

namespace forms {

struct sheet {
    std::string sheet_name;
    std::int32_t count = 3;
    std::optional<std::string> note;
    std::string cache;
    std::array<std::uint8_t, 2> size{};
    std::set<std::int64_t> ids;
    std::map<std::int16_t, hue> by_number;
    std::map<hue, bool> by_hue;
    float scale = 1;
    std::vector<list_shape> l;
    std::vector<ext_shape> e;
    std::vector<int_shape> i;
    std::vector<adj_shape> a;
    std::vector<any_shape> u;
    Sylvane::yojson extra;
};
SYLVANE_RECORD_WITH(sheet, (rename_all(camel_case), deny_unknown_keys), (sheet_name, key("name")),
                    (count, with_default), (note, omit_empty), (cache, skip), size, ids, by_number,
                    by_hue, scale, l, e, i, a, u, extra)

// Tri-states, two levels flattened, unknown keys kept, integer codes.
struct audit {
    std::string created_by;
    std::int64_t version = 1;
};
SYLVANE_RECORD_WITH(audit, (rename_all(camel_case)), created_by, (version, with_default))
struct common {
    std::int64_t id = 0;
    audit meta;
    Sylvane::nullable_field<std::string> note;
};
SYLVANE_RECORD(common, id, (meta, flatten), note)
struct plugin {
    std::string name;
    std::vector<std::pair<std::string, Sylvane::yojson>> rest;
};
SYLVANE_RECORD_WITH(plugin, (deny_unknown_keys), name, (rest, extra_keys))
struct event {
    common base;
    http status = http::ok;
    kind k = kind::push;
    std::map<http, bool> seen;
    Sylvane::nullable_field<std::int64_t> parent;
    Sylvane::nullable_field<circle> shape;
    plugin p;
    std::vector<list_coded> l;
    std::vector<int_coded> i;
    std::vector<adj_coded> a;
};
SYLVANE_RECORD_WITH(event, (deny_unknown_keys), (base, flatten), status, k, seen, parent, shape, p,
                    l, i, a)

}  // namespace forms

namespace {

using Sylvane::yojson;
namespace fs = std::filesystem;

/// A change to a document: at the node of `path` (list indexes, object keys, "*" for an
/// object's first entry), the node is replaced by `change(node)`.
struct mutation {
    std::string name;
    std::vector<std::string> path;
    std::function<yojson(const yojson&)> change;
};

yojson edit(const yojson& node, const std::vector<std::string>& path, std::size_t depth,
            const std::function<yojson(const yojson&)>& change) {
    if (depth == path.size()) return change(node);
    const std::string& token = path[depth];
    if (node.kind() == Sylvane::yojson_kind::List) {
        std::vector<yojson> items(node.as_list().begin(), node.as_list().end());
        yojson& item = items.at(std::stoul(token));
        item = edit(item, path, depth + 1, change);
        return yojson::List(std::move(items));
    }
    std::vector<std::pair<std::string, yojson>> entries;
    bool found = false;
    for (const auto& [key, value] : node.as_assoc()) {
        const bool here = !found && (token == "*" || key == token);
        found = found || here;
        entries.emplace_back(std::string(key), here ? edit(value, path, depth + 1, change) : value);
    }
    if (!found) throw std::invalid_argument("no key " + token);
    return yojson::Assoc(std::move(entries));
}

auto to(yojson value) {
    return [value](const yojson&) { return value; };
}
auto without(std::string key) {
    return [key](const yojson& object) {
        std::vector<std::pair<std::string, yojson>> entries;
        for (const auto& [k, v] : object.as_assoc())
            if (k != key) entries.emplace_back(std::string(k), v);
        return yojson::Assoc(std::move(entries));
    };
}
auto with(std::string key, yojson value) {
    return [key, value](const yojson& object) {
        std::vector<std::pair<std::string, yojson>> entries;
        for (const auto& [k, v] : object.as_assoc()) entries.emplace_back(std::string(k), v);
        entries.emplace_back(key, value);
        return yojson::Assoc(std::move(entries));
    };
}

/// Writes the schema of `T`, the document `text` (which the converters take), its mutations
/// (each checked to be refused by the converters) and its `variants` (each checked to be taken
/// by them) to a folder, and runs the validator on them.
template <class T>
void agree(const std::string& name, const std::string& text, const std::vector<mutation>& mutations,
           const std::vector<mutation>& variants = {}) {
    const fs::path dir = fs::path(SYLVANE_SCHEMA_WORK_DIR) / name;
    fs::create_directories(dir);
    ASSERT_TRUE(Sylvane::check<T>(text).ok()) << name;
    const yojson document = Sylvane::read(text);
    std::ofstream(dir / "document.json") << text;
    std::ofstream(dir / "schema.json") << Sylvane::write(Sylvane::json_schema<T>());
    std::string command = std::string(SYLVANE_PYTHON3) + " " + SYLVANE_SCHEMA_AGREEMENT + " " +
                          (dir / "schema.json").string() + " --accept " +
                          (dir / "document.json").string();
    const auto add = [&](const mutation& m, bool taken) {
        const std::string mutated = Sylvane::write(edit(document, m.path, 0, m.change));
        EXPECT_EQ(Sylvane::check<T>(mutated).ok(), taken)
            << m.name << (taken ? ": the converters refuse it" : ": the converters take it");
        const fs::path out = dir / (m.name + ".json");
        std::ofstream(out) << mutated;
        command += " " + out.string();
    };
    for (const mutation& m : variants) add(m, true);
    command += " --reject";
    for (const mutation& m : mutations) add(m, false);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

/// The text of the real document `file`.
std::string real(const std::string& file) {
    const fs::path source = fs::path(SYLVANE_REAL_DOCUMENTS_DIR) / file;
    EXPECT_TRUE(fs::exists(source)) << source;
    return fs::exists(source) ? Sylvane::derive::detail::file_text(source) : "";
}

TEST(schema_agreement, twitter) {
    agree<twitter::timeline>(
        "twitter", real("twitter.json"),
        {{"id_as_text", {"statuses", "0", "id"}, to(yojson::String("1"))},
         {"negative_id", {"statuses", "0", "id"}, to(yojson::Int(-1))},
         {"count_as_float", {"statuses", "0", "user", "followers_count"}, to(yojson::Float(1.5))},
         {"no_screen_name", {"statuses", "0", "user"}, without("screen_name")},
         {"unknown_result_type",
          {"statuses", "0", "metadata", "result_type"},
          to(yojson::String("sometimes"))},
         {"unknown_key", {"search_metadata"}, with("page", yojson::Int(1))},
         {"hashtags_as_object", {"statuses", "0", "entities", "hashtags"}, to(yojson::Assoc({}))},
         {"urls_null",
          {"statuses", "0", "user", "entities", "description", "urls"},
          to(yojson::Null())},
         {"statuses_missing", {}, without("statuses")}});
}

TEST(schema_agreement, citm_catalog) {
    agree<citm::catalog>(
        "citm", real("citm_catalog.json"),
        {{"event_key_not_integer", {"events"}, with("x1", yojson::Assoc({}))},
         {"event_key_leading_zero", {"areaNames"}, with("012", yojson::String("a"))},
         {"amount_as_text",
          {"performances", "0", "prices", "0", "amount"},
          to(yojson::String("12"))},
         {"sub_topics_of_text", {"topicSubTopics", "*"}, to(yojson::List({yojson::String("a")}))},
         {"names_as_list", {"areaNames"}, to(yojson::List({}))},
         {"venue_name_number", {"venueNames", "*"}, to(yojson::Int(5))},
         {"start_as_float", {"performances", "0", "start"}, to(yojson::Float(1.5))},
         {"performance_without_id", {"performances", "0"}, without("id")},
         {"negative_event_id", {"events", "*", "id"}, to(yojson::Int(-5))}});
}

TEST(schema_agreement, canada) {
    agree<canada::collection>(
        "canada", real("canada.json"),
        {{"point_of_one",
          {"features", "0", "geometry", "coordinates", "0", "0"},
          to(yojson::List({yojson::Float(1)}))},
         {"point_of_three",
          {"features", "0", "geometry", "coordinates", "0", "0"},
          to(yojson::List({yojson::Int(1), yojson::Int(2), yojson::Int(3)}))},
         {"coordinate_as_text",
          {"features", "0", "geometry", "coordinates", "0", "0", "1"},
          to(yojson::String("1.5"))},
         {"type_as_number", {"type"}, to(yojson::Int(5))},
         {"properties_as_text", {"features", "0", "properties"}, to(yojson::String("x"))},
         {"property_number", {"features", "0", "properties"}, with("n", yojson::Int(1))},
         {"feature_without_geometry", {"features", "0"}, without("geometry")}});
}

TEST(schema_agreement, options_and_variant_forms) {
    forms::sheet s;
    s.sheet_name = "s";
    s.size = {1, 2};
    s.ids = {1, 2};
    s.by_number = {{-3, forms::hue::deep_red}, {7, forms::hue::light_blue}};
    s.by_hue = {{forms::hue::light_blue, true}};
    s.l = {forms::circle{1, 2}, forms::blank{}, forms::pair_args{"x", true}};
    s.e = {forms::circle{1, 2}, forms::blank{}};
    s.i = {forms::circle{1, 2}, forms::blank{}};
    s.a = {forms::circle{1, 2}, forms::blank{}};
    s.u = {forms::circle{1, 2}, forms::blank{}};
    s.extra = yojson::List({yojson::Null()});
    const std::string text = Sylvane::write(s);
    agree<forms::sheet>(
        "forms", text,
        {{"unknown_key", {}, with("other", yojson::Int(1))},
         {"no_name", {}, without("name")},
         {"count_too_big", {"count"}, to(yojson::Int(3000000000))},
         {"array_too_short", {"size"}, to(yojson::List({yojson::Int(1)}))},
         {"byte_too_big", {"size", "0"}, to(yojson::Int(256))},
         {"set_repeated", {"ids"}, to(yojson::List({yojson::Int(1), yojson::Int(1)}))},
         {"key_not_integer", {"byNumber"}, with("x", yojson::String("deep-red"))},
         {"key_leading_zero", {"byNumber"}, with("07", yojson::String("deep-red"))},
         {"unknown_tag", {"byNumber", "*"}, to(yojson::String("deep_red"))},
         {"unknown_enum_key", {"byHue"}, with("green", yojson::Bool(true))},
         {"scale_too_big", {"scale"}, to(yojson::Float(1e39))},
         {"list_unknown_tag", {"l", "0"}, to(yojson::List({yojson::String("x")}))},
         {"list_missing_argument", {"l", "2"}, to(yojson::List({yojson::String("p")}))},
         {"list_argument_kind", {"l", "2", "2"}, to(yojson::Int(1))},
         {"list_payload_of_blank",
          {"l", "1"},
          to(yojson::List({yojson::String("b"), yojson::Int(1)}))},
         {"external_two_keys", {"e", "0"}, with("b", yojson::Null())},
         {"external_blank_payload", {"e", "1"}, to(yojson::Assoc({{"b", yojson::Null()}}))},
         {"internal_unknown_key", {"i", "0"}, with("z", yojson::Int(1))},
         {"internal_blank_key", {"i", "1"}, with("r", yojson::Int(1))},
         {"internal_no_tag", {"i", "0"}, without("type")},
         {"adjacent_no_content", {"a", "0"}, without("v")},
         {"adjacent_blank_content", {"a", "1"}, with("v", yojson::Null())},
         {"untagged_nothing", {"u", "1"}, to(yojson::Bool(true))},
         {"untagged_record_extra", {"u", "0"}, with("z", yojson::Int(1))}});
}

}  // namespace

namespace {

TEST(schema_agreement, tri_states_flattening_kept_keys_and_integer_codes) {
    forms::event e;
    e.base.id = 4;
    e.base.meta.created_by = "ann";
    e.base.note.set_null();
    e.status = forms::http::not_found;
    e.k = forms::kind::pull;
    e.seen = {{forms::http::ok, true}};
    e.shape = forms::circle{1, 2};
    e.p.name = "x";
    e.p.rest = {{"b", yojson::Int(1)}, {"a", yojson::List({yojson::Bool(true)})}};
    e.l = {forms::circle{1, 2}, forms::blank{}, forms::pair_args{"x", true}};
    e.i = {forms::circle{1, 2}, forms::blank{}};
    e.a = {forms::circle{1, 2}, forms::blank{}};
    const std::string text = Sylvane::write(e);
    agree<forms::event>(
        "coded", text,
        {{"unknown_key", {}, with("other", yojson::Int(1))},
         {"no_flattened_key", {}, without("createdBy")},
         {"flattened_kind", {"version"}, to(yojson::String("1"))},
         {"note_number", {"note"}, to(yojson::Int(5))},
         {"parent_text", {}, with("parent", yojson::String("p"))},
         {"shape_field", {"shape", "r"}, to(yojson::String("x"))},
         {"plugin_no_name", {"p"}, without("name")},
         {"plugin_name_kept_kind", {"p", "name"}, to(yojson::Int(1))},
         {"unknown_code", {"status"}, to(yojson::Int(201))},
         {"code_as_text", {"status"}, to(yojson::String("404"))},
         {"unknown_code_key", {"seen"}, with("201", yojson::Bool(true))},
         {"code_key_leading_zero", {"seen"}, with("0404", yojson::Bool(true))},
         {"list_unknown_code", {"l", "0", "0"}, to(yojson::Int(9))},
         {"list_code_as_text", {"l", "0", "0"}, to(yojson::String("1"))},
         {"list_payload_of_blank", {"l", "1"}, to(yojson::List({yojson::Int(2), yojson::Int(1)}))},
         {"internal_unknown_code", {"i", "0", "kind"}, to(yojson::Int(5))},
         {"internal_code_as_text", {"i", "1", "kind"}, to(yojson::String("1"))},
         {"internal_blank_key", {"i", "1"}, with("r", yojson::Int(1))},
         {"internal_no_tag", {"i", "0"}, without("kind")},
         {"adjacent_unknown_code", {"a", "0", "t"}, to(yojson::Int(11))},
         {"adjacent_no_content", {"a", "0"}, without("v")},
         {"adjacent_blank_content", {"a", "1"}, with("v", yojson::Null())}},
        {{"note_absent", {}, without("note")},
         {"note_text", {"note"}, to(yojson::String("n"))},
         {"parent_null", {}, with("parent", yojson::Null())},
         {"parent_number", {}, with("parent", yojson::Int(3))},
         {"shape_null", {"shape"}, to(yojson::Null())},
         {"flattened_default", {}, without("version")},
         {"plugin_more_kept", {"p"}, with("name2", yojson::Assoc({}))},
         {"list_blank_bare", {"l", "1"}, to(yojson::Int(2))},
         {"internal_tag_last",
          {"i", "0"},
          to(yojson::Assoc(
              {{"r", yojson::Float(1)}, {"id", yojson::Int(2)}, {"kind", yojson::Int(0)}}))}});
}

}  // namespace
