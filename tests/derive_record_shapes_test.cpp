// Record shapes of real documents: null told from absent, class templates, fields of a member
// embedded in the parent's object, unknown keys kept. Every case goes both ways, through a
// tree and straight between text and value.

#include "derive_support.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
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

}  // namespace shapes

namespace {

using namespace derive_test;
using Sylvane::nullable_field;

/// Reads `text` as a `T` by both routes, checks they agree, and checks that the value is
/// written back as `written` by both routes. Returns the value.
template <class T>
T both_ways(const std::string& text, const std::string& written) {
    const T direct = Sylvane::read_as<T>(text);
    const T through_tree = Sylvane::of_yojson<T>(Sylvane::read(text));
    EXPECT_TRUE(direct == through_tree) << text;
    EXPECT_EQ(Sylvane::write(direct), written) << text;
    EXPECT_EQ(Sylvane::write(Sylvane::yojson_of(direct)), written) << text;
    return direct;
}

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

}  // namespace
