// Record shapes of real documents: null told from absent, class templates, fields of a member
// embedded in the parent's object, unknown keys kept. Every case goes both ways, through a
// tree and straight between text and value.

#include "derive_support.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/sylvane.hpp>

namespace shapes {

struct patch {
    Sylvane::nullable_field<std::int64_t> k;
    bool operator==(const patch&) const = default;
};
SYLVANE_RECORD(patch, k)

struct defaults {
    Sylvane::nullable_field<std::string> ref = std::string("main");
    Sylvane::nullable_field<std::int64_t> n;
    bool operator==(const defaults&) const = default;
};
SYLVANE_RECORD_WITH(defaults, (omit_empty), (ref, with_default), n)

template <class T>
struct box {
    T value{};
    std::string label;
    std::optional<T> spare;
    bool operator==(const box&) const = default;
};
SYLVANE_RECORD_TEMPLATE((class T), (box<T>), value, label, (spare, omit_empty))

template <class K, std::size_t N>
struct keyed {
    std::array<K, N> first_keys{};
    bool operator==(const keyed&) const = default;
};
SYLVANE_RECORD_TEMPLATE_WITH((class K, std::size_t N), (keyed<K, N>), (rename_all(camel_case)),
                             first_keys)

template <class T>
class wrapper {
public:
    wrapper() = default;
    explicit wrapper(T inner) : inner_(std::move(inner)) {}
    bool operator==(const wrapper&) const = default;

private:
    T inner_{};
    SYLVANE_INTRUSIVE_RECORD(wrapper, (inner_, key("inner")))
};

struct point {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const point&) const = default;
};
SYLVANE_RECORD(point, x, y)

// Three levels: an event flattens the common fields, which flatten the audit fields; each level
// names its keys by its own policy.
struct audit {
    std::string created_by;
    std::int64_t version = 0;
    bool operator==(const audit&) const = default;
};
SYLVANE_RECORD_WITH(audit, (rename_all(camel_case)), created_by, version)
struct common {
    std::int64_t id = 0;
    audit meta;
    Sylvane::nullable_field<std::string> note;
    bool operator==(const common&) const = default;
};
SYLVANE_RECORD(common, id, (meta, flatten), note)
struct push_event {
    common base;
    std::string branch;
    bool operator==(const push_event&) const = default;
};
SYLVANE_RECORD_WITH(push_event, (deny_unknown_keys), (base, flatten), branch)

using kept = std::vector<std::pair<std::string, Sylvane::yojson>>;
struct plugin {
    std::string name;
    kept rest;
    std::int64_t size = 0;
    bool operator==(const plugin&) const = default;
};
SYLVANE_RECORD_WITH(plugin, (deny_unknown_keys), name, (rest, extra_keys), size)

struct tagged_plugin {
    audit meta;
    kept rest;
    bool operator==(const tagged_plugin&) const = default;
};
SYLVANE_RECORD(tagged_plugin, (meta, flatten), (rest, extra_keys))
struct nothing {
    bool operator==(const nothing&) const = default;
};
struct entry : std::variant<tagged_plugin, nothing> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(entry, (internal_tag("type")), (tagged_plugin, "plugin"), (nothing, "none"))

/// Keys of every length the key compare treats apart: 1 to 3, 4 to 7, 8, 9 to 16 and beyond.
struct key_lengths {
    int a = 0, bb = 0, ccc = 0, dddd = 0, eeeeeee = 0, ffffffff = 0, ggggggggg = 0;
    int hhhhhhhhhhhhhhhh = 0, iiiiiiiiiiiiiiiiiiiiiiiii = 0;
    bool operator==(const key_lengths&) const = default;
};
SYLVANE_RECORD_WITH(key_lengths, (deny_unknown_keys), a, bb, ccc, dddd, eeeeeee, ffffffff,
                    ggggggggg, hhhhhhhhhhhhhhhh, iiiiiiiiiiiiiiiiiiiiiiiii)

}  // namespace shapes

namespace {

using namespace derive_test;
using Sylvane::nullable_field;

TEST(nullable_field, absent_null_and_a_value_round_trip_exactly) {
    EXPECT_TRUE(both_ways<shapes::patch>("{}", "{}").k.is_absent());
    const shapes::patch null = both_ways<shapes::patch>(R"({"k": null})", R"({"k":null})");
    EXPECT_TRUE(null.k.is_null());
    EXPECT_FALSE(null.k.has_value());
    const shapes::patch one = both_ways<shapes::patch>(R"({"k": 1})", R"({"k":1})");
    ASSERT_TRUE(one.k.has_value());
    EXPECT_EQ(*one.k, 1);
    // The three differ from each other.
    EXPECT_NE(shapes::patch{}, shapes::patch{nullable_field<std::int64_t>::null()});
    EXPECT_NE(shapes::patch{}, shapes::patch{0});
}

TEST(nullable_field, options_do_not_blur_null_and_absent) {
    // omit_empty leaves out absent fields, not null ones; with_default keeps the initialiser
    // only when the key is missing.
    const auto kept = both_ways<shapes::defaults>("{}", R"({"ref":"main"})");
    EXPECT_EQ(*kept.ref, "main");
    EXPECT_TRUE(kept.n.is_absent());
    const auto cleared =
        both_ways<shapes::defaults>(R"({"ref": null, "n": null})", R"({"ref":null,"n":null})");
    EXPECT_TRUE(cleared.ref.is_null());
    EXPECT_TRUE(cleared.n.is_null());
}

TEST(nullable_field, outside_a_record_absent_is_written_null) {
    using list = std::vector<nullable_field<std::int64_t>>;
    const list read = both_ways<list>("[null, 2]", "[null,2]");
    EXPECT_TRUE(read[0].is_null());
    EXPECT_EQ(Sylvane::write(list{nullable_field<std::int64_t>{}, 3}), "[null,3]");
}

TEST(nullable_field, a_bad_value_fails_as_the_value_type_does) {
    try {
        Sylvane::read_as<shapes::patch>(R"({"k": "1"})");
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "int_of_yojson: integer needed");
        EXPECT_EQ(e.pointer(), "/k");
    }
    const yojson tree = Sylvane::read(R"({"k": 1.5})");
    expect_failure([&] { Sylvane::of_yojson<shapes::patch>(tree); },
                   "int_of_yojson: integer needed", tree.as_assoc()[0].second);
}

TEST(nullable_field, states_change_as_asked) {
    nullable_field<std::string> f;
    EXPECT_THROW((void)f.value(), std::bad_optional_access);
    f.set_null();
    EXPECT_TRUE(f.is_null());
    EXPECT_THROW((void)f.value(), std::bad_optional_access);
    f.emplace("x");
    EXPECT_FALSE(f.is_null());
    EXPECT_EQ(f.value(), "x");
    EXPECT_EQ(f->size(), 1u);
    f.reset();
    EXPECT_TRUE(f.is_absent());
}

TEST(record_template, one_macro_serves_every_instantiation) {
    const auto n = both_ways<shapes::box<std::int64_t>>(R"({"value": 3, "label": "n"})",
                                                        R"({"value":3,"label":"n"})");
    EXPECT_EQ(n.value, 3);
    EXPECT_EQ(both_ways<shapes::box<std::string>>(R"({"value": "s", "label": "", "spare": "t"})",
                                                  R"({"value":"s","label":"","spare":"t"})")
                  .spare,
              "t");
    using boxed_point = shapes::box<shapes::point>;
    EXPECT_EQ(both_ways<boxed_point>(R"({"value": {"x": 1, "y": 2}, "label": "p"})",
                                     R"({"value":{"x":1,"y":2},"label":"p"})")
                  .value.y,
              2);
    // Options and several parameters; messages name the template.
    EXPECT_EQ((both_ways<shapes::keyed<std::int64_t, 2>>(R"({"firstKeys": [1, 2]})",
                                                         R"({"firstKeys":[1,2]})")
                   .first_keys[1]),
              2);
    const yojson missing = Sylvane::read(R"({"value": 1})");
    expect_failure([&] { Sylvane::of_yojson<shapes::box<std::int64_t>>(missing); },
                   "box_of_yojson: the following record elements were undefined: label", missing);
    // Written inside a class template, the intrusive macro serves every instantiation too.
    EXPECT_EQ(Sylvane::write(shapes::wrapper<std::int64_t>(4)), R"({"inner":4})");
    EXPECT_EQ(Sylvane::read_as<shapes::wrapper<std::string>>(R"({"inner": "a"})"),
              shapes::wrapper<std::string>("a"));
}

TEST(flatten, fields_of_members_stand_in_the_parent_object_two_levels_deep) {
    const std::string text = R"({"id":7,"createdBy":"ann","version":2,"branch":"main"})";
    const auto e = both_ways<shapes::push_event>(text, text);
    EXPECT_EQ(e.base.id, 7);
    EXPECT_EQ(e.base.meta.created_by, "ann");
    EXPECT_EQ(e.base.meta.version, 2);
    EXPECT_TRUE(e.base.note.is_absent());
    EXPECT_EQ(e.branch, "main");
    // Any order, and a nested field that may be absent given.
    EXPECT_EQ(both_ways<shapes::push_event>(
                  R"({"branch":"b","version":1,"note":null,"id":1,"createdBy":""})",
                  R"({"id":1,"createdBy":"","version":1,"note":null,"branch":"b"})")
                  .base.note.is_null(),
              true);
}

TEST(flatten, failures_are_the_parents_with_the_nested_keys) {
    const yojson missing = Sylvane::read(R"({"id": 1, "createdBy": "a", "branch": "b"})");
    expect_failure([&] { Sylvane::of_yojson<shapes::push_event>(missing); },
                   "push_event_of_yojson: the following record elements were undefined: version",
                   missing);
    const yojson unknown =
        Sylvane::read(R"({"id": 1, "createdBy": "a", "version": 1, "branch": "b", "meta": {}})");
    expect_failure([&] { Sylvane::of_yojson<shapes::push_event>(unknown); },
                   "push_event_of_yojson: extra fields: meta", unknown);
    const yojson twice =
        Sylvane::read(R"({"id": 1, "createdBy": "a", "version": 1, "branch": "b", "id": 2})");
    expect_failure([&] { Sylvane::of_yojson<shapes::push_event>(twice); },
                   "push_event_of_yojson: duplicate fields: id", twice);
    try {
        Sylvane::read_as<shapes::push_event>(
            R"({"id": 1, "createdBy": "a", "version": "1", "branch": "b"})");
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "int_of_yojson: integer needed");
        EXPECT_EQ(e.pointer(), "/version");
    }
}

TEST(extra_keys, unknown_keys_are_kept_in_order_and_written_back) {
    const auto p = both_ways<shapes::plugin>(
        R"({"b": 1, "name": "x", "a": [true, {"c": null}], "size": 3, "b": "again"})",
        R"({"name":"x","size":3,"b":1,"a":[true,{"c":null}],"b":"again"})");
    ASSERT_EQ(p.rest.size(), 3u);
    EXPECT_EQ(p.rest[0].first, "b");
    EXPECT_EQ(p.rest[1].second, Sylvane::read(R"([true, {"c": null}])"));
    EXPECT_EQ(p.rest[2].second, Sylvane::yojson::String("again"));
    // Fields repeated are still refused, and nothing is kept without unknown keys.
    const yojson twice = Sylvane::read(R"({"name": "x", "size": 1, "name": "y"})");
    expect_failure([&] { Sylvane::of_yojson<shapes::plugin>(twice); },
                   "plugin_of_yojson: duplicate fields: name", twice);
    EXPECT_TRUE(both_ways<shapes::plugin>(R"({"name": "", "size": 0})", R"({"name":"","size":0})")
                    .rest.empty());
}

TEST(extra_keys, neither_a_tag_nor_flattened_fields_are_kept) {
    const std::string text = R"({"type":"plugin","createdBy":"c","version":1,"x":false})";
    const auto e = both_ways<std::vector<shapes::entry>>("[" + text + "]", "[" + text + "]");
    const auto& p = std::get<shapes::tagged_plugin>(e[0]);
    ASSERT_EQ(p.rest.size(), 1u);
    EXPECT_EQ(p.rest[0].first, "x");
    EXPECT_EQ(p.meta.created_by, "c");
}

TEST(extra_keys, a_kept_key_that_a_field_takes_is_not_written) {
    // The object would not read back: both routes refuse it alike.
    shapes::plugin p;
    p.rest.emplace_back("size", Sylvane::yojson::Int(1));
    const std::string message =
        "yojson_of_plugin: the extra key \"size\" is also a key of the record";
    for (auto write :
         {+[](const shapes::plugin& v) { return Sylvane::write(v); },
          +[](const shapes::plugin& v) { return Sylvane::write(Sylvane::yojson_of(v)); }}) {
        try {
            write(p);
            ADD_FAILURE() << "no failure";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    shapes::tagged_plugin with_tag;
    with_tag.rest.emplace_back("type", Sylvane::yojson::Null());
    const shapes::entry tagged = with_tag;
    EXPECT_THROW(Sylvane::write(tagged), std::invalid_argument);
}

}  // namespace

namespace {

// Each key read in order from a tree, and a key that differs from a field's in any one byte
// refused as unknown: the first, the last, or one in the middle.
TEST(derive_record_shapes, keys_of_every_length_told_apart) {
    const std::vector<std::string> keys = {"a",
                                           "bb",
                                           "ccc",
                                           "dddd",
                                           "eeeeeee",
                                           "ffffffff",
                                           "ggggggggg",
                                           "hhhhhhhhhhhhhhhh",
                                           "iiiiiiiiiiiiiiiiiiiiiiiii"};
    const auto object_of = [&](std::size_t changed, std::size_t at) {
        std::string text = "{";
        for (std::size_t k = 0; k < keys.size(); ++k) {
            std::string key = keys[k];
            if (k == changed) key[at] = 'z';
            text += (k ? ",\"" : "\"") + key + "\":" + std::to_string(k + 1);
        }
        return text + "}";
    };
    const auto read = [](const std::string& text) {
        return Sylvane::of_yojson<shapes::key_lengths>(Sylvane::read(text));
    };
    const shapes::key_lengths all = read(object_of(keys.size(), 0));
    EXPECT_EQ(all.a, 1);
    EXPECT_EQ(all.iiiiiiiiiiiiiiiiiiiiiiiii, 9);
    for (std::size_t k = 0; k < keys.size(); ++k)
        for (const std::size_t at : {std::size_t{0}, keys[k].size() / 2, keys[k].size() - 1})
            EXPECT_THROW((void)read(object_of(k, at)), Sylvane::Treeform::Of_yojson_error)
                << keys[k] << " changed at " << at;
}

}  // namespace
