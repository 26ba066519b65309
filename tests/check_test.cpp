// check<T>: every failure of a document, located, the first one being read_as's.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/check.hpp>
#include <sylvane/derive/derive.hpp>
#include <sylvane/read_as.hpp>

#include "variant_forms.hpp"

namespace cfg {

enum class level { low, high };
SYLVANE_ENUM(level, low, high)

struct server {
    std::string host;
    std::uint16_t port = 0;
    std::optional<cfg::level> lvl;
};
SYLVANE_RECORD_WITH(server, (deny_unknown_keys), host, port, (lvl, key("level")))

struct config {
    std::string name;
    std::vector<server> servers;
    std::map<std::string, std::int32_t> limits;
    std::array<double, 2> origin{};
    std::set<std::int64_t> ids;
    std::map<std::uint32_t, bool> flags;
    std::unique_ptr<config> fallback;
};
SYLVANE_RECORD(config, name, servers, limits, origin, ids, flags, fallback)

struct link {
    std::int64_t n = 0;
    std::unique_ptr<link> next;
};
SYLVANE_RECORD(link, n, next)

struct drawing {
    std::vector<forms::list_shape> l;
    std::vector<forms::ext_shape> e;
    std::vector<forms::int_shape> i;
    std::vector<forms::adj_shape> a;
    std::vector<forms::any_shape> u;
};
SYLVANE_RECORD(drawing, l, e, i, a, u)

// Two levels flattened, a tri-state, unknown keys kept.
struct audit {
    std::string created_by;
    std::int64_t version = 0;
};
SYLVANE_RECORD_WITH(audit, (rename_all(camel_case)), created_by, version)
struct common {
    std::int64_t id = 0;
    audit meta;
    Sylvane::nullable_field<std::int64_t> parent;
    Sylvane::nullable_field<std::vector<std::int64_t>> refs;
};
SYLVANE_RECORD(common, id, (meta, flatten), parent, refs)
struct event {
    common base;
    std::string branch;
};
SYLVANE_RECORD_WITH(event, (deny_unknown_keys), (base, flatten), branch)
struct plugin {
    std::string name;
    std::vector<std::pair<std::string, Sylvane::yojson>> rest;
    std::int64_t size = 0;
};
SYLVANE_RECORD_WITH(plugin, (deny_unknown_keys), name, (rest, extra_keys), size)

struct coded {
    std::vector<forms::list_coded> l;
    std::vector<forms::int_coded> i;
    std::vector<forms::adj_coded> a;
    std::vector<forms::http> h;
};
SYLVANE_RECORD(coded, l, i, a, h)

}  // namespace cfg

namespace {

using Sylvane::check;
using Sylvane::check_failure;

/// The failure that `read_as<T>` raises for `text`, as `check` reports one.
template <class T>
check_failure read_as_failure(std::string_view text) {
    try {
        (void)Sylvane::read_as<T>(text);
    } catch (const Sylvane::located_error& e) {
        return {std::string(e.message()), std::string(e.pointer().value_or("?")),
                e.position().value_or(Sylvane::text_position{}), false};
    } catch (const Sylvane::parse_error& e) {
        return {std::string(e.reason()), {}, {e.offset(), e.line(), e.column()}, true};
    }
    ADD_FAILURE() << "read_as took " << text;
    return {};
}

/// The position in `text` of the first occurrence of `marker`.
Sylvane::text_position at(std::string_view text, std::string_view marker) {
    const auto offset = text.find(marker);
    EXPECT_NE(offset, std::string_view::npos) << marker;
    return Sylvane::json_tree::position_in(text, offset);
}

constexpr std::string_view valid = R"({"name": "main", "servers": [{"host": "a", "port": 80}],
  "limits": {"x": 1}, "origin": [0, 1.5], "ids": [1, 2], "flags": {"7": true}})";

TEST(check, a_valid_document_has_no_failure) {
    const auto r = check<cfg::config>(valid);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(r.more, 0u);
}

TEST(check, five_independent_mistakes_give_five_failures_in_order) {
    constexpr std::string_view text = R"({
  "name": 7,
  "servers": [
    {"host": "a", "port": 70000},
    {"port": 1, "level": "mid"},
    {"host": "c", "port": 2, "extra": true}
  ],
  "limits": {"x": 1},
  "origin": [1.0, 2.0],
  "ids": [1, 2],
  "flags": {}
})";
    const auto r = check<cfg::config>(text);
    ASSERT_EQ(r.failures.size(), 5u);
    EXPECT_EQ(r.more, 0u);
    const std::vector<check_failure> expected{
        {"string_of_yojson: string needed", "/name", at(text, "7,"), false},
        {"uint16_of_yojson: integer out of range", "/servers/0/port", at(text, "70000"), false},
        {"level_of_yojson: unexpected variant constructor", "/servers/1/level", at(text, "\"mid"),
         false},
        {"server_of_yojson: the following record elements were undefined: host", "/servers/1",
         at(text, "{\"port\": 1"), false},
        {"server_of_yojson: extra fields: extra", "/servers/2", at(text, "{\"host\": \"c\""),
         false},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(r.failures[i], expected[i]) << i;
    EXPECT_EQ(r.failures[0], read_as_failure<cfg::config>(text));
}

TEST(check, stops_at_the_limit_and_counts_the_rest) {
    std::string text = "[";
    for (int i = 0; i < 10000; ++i) text += i == 0 ? "\"x\"" : ",\"x\"";
    text += "]";
    const auto r = check<std::vector<std::int64_t>>(text);
    ASSERT_EQ(r.failures.size(), 100u);
    EXPECT_EQ(r.more, 9900u);
    EXPECT_EQ(r.failures.front().pointer, "/0");
    EXPECT_EQ(r.failures.back().pointer, "/99");
    EXPECT_EQ(r.failures.back().where.column, 1u + 99 * 4 + 1);

    const auto three = check<std::vector<std::int64_t>>(text, {.max_failures = 3});
    EXPECT_EQ(three.failures.size(), 3u);
    EXPECT_EQ(three.more, 9997u);
    const auto none = check<std::vector<std::int64_t>>(text, {.max_failures = 0});
    EXPECT_TRUE(none.failures.empty());
    EXPECT_EQ(none.more, 10000u);
    EXPECT_FALSE(none.ok());
}

// The first failure is read_as's, whichever way the direct read stops.
TEST(check, the_first_failure_is_read_as_failure) {
    const std::string_view documents[] = {
        R"([1, 2])",
        R"({"name": "n", "servers": 3, "limits": {}, "origin": [0, 0], "ids": [], "flags": {}})",
        R"({"name": "n", "name": "m", "servers": [], "limits": {}, "origin": [0, 0], "ids": [],
            "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {"a": 1, "a": 2}, "origin": [0, 0], "ids": [],
            "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, "x", 0], "ids": [],
            "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [3, 4, 3],
            "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [],
            "flags": {"07": true, "x": 1}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [],
            "flags": {"99999999999": true}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 1e999], "ids": [], "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [123456789012345678901234, "x"],
            "ids": [], "flags": {}})",
        R"({"name": "n", "servers": [], "limits": {"b": 3000000000}, "origin": [0, 0], "ids": [],
            "flags": {}, "fallback": {"name": "f", "servers": [{"host": 1}]}})",
        R"({"name": "n", "servers": [{"host": "h", "port": 1, "level": ["high"]}, {"port": -1}],
            "limits": {}, "origin": [0, 0], "ids": [], "flags": {}, "unknown": 1})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [], "flags": {} ]})",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [], "flags": {}} x)",
        R"({"name": "n", "servers": [], "limits": {}, "origin": [0, 0], "ids": [], "flags": []})",
        R"("just a string")",
        R"(17)",
    };
    for (const std::string_view text : documents) {
        const auto r = check<cfg::config>(text);
        ASSERT_FALSE(r.failures.empty()) << text;
        EXPECT_EQ(r.failures.front(), read_as_failure<cfg::config>(text)) << text;
    }
}

TEST(check, text_that_is_not_json_has_one_failure) {
    const auto r = check<cfg::config>("{\"name\": [1, 2}");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_TRUE(r.failures[0].syntax);
    EXPECT_EQ(r.failures[0].message, "unexpected character '}', expected ',' or ']'");
    EXPECT_EQ(r.failures[0].where.column, 15u);
    EXPECT_EQ(Sylvane::to_string(r.failures[0], "c.json"),
              "c.json:1:15: unexpected character '}', expected ',' or ']'");
}

TEST(check, every_kind_of_record_key_failure_is_reported) {
    // The converter reports only the first kind; check reports each.
    constexpr std::string_view text = R"([{"port": 1, "port": 2, "x": 0}])";
    const auto r = check<std::vector<cfg::server>>(text);
    ASSERT_EQ(r.failures.size(), 3u);
    EXPECT_EQ(r.failures[0].message, "server_of_yojson: duplicate fields: port");
    EXPECT_EQ(r.failures[1].message, "server_of_yojson: extra fields: x");
    EXPECT_EQ(r.failures[2].message,
              "server_of_yojson: the following record elements were undefined: host");
    for (const auto& f : r.failures) EXPECT_EQ(f.pointer, "/0");
}

TEST(check, containers_are_walked_past_each_failure) {
    const auto seq = check<std::vector<std::int64_t>>(R"([1, "x", 3, 4.5, null])");
    ASSERT_EQ(seq.failures.size(), 3u);
    EXPECT_EQ(seq.failures[0].pointer, "/1");
    EXPECT_EQ(seq.failures[1].pointer, "/3");
    EXPECT_EQ(seq.failures[2].pointer, "/4");
    const auto sets = check<std::vector<std::set<std::int64_t>>>(R"([[1, 1, "a", 1], [2, 2]])");
    ASSERT_EQ(sets.failures.size(), 4u);
    EXPECT_EQ(sets.failures[0].pointer, "/0/1");
    EXPECT_EQ(sets.failures[0].message, "set_of_yojson: duplicate element");
    EXPECT_EQ(sets.failures[1].pointer, "/0/2");
    EXPECT_EQ(sets.failures[2].pointer, "/0/3");
    EXPECT_EQ(sets.failures[3].pointer, "/1/1");
    const auto arrays = check<std::array<std::int64_t, 2>>(R"([1, "a", 3])");
    ASSERT_EQ(arrays.failures.size(), 2u);
    EXPECT_EQ(arrays.failures[0].message, "fixed_array_of_yojson: list of 2 elements needed");
    EXPECT_EQ(arrays.failures[1].pointer, "/1");
    const auto maps = check<std::map<std::int8_t, std::string>>(R"({"1": 1, "x": "a", "1": "b"})");
    ASSERT_EQ(maps.failures.size(), 3u);
    EXPECT_EQ(maps.failures[0].message, "string_of_yojson: string needed");
    EXPECT_EQ(maps.failures[1].message, "map_of_yojson: integer key needed");
    EXPECT_EQ(maps.failures[1].pointer, "/x");
    EXPECT_EQ(maps.failures[2].message, "map_of_yojson: duplicate key");
}

TEST(check, tagged_variants_are_walked_into_their_payloads) {
    constexpr std::string_view text = R"({
  "l": [["c", {"r": "x", "id": "y"}], ["p", 1, 2], ["q"], ["c"]],
  "e": [{"c": {"r": "x", "id": 1.5}}, {"b": 1}],
  "i": [{"type": "c", "r": "x", "id": "y", "z": 1}, {"type": "b", "r": 1}],
  "a": [{"t": "c", "v": {"r": "x", "id": "y"}}, {"t": "c"}],
  "u": [{"r": "x", "id": "y"}]
})";
    const auto r = check<cfg::drawing>(text);
    const std::vector<std::pair<std::string_view, std::string_view>> expected{
        {"/l/0/1/r", "float_of_yojson: float needed"},
        {"/l/0/1/id", "int_of_yojson: integer needed"},
        {"/l/1/1", "string_of_yojson: string needed"},
        {"/l/1/2", "bool_of_yojson: true/false needed"},
        {"/l/2", "list_shape_of_yojson: unexpected variant constructor"},
        {"/l/3", "list_shape_of_yojson: this constructor requires arguments"},
        {"/e/0/c/r", "float_of_yojson: float needed"},
        {"/e/0/c/id", "int_of_yojson: integer needed"},
        {"/e/1", "ext_shape_of_yojson: this constructor does not take arguments"},
        {"/i/0/r", "float_of_yojson: float needed"},
        {"/i/0/id", "int_of_yojson: integer needed"},
        {"/i/0", "circle_of_yojson: extra fields: z"},
        {"/i/1", "int_shape_of_yojson: this constructor does not take arguments"},
        {"/a/0/v/r", "float_of_yojson: float needed"},
        {"/a/0/v/id", "int_of_yojson: integer needed"},
        {"/a/1", "adj_shape_of_yojson: this constructor requires arguments"},
        {"/u/0", "any_shape_of_yojson: no matching variant found"},
    };
    ASSERT_EQ(r.failures.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.failures[i].pointer, expected[i].first) << i;
        EXPECT_EQ(r.failures[i].message, expected[i].second) << i;
    }
    EXPECT_EQ(r.failures[0], read_as_failure<cfg::drawing>(text));
    // Each form's first failure alone is read_as's too.
    for (const std::string_view one :
         {R"({"l": [], "e": [{"c": {"r": 1, "id": 1.5}}], "i": [], "a": [], "u": []})",
          R"({"l": [], "e": [], "i": [{"type": "c", "id": 1}], "a": [], "u": []})",
          R"({"l": [], "e": [], "i": [{"r": 1, "type": "c", "id": true}], "a": [], "u": []})",
          R"({"l": [], "e": [], "i": [], "a": [{"v": {"id": 1}, "t": "c"}], "u": []})",
          R"({"l": [["p", "s", false, 1]], "e": [], "i": [], "a": [], "u": []})"}) {
        const auto first = check<cfg::drawing>(one);
        ASSERT_FALSE(first.ok()) << one;
        EXPECT_EQ(first.failures[0], read_as_failure<cfg::drawing>(one)) << one;
    }
}

/// Checks that `r` has the failures `expected` (pointer, message), in order.
void expect_failures(const Sylvane::check_result& r,
                     const std::vector<std::pair<std::string_view, std::string_view>>& expected) {
    ASSERT_EQ(r.failures.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.failures[i].pointer, expected[i].first) << i;
        EXPECT_EQ(r.failures[i].message, expected[i].second) << i;
    }
}

TEST(check, flattened_members_and_tri_states_are_walked_into) {
    constexpr std::string_view text = R"([
  {"id": "x", "createdBy": 1, "version": 2, "parent": "p", "refs": [1, "a", "b"], "branch": "b",
   "other": 1},
  {"id": 1, "parent": null, "refs": null, "branch": "b"},
  {"parent": 3, "version": 1.5, "createdBy": "c", "branch": "b", "id": 2}
])";
    const auto r = check<std::vector<cfg::event>>(text);
    expect_failures(r, {{"/0/id", "int_of_yojson: integer needed"},
                        {"/0/createdBy", "string_of_yojson: string needed"},
                        {"/0/parent", "int_of_yojson: integer needed"},
                        {"/0/refs/1", "int_of_yojson: integer needed"},
                        {"/0/refs/2", "int_of_yojson: integer needed"},
                        {"/0", "event_of_yojson: extra fields: other"},
                        {"/1",
                         "event_of_yojson: the following record elements were undefined: createdBy "
                         "version"},
                        {"/2/version", "int_of_yojson: integer needed"}});
    EXPECT_EQ(r.failures[0], read_as_failure<std::vector<cfg::event>>(text));
    EXPECT_EQ(r.failures[0].where, at(text, "\"x\""));
    EXPECT_TRUE(check<cfg::event>(R"({"id": 1, "createdBy": "c", "version": 2, "branch": "b"})"));
}

TEST(check, kept_unknown_keys_are_no_failure) {
    constexpr std::string_view text =
        R"([{"name": 1, "x": [1], "size": "s", "y": {"z": 2}, "name": "n"}, {"size": 1}])";
    const auto r = check<std::vector<cfg::plugin>>(text);
    expect_failures(r, {{"/0/name", "string_of_yojson: string needed"},
                        {"/0/size", "int_of_yojson: integer needed"},
                        {"/0", "plugin_of_yojson: duplicate fields: name"},
                        {"/1",
                         "plugin_of_yojson: the following record elements were undefined: "
                         "name"}});
    EXPECT_EQ(r.failures[0], read_as_failure<std::vector<cfg::plugin>>(text));
}

TEST(check, integer_tagged_variants_are_walked_into_their_payloads) {
    constexpr std::string_view text = R"({
  "l": [[1, {"r": "x", "id": "y"}], [3, 1, 2], [9], ["1"], [2, 1]],
  "i": [{"kind": 0, "r": "x", "id": "y", "z": 1}, {"kind": 1, "r": 1}, {"kind": "0"}, {"kind": 1.0}],
  "a": [{"t": 10, "v": {"r": "x", "id": "y"}}, {"t": 10}, {"t": 11, "v": 1}],
  "h": [200, 201, "200"]
})";
    const auto r = check<cfg::coded>(text);
    expect_failures(r, {{"/l/0/1/r", "float_of_yojson: float needed"},
                        {"/l/0/1/id", "int_of_yojson: integer needed"},
                        {"/l/1/1", "string_of_yojson: string needed"},
                        {"/l/1/2", "bool_of_yojson: true/false needed"},
                        {"/l/2", "list_coded_of_yojson: unexpected variant constructor"},
                        {"/l/3", "list_coded_of_yojson: unexpected variant constructor"},
                        {"/l/4", "list_coded_of_yojson: this constructor does not take arguments"},
                        {"/i/0/r", "float_of_yojson: float needed"},
                        {"/i/0/id", "int_of_yojson: integer needed"},
                        {"/i/0", "circle_of_yojson: extra fields: z"},
                        {"/i/1", "int_coded_of_yojson: this constructor does not take arguments"},
                        {"/i/2", "int_coded_of_yojson: unexpected variant constructor"},
                        {"/i/3", "int_coded_of_yojson: unexpected variant constructor"},
                        {"/a/0/v/r", "float_of_yojson: float needed"},
                        {"/a/0/v/id", "int_of_yojson: integer needed"},
                        {"/a/1", "adj_coded_of_yojson: this constructor requires arguments"},
                        {"/a/2", "adj_coded_of_yojson: unexpected variant constructor"},
                        {"/h/1", "http_of_yojson: unexpected variant constructor"},
                        {"/h/2", "http_of_yojson: unexpected variant constructor"}});
    EXPECT_EQ(r.failures[0], read_as_failure<cfg::coded>(text));
    // Each form's first failure alone is read_as's too, the internal form's straight from the
    // text whether its tag comes first or not.
    for (const std::string_view one :
         {R"({"l": [], "i": [{"kind": 0, "r": 1, "id": true}], "a": [], "h": []})",
          R"({"l": [], "i": [{"r": 1, "kind": 0, "id": true}], "a": [], "h": []})",
          R"({"l": [], "i": [{"kind": 0, "id": 1}], "a": [], "h": []})",
          R"({"l": [], "i": [{"kind": 7, "id": 1}], "a": [], "h": []})",
          R"({"l": [], "i": [], "a": [{"v": {"id": 1}, "t": 10}], "h": []})",
          R"({"l": [[3, "s", 1]], "i": [], "a": [], "h": []})",
          R"({"l": [], "i": [], "a": [], "h": [404, 1e2]})"}) {
        const auto first = check<cfg::coded>(one);
        ASSERT_FALSE(first.ok()) << one;
        EXPECT_EQ(first.failures[0], read_as_failure<cfg::coded>(one)) << one;
    }
}

TEST(check, keys_with_slashes_and_tildes_are_escaped_in_pointers) {
    const auto r = check<std::map<std::string, std::int64_t>>(R"({"a/b~c": "x"})");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].pointer, "/a~1b~0c");
}

TEST(check, failures_print_as_editors_link_them) {
    constexpr std::string_view text = "[\"x\", 2, \"y\"]";
    const auto r = check<std::vector<std::int64_t>>(text, {.max_failures = 1});
    std::ostringstream out;
    r.print(out, "n.json");
    EXPECT_EQ(out.str(),
              "n.json:1:2: /0: int_of_yojson: integer needed\n"
              "n.json: 1 more failures\n");
    const auto root = check<std::int64_t>("\"x\"");
    ASSERT_EQ(root.failures.size(), 1u);
    EXPECT_EQ(Sylvane::to_string(root.failures[0]), "1:1: the root: int_of_yojson: integer needed");
}

TEST(check, a_document_nested_too_deep_fails_once_where_read_as_does) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += R"({"n": 1, "next": )";
    text += "null";
    for (int i = 0; i < 600; ++i) text += "}";
    const Sylvane::check_options deep{.read = {.max_depth = 1000}};
    const auto r = check<cfg::link>(text, deep);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].message, "link_of_yojson: nesting deeper than 512");
    try {
        (void)Sylvane::read_as<cfg::link>(text, deep.read);
        ADD_FAILURE();
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(r.failures[0].pointer, e.pointer().value_or("?"));
        EXPECT_EQ(r.failures[0].where, e.position().value_or(Sylvane::text_position{}));
    }
}

TEST(check, a_tree_type_checks_the_text_alone) {
    EXPECT_TRUE(check<Sylvane::yojson>("[1, {}]").ok());
    EXPECT_EQ(check<Sylvane::yojson>("[1,").failures.size(), 1u);
}

}  // namespace
