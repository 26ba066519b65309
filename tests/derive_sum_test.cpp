// Enumerations and variants: the tag encoding, and every sum failure reached through derived
// converters.

#include "derive_support.hpp"

#include <stdexcept>
#include <string>
#include <tuple>
#include <variant>

namespace sum {
enum class color { red, green, blue };
SYLVANE_ENUM(color, red, green, blue)

enum unscoped { small = 1, large = 10 };
SYLVANE_ENUM(unscoped, small, large)

enum class never_t {};
SYLVANE_ENUM(never_t)

struct circle {
    double r = 0;
    bool operator==(const circle&) const = default;
};
SYLVANE_RECORD(circle, r)
struct none {
    bool operator==(const none&) const = default;
};
using pt = std::tuple<std::int64_t, std::int64_t>;
using shape = std::variant<circle, none, pt, std::string>;
SYLVANE_VARIANT(shape, (circle, "Circle"), (none, "None"), (pt, "Pt"), (std::string, "Label"))

// No alternative is a type of this namespace, so the variant is a class of its own; the tags
// are listed in another order than the alternatives.
struct boxed : std::variant<std::int64_t, std::string> {
    using variant::variant;
};
SYLVANE_VARIANT(boxed, (std::string, "Str"), (std::int64_t, "Int"))
}  // namespace sum

namespace {

using namespace derive_test;
using Sylvane::of_yojson;
using Sylvane::yojson_of;

TEST(derive_enum, writes_the_tag_string_and_reads_both_forms) {
    EXPECT_EQ(sum::yojson_of_color(sum::color::green), Str("green"));
    EXPECT_EQ(sum::color_of_yojson(Str("blue")), sum::color::blue);
    EXPECT_EQ(sum::color_of_yojson(List({Str("red")})), sum::color::red);
    EXPECT_EQ(of_yojson<sum::unscoped>(yojson_of(sum::large)), sum::large);
}

TEST(derive_enum, malformed_trees) {
    struct {
        yojson tree;
        std::string_view message;
    } const cases[] = {
        {Str("purple"), "color_of_yojson: unexpected variant constructor"},
        {List({Str("purple")}), "color_of_yojson: unexpected variant constructor"},
        {List({Str("red"), Int(1)}), "color_of_yojson: this constructor does not take arguments"},
        {List({}), "color_of_yojson: expected a variant type, saw an empty list"},
        {List({List({Str("red")})}), "color_of_yojson: expected a variant type, saw a nested list"},
        {List({Int(0)}), "color_of_yojson: unexpected variant constructor"},
        {Int(0), "color_of_yojson: unexpected variant constructor"},
        {Obj({{"red", yojson::Null()}}), "color_of_yojson: unexpected variant constructor"},
        {Str("Red"), "color_of_yojson: unexpected variant constructor"},
    };
    for (const auto& c : cases) {
        expect_failure([&] { sum::color_of_yojson(c.tree); }, c.message, c.tree);
    }
}

TEST(derive_enum, empty_type) {
    const yojson t = Str("anything");
    expect_failure([&] { sum::never_t_of_yojson(t); },
                   "never_t_of_yojson: trying to convert an empty type", t);
}

TEST(derive_enum, a_value_that_is_no_enumerator_is_refused_when_written) {
    EXPECT_THROW(sum::yojson_of_color(static_cast<sum::color>(7)), std::invalid_argument);
}

TEST(derive_variant, writes_tag_and_arguments) {
    EXPECT_EQ(yojson_of(sum::shape{sum::circle{1.5}}),
              List({Str("Circle"), Obj({{"r", yojson::Float(1.5)}})}));
    EXPECT_EQ(yojson_of(sum::shape{sum::none{}}), List({Str("None")}));
    EXPECT_EQ(yojson_of(sum::shape{sum::pt{1, 2}}), List({Str("Pt"), Int(1), Int(2)}));
    EXPECT_EQ(yojson_of(sum::shape{std::string("a")}), List({Str("Label"), Str("a")}));
    EXPECT_EQ(sum::yojson_of_boxed(sum::boxed{std::int64_t{3}}), List({Str("Int"), Int(3)}));
}

TEST(derive_variant, round_trips) {
    for (const sum::shape& s : {sum::shape{sum::circle{2}}, sum::shape{sum::none{}},
                                sum::shape{sum::pt{-1, 9}}, sum::shape{std::string("z")}}) {
        EXPECT_EQ(of_yojson<sum::shape>(yojson_of(s)), s);
    }
    EXPECT_EQ(of_yojson<sum::boxed>(List({Str("Str"), Str("q")})), sum::boxed{std::string("q")});
    EXPECT_EQ(of_yojson<sum::shape>(Str("None")), sum::shape{sum::none{}});
}

TEST(derive_variant, malformed_trees) {
    struct {
        yojson tree;
        std::string_view message;
    } const cases[] = {
        {Str("Circle"), "shape_of_yojson: this constructor requires arguments"},
        {List({Str("Circle")}), "shape_of_yojson: this constructor requires arguments"},
        {List({Str("None"), Int(1)}), "shape_of_yojson: this constructor does not take arguments"},
        {List({Str("Pt"), Int(1)}),
         "shape_of_yojson: sum tag \"Pt\" has incorrect number of arguments"},
        {List({Str("Pt"), Int(1), Int(2), Int(3)}),
         "shape_of_yojson: sum tag \"Pt\" has incorrect number of arguments"},
        {List({Str("Circle"), Obj({}), Obj({})}),
         "shape_of_yojson: sum tag \"Circle\" has incorrect number of arguments"},
        {List({List({Str("None")}), Int(1)}),
         "shape_of_yojson: expected a variant type, saw a nested list"},
        {List({}), "shape_of_yojson: expected a variant type, saw an empty list"},
        {List({Str("Square"), Int(1)}), "shape_of_yojson: unexpected variant constructor"},
        {Str("none"), "shape_of_yojson: unexpected variant constructor"},
        {yojson::Null(), "shape_of_yojson: unexpected variant constructor"},
        {Obj({}), "shape_of_yojson: unexpected variant constructor"},
    };
    for (const auto& c : cases) {
        expect_failure([&] { of_yojson<sum::shape>(c.tree); }, c.message, c.tree);
    }
}

TEST(derive_variant, argument_failure_passes_through_with_the_argument_tree) {
    const yojson t = List({Str("Pt"), Int(1), Str("2")});
    expect_failure([&] { of_yojson<sum::shape>(t); }, "int_of_yojson: integer needed",
                   t.as_list()[2]);
    const yojson c = List({Str("Circle"), Obj({})});
    expect_failure([&] { of_yojson<sum::shape>(c); },
                   "circle_of_yojson: the following record elements were undefined: r",
                   c.as_list()[1]);
}

}  // namespace
