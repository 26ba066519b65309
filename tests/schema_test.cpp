// json_schema<T>: the schema each type, option and form gives.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/derive/derive.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/schema.hpp>

#include "variant_forms.hpp"

namespace kit {

struct part {
    std::string part_name;
    std::int32_t count = 3;
    std::optional<std::string> note;
    std::string cache;
    Sylvane::yojson extra;
};
SYLVANE_RECORD_WITH(part, (rename_all(camel_case), deny_unknown_keys), (part_name, key("name")),
                    (count, with_default), (note, omit_empty), (cache, skip), extra)

struct open_part {
    std::int8_t n = 0;
};
SYLVANE_RECORD_WITH(open_part, (ignore_unknown_keys), n)

struct plain {
    bool b = false;
};
SYLVANE_RECORD(plain, b)

// A tree of itself: defined once, referred to from inside.
struct node {
    std::vector<node> children;
    std::unique_ptr<node> next;
};
SYLVANE_RECORD_WITH(node, (ignore_unknown_keys), children, next)

// Two records of one name in two namespaces.
namespace other {
struct circle {
    bool b = false;
};
SYLVANE_RECORD_WITH(circle, (ignore_unknown_keys), b)
}  // namespace other
struct both {
    forms::circle one;
    other::circle two;
};
SYLVANE_RECORD_WITH(both, (ignore_unknown_keys), one, two)

// Absent, null or a value; a default that is a value, and one that is absent.
struct patch {
    Sylvane::nullable_field<std::int64_t> k;
    Sylvane::nullable_field<std::string> ref = std::string("main");
    Sylvane::nullable_field<bool> flag;
};
SYLVANE_RECORD_WITH(patch, (deny_unknown_keys), k, (ref, with_default), (flag, with_default))

// Two levels flattened, each naming its keys by its own options.
struct audit {
    std::string created_by;
    std::int64_t version = 2;
};
SYLVANE_RECORD_WITH(audit, (rename_all(camel_case)), created_by, (version, with_default))
struct common {
    bool id = false;
    audit meta;
    std::optional<bool> note;
};
SYLVANE_RECORD(common, id, (meta, flatten), note)
struct event {
    common base;
    std::string branch;
};
SYLVANE_RECORD_WITH(event, (deny_unknown_keys), (base, flatten), branch)

// Unknown keys kept: allowed whatever the record's policy.
struct plugin {
    bool name = false;
    std::vector<std::pair<std::string, Sylvane::yojson>> rest;
};
SYLVANE_RECORD_WITH(plugin, (deny_unknown_keys), name, (rest, extra_keys))

// One class template, two instantiations: two definitions.
template <class T>
struct box {
    T value{};
};
SYLVANE_RECORD_TEMPLATE_WITH((class T), (box<T>), (ignore_unknown_keys), value)
struct boxes {
    box<bool> a;
    box<std::string> b;
    std::vector<box<bool>> more;
};
SYLVANE_RECORD_WITH(boxes, (ignore_unknown_keys), a, b, more)

struct money {
    std::int64_t cents = 0;
};
Sylvane::yojson yojson_of_money(const money& m) {
    return Sylvane::yojson::String(std::to_string(m.cents));
}
money money_of_yojson(const Sylvane::yojson&) {
    return {};
}
SYLVANE_CONVERTERS(money, yojson_of_money, money_of_yojson)
Sylvane::yojson sylvane_schema(Sylvane::derive::type_tag<money>) {
    return Sylvane::yojson::Assoc({{"type", Sylvane::yojson::String("string")}});
}

}  // namespace kit

namespace vendor {
struct rgb {
    int r = 0;
};
}  // namespace vendor

template <>
struct Sylvane::converter<vendor::rgb> {
    static Sylvane::yojson to_yojson(const vendor::rgb& c) { return Sylvane::yojson::Int(c.r); }
    static vendor::rgb of_yojson(const Sylvane::yojson&) { return {}; }
    static Sylvane::yojson schema() {
        return Sylvane::yojson::Assoc({{"const", Sylvane::yojson::String("rgb")}});
    }
};

namespace {

constexpr std::string_view dialect = R"("$schema":"https://json-schema.org/draft/2020-12/schema")";

/// The schema of `T` as compact text, without the dialect line.
template <class T>
std::string schema_text() {
    std::string text = Sylvane::write(Sylvane::json_schema<T>());
    const auto at = text.find(dialect);
    EXPECT_NE(at, std::string::npos);
    text.erase(at, dialect.size() + (text[at + dialect.size()] == ',' ? 1 : 0));
    return text;
}

TEST(json_schema, scalars) {
    EXPECT_EQ(schema_text<bool>(), R"({"type":"boolean"})");
    EXPECT_EQ(schema_text<std::string>(), R"({"type":"string"})");
    EXPECT_EQ(schema_text<std::int8_t>(), R"({"type":"integer","minimum":-128,"maximum":127})");
    EXPECT_EQ(schema_text<std::uint64_t>(),
              R"({"type":"integer","minimum":0,"maximum":18446744073709551615})");
    EXPECT_EQ(schema_text<std::int64_t>(),
              R"({"type":"integer","minimum":-9223372036854775808,"maximum":9223372036854775807})");
    EXPECT_EQ(schema_text<double>(), R"({"type":"number"})");
    EXPECT_EQ(schema_text<float>(),
              R"({"type":"number","exclusiveMinimum":-3.4028235677973366e+38,)"
              R"("exclusiveMaximum":3.4028235677973366e+38})");
    EXPECT_EQ(schema_text<char>(), R"({"type":"string","pattern":"^[\\x00-\\x7F]$"})");
    EXPECT_EQ(schema_text<Sylvane::yojson>(), R"({})");
}

TEST(json_schema, containers) {
    EXPECT_EQ(schema_text<std::vector<bool>>(), R"({"type":"array","items":{"type":"boolean"}})");
    EXPECT_EQ((schema_text<std::array<bool, 3>>()),
              R"({"type":"array","items":{"type":"boolean"},"minItems":3,"maxItems":3})");
    EXPECT_EQ(schema_text<std::set<bool>>(),
              R"({"type":"array","items":{"type":"boolean"},"uniqueItems":true})");
    EXPECT_EQ((schema_text<std::map<std::string, bool>>()),
              R"({"type":"object","additionalProperties":{"type":"boolean"}})");
    EXPECT_EQ((schema_text<std::map<std::uint16_t, bool>>()),
              R"({"type":"object","additionalProperties":{"type":"boolean"},)"
              R"("propertyNames":{"pattern":"^(0|[1-9][0-9]*)$"}})");
    EXPECT_EQ((schema_text<std::map<int, bool>>()),
              R"({"type":"object","additionalProperties":{"type":"boolean"},)"
              R"("propertyNames":{"pattern":"^(0|-?[1-9][0-9]*)$"}})");
    EXPECT_EQ(schema_text<std::optional<bool>>(),
              R"({"anyOf":[{"type":"null"},{"type":"boolean"}]})");
    EXPECT_EQ((schema_text<std::tuple<bool, std::string>>()),
              R"({"type":"array","prefixItems":[{"type":"boolean"},{"type":"string"}],)"
              R"("minItems":2,"maxItems":2})");
}

TEST(json_schema, record_options) {
    EXPECT_EQ(schema_text<kit::part>(),
              R"({"$ref":"#/$defs/part","$defs":{"part":{"type":"object","properties":{)"
              R"("name":{"type":"string"},)"
              R"("count":{"type":"integer","minimum":-2147483648,"maximum":2147483647,)"
              R"("default":3},)"
              R"("note":{"anyOf":[{"type":"null"},{"type":"string"}]},"extra":{}},)"
              R"("required":["name","extra"],"additionalProperties":false}}})");
    EXPECT_EQ(schema_text<kit::open_part>(),
              R"({"$ref":"#/$defs/open_part","$defs":{"open_part":{"type":"object",)"
              R"("properties":{"n":{"type":"integer","minimum":-128,"maximum":127}},)"
              R"("required":["n"]}}})");
}

TEST(json_schema, a_record_that_follows_the_flag_follows_it_as_the_schema_is_made) {
    struct flag_guard {
        bool saved = *Sylvane::Treeform::record_check_extra_fields;
        ~flag_guard() { *Sylvane::Treeform::record_check_extra_fields = saved; }
    } guard;
    constexpr std::string_view closed =
        R"({"$ref":"#/$defs/plain","$defs":{"plain":{"type":"object","properties":{)"
        R"("b":{"type":"boolean"}},"required":["b"],"additionalProperties":false}}})";
    *Sylvane::Treeform::record_check_extra_fields = true;
    EXPECT_EQ(schema_text<kit::plain>(), closed);
    *Sylvane::Treeform::record_check_extra_fields = false;
    EXPECT_EQ(schema_text<kit::plain>(),
              std::string(closed).replace(
                  closed.find(R"(,"additionalProperties":false)"),
                  std::string_view(R"(,"additionalProperties":false)").size(), ""));
}

TEST(json_schema, recursive_types_refer_to_their_definition) {
    EXPECT_EQ(schema_text<kit::node>(),
              R"({"$ref":"#/$defs/node","$defs":{"node":{"type":"object","properties":{)"
              R"("children":{"type":"array","items":{"$ref":"#/$defs/node"}},)"
              R"("next":{"anyOf":[{"type":"null"},{"$ref":"#/$defs/node"}]}},)"
              R"("required":["children"]}}})");
}

TEST(json_schema, two_types_of_one_name_get_two_definitions) {
    const std::string s = schema_text<kit::both>();
    EXPECT_NE(s.find(R"("one":{"$ref":"#/$defs/circle"})"), std::string::npos) << s;
    EXPECT_NE(s.find(R"("two":{"$ref":"#/$defs/circle_2"})"), std::string::npos) << s;
    EXPECT_NE(s.find(R"("circle_2":{"type":"object","properties":{"b")"), std::string::npos) << s;
}

TEST(json_schema, enumerations_list_their_tags) {
    EXPECT_EQ(schema_text<forms::hue>(),
              R"({"$ref":"#/$defs/hue","$defs":{"hue":{"enum":["deep-red","light-blue"]}}})");
    EXPECT_EQ((schema_text<std::map<forms::hue, bool>>()),
              R"({"type":"object","additionalProperties":{"type":"boolean"},)"
              R"("propertyNames":{"$ref":"#/$defs/hue"},"$defs":{"hue":)"
              R"({"enum":["deep-red","light-blue"]}}})");
}

TEST(json_schema, a_tri_state_field_is_null_or_its_value_and_may_be_absent) {
    EXPECT_EQ(schema_text<kit::patch>(),
              R"({"$ref":"#/$defs/patch","$defs":{"patch":{"type":"object","properties":{)"
              R"("k":{"anyOf":[{"type":"null"},{"type":"integer","minimum":-9223372036854775808,)"
              R"("maximum":9223372036854775807}]},)"
              R"("ref":{"anyOf":[{"type":"null"},{"type":"string"}],"default":"main"},)"
              R"("flag":{"anyOf":[{"type":"null"},{"type":"boolean"}]}},)"
              R"("additionalProperties":false}}})");
}

TEST(json_schema, flattened_fields_are_properties_of_the_parent) {
    EXPECT_EQ(schema_text<kit::event>(),
              R"({"$ref":"#/$defs/event","$defs":{"event":{"type":"object","properties":{)"
              R"("id":{"type":"boolean"},"createdBy":{"type":"string"},)"
              R"("version":{"type":"integer","minimum":-9223372036854775808,)"
              R"("maximum":9223372036854775807,"default":2},)"
              R"("note":{"anyOf":[{"type":"null"},{"type":"boolean"}]},)"
              R"("branch":{"type":"string"}},"required":["id","createdBy","branch"],)"
              R"("additionalProperties":false}}})");
}

TEST(json_schema, a_record_that_keeps_unknown_keys_allows_any) {
    EXPECT_EQ(schema_text<kit::plugin>(),
              R"({"$ref":"#/$defs/plugin","$defs":{"plugin":{"type":"object","properties":{)"
              R"("name":{"type":"boolean"}},"required":["name"]}}})");
}

TEST(json_schema, instantiations_of_one_template_get_one_definition_each) {
    EXPECT_EQ(schema_text<kit::boxes>(),
              R"({"$ref":"#/$defs/boxes","$defs":{"boxes":{"type":"object","properties":{)"
              R"("a":{"$ref":"#/$defs/box"},"b":{"$ref":"#/$defs/box_2"},)"
              R"("more":{"type":"array","items":{"$ref":"#/$defs/box"}}},)"
              R"("required":["a","b","more"]},)"
              R"("box":{"type":"object","properties":{"value":{"type":"boolean"}},)"
              R"("required":["value"]},)"
              R"("box_2":{"type":"object","properties":{"value":{"type":"string"}},)"
              R"("required":["value"]}}})");
}

TEST(json_schema, integer_coded_enumerations_list_their_codes) {
    EXPECT_EQ(schema_text<forms::http>(),
              R"({"$ref":"#/$defs/http","$defs":{"http":{"enum":[200,404]}}})");
    EXPECT_EQ(schema_text<forms::kind>(),
              R"({"$ref":"#/$defs/kind","$defs":{"kind":{"enum":[1,2]}}})");
    // As keys, the codes' digits.
    EXPECT_EQ((schema_text<std::map<forms::http, bool>>()),
              R"({"type":"object","additionalProperties":{"type":"boolean"},)"
              R"("propertyNames":{"enum":["200","404"]}})");
}

/// The definition of variant `T`, alone.
template <class T>
std::string variant_def(std::string_view name) {
    const auto s = Sylvane::json_schema<T>();
    for (const auto& [key, value] : s.as_assoc()) {
        if (key != "$defs") continue;
        for (const auto& [def, body] : value.as_assoc())
            if (def == name) return Sylvane::write(body);
    }
    return "";
}

constexpr std::string_view circle_body =
    R"("r":{"type":"number"},"id":{"type":"integer","minimum":-9223372036854775808,)"
    R"("maximum":9223372036854775807}},"required":["type","r","id"],"additionalProperties":false)";

TEST(json_schema, variants_in_each_form) {
    EXPECT_EQ(
        variant_def<forms::list_shape>("list_shape"),
        R"({"oneOf":[{"type":"array","prefixItems":[{"const":"c"},{"$ref":"#/$defs/circle"}],)"
        R"("minItems":2,"maxItems":2},{"const":"b"},)"
        R"({"type":"array","prefixItems":[{"const":"b"}],"minItems":1,"maxItems":1},)"
        R"({"type":"array","prefixItems":[{"const":"p"},{"type":"string"},)"
        R"({"type":"boolean"}],"minItems":3,"maxItems":3}]})");
    EXPECT_EQ(variant_def<forms::ext_shape>("ext_shape"),
              R"({"oneOf":[{"type":"object","properties":{"c":{"$ref":"#/$defs/circle"}},)"
              R"("required":["c"],"additionalProperties":false},{"const":"b"}]})");
    EXPECT_EQ(variant_def<forms::int_shape>("int_shape"),
              R"({"oneOf":[{"type":"object","properties":{"type":{"const":"c"},)" +
                  std::string(circle_body) +
                  R"(},{"type":"object","properties":{"type":{"const":"b"}},)"
                  R"("required":["type"],"additionalProperties":false}]})");
    EXPECT_EQ(variant_def<forms::adj_shape>("adj_shape"),
              R"({"oneOf":[{"type":"object","properties":{"t":{"const":"c"},)"
              R"("v":{"$ref":"#/$defs/circle"}},"required":["t","v"]},)"
              R"({"type":"object","properties":{"t":{"const":"b"}},"required":["t"],)"
              R"("not":{"required":["v"]}}]})");
    EXPECT_EQ(variant_def<forms::any_shape>("any_shape"),
              R"({"anyOf":[{"$ref":"#/$defs/circle"},{"type":"null"}]})");
}

TEST(json_schema, integer_tags_are_constant_codes) {
    EXPECT_EQ(variant_def<forms::list_coded>("list_coded"),
              R"({"oneOf":[{"type":"array","prefixItems":[{"const":1},{"$ref":"#/$defs/circle"}],)"
              R"("minItems":2,"maxItems":2},{"const":2},)"
              R"({"type":"array","prefixItems":[{"const":2}],"minItems":1,"maxItems":1},)"
              R"({"type":"array","prefixItems":[{"const":3},{"type":"string"},)"
              R"({"type":"boolean"}],"minItems":3,"maxItems":3}]})");
    EXPECT_EQ(
        variant_def<forms::int_coded>("int_coded"),
        R"({"oneOf":[{"type":"object","properties":{"kind":{"const":0},)" +
            std::string(circle_body).replace(circle_body.find(R"(["type")"), 7, R"(["kind")") +
            R"(},{"type":"object","properties":{"kind":{"const":1}},)"
            R"("required":["kind"],"additionalProperties":false}]})");
    EXPECT_EQ(variant_def<forms::adj_coded>("adj_coded"),
              R"({"oneOf":[{"type":"object","properties":{"t":{"const":10},)"
              R"("v":{"$ref":"#/$defs/circle"}},"required":["t","v"]},)"
              R"({"type":"object","properties":{"t":{"const":20}},"required":["t"],)"
              R"("not":{"required":["v"]}}]})");
}

TEST(json_schema, hand_written_converters_say_their_schema) {
    EXPECT_EQ(schema_text<std::vector<kit::money>>(),
              R"({"type":"array","items":{"type":"string"}})");
    EXPECT_EQ(schema_text<vendor::rgb>(), R"({"const":"rgb"})");
}

}  // namespace
