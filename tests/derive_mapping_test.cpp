// The type-to-converter mapping: primitive encodings, nested user types inside every container,
// tuples of every size, hand-written converters, and the concepts.

#include "derive_support.hpp"

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace shop {
enum class unit_kind { piece, kilo };
SYLVANE_ENUM(unit_kind, piece, kilo)

struct item {
    std::string sku;
    std::int64_t qty = 0;
    unit_kind kind = unit_kind::piece;
    bool operator==(const item&) const = default;
};
SYLVANE_RECORD(item, sku, qty, kind)

struct gift {
    bool operator==(const gift&) const = default;
};
using entry = std::variant<item, gift>;
SYLVANE_VARIANT(entry, (item, "Item"), (gift, "Gift"))

/// Hand-written converters: an amount in cents, written as a string "12.34".
struct cents {
    std::int64_t value = 0;
    bool operator==(const cents&) const = default;
};
inline Sylvane::yojson yojson_of_cents(const cents& c) {
    std::string s = std::to_string(c.value / 100) + "." + std::to_string(c.value % 100 / 10) +
                    std::to_string(c.value % 10);
    return Sylvane::Treeform::yojson_of_string(std::move(s));
}
inline cents cents_of_yojson(const Sylvane::yojson& t) {
    const std::string s = Sylvane::Treeform::string_of_yojson(t);
    const auto dot = s.find('.');
    return {std::stoll(s.substr(0, dot)) * 100 + std::stoll(s.substr(dot + 1))};
}
SYLVANE_CONVERTERS(cents, yojson_of_cents, cents_of_yojson)

struct priced {
    item what;
    cents price;
    std::vector<cents> history;
    bool operator==(const priced&) const = default;
};
SYLVANE_RECORD(priced, what, price, history)
}  // namespace shop

namespace {

using namespace derive_test;
using Sylvane::of_yojson;
using Sylvane::yojson_of;
namespace Y = Sylvane::Yojsonable_intf;

static_assert(Y::yojsonable<shop::item> && Y::yojsonable<shop::entry> &&
              Y::yojsonable<shop::cents>);
static_assert(Y::yojsonable<std::vector<std::optional<shop::item>>>);
static_assert(Y::yojsonable<Sylvane::hashtbl<std::string, std::vector<shop::entry>>>);
static_assert(!Y::yojsonable<std::vector<wchar_t>> && !Y::yojsonable<const shop::item>);
static_assert(Y::S1<std::vector> && Y::S1<std::optional> && Y::S1<Sylvane::ref> &&
              Y::S1<Sylvane::lazy>);
static_assert(Y::S2<Sylvane::hashtbl> && Y::S2<std::pair> && Y::S3<std::tuple>);
static_assert(Y::converter_to<decltype(shop::yojson_of_item), shop::item> &&
              Y::converter_of<decltype(shop::item_of_yojson), shop::item> &&
              !Y::converter_of<decltype(shop::item_of_yojson), shop::gift>);

/// Writes `v`, checks the tree, and reads it back equal.
template <class T>
void round_trip(const T& v, const yojson& expected) {
    const yojson t = yojson_of(v);
    EXPECT_EQ(t, expected);
    EXPECT_TRUE(of_yojson<T>(t) == v) << t;
}

const shop::item apple{"apple", 3, shop::unit_kind::kilo};
const yojson apple_tree = Obj({{"sku", Str("apple")}, {"qty", Int(3)}, {"kind", Str("kilo")}});

TEST(derive_mapping, primitive_encodings) {
    round_trip(std::int64_t{-5}, Int(-5));
    round_trip(std::int32_t{7}, Int(7));
    round_trip(2.5, yojson::Float(2.5));
    round_trip(true, yojson::Bool(true));
    round_trip(std::string("s"), Str("s"));
    round_trip('c', Str("c"));
    round_trip(Sylvane::unit{}, yojson::Null());
    round_trip(Sylvane::bytes_of_string("ab"), Str("ab"));
}

TEST(derive_mapping, user_types_inside_every_container) {
    round_trip(std::optional<shop::item>(apple), apple_tree);
    round_trip(std::optional<shop::item>(), yojson::Null());
    round_trip(std::vector<shop::item>{apple, apple}, List({apple_tree, apple_tree}));
    round_trip(std::pair<shop::item, shop::unit_kind>(apple, shop::unit_kind::piece),
               List({apple_tree, Str("piece")}));
    round_trip(std::tuple<shop::entry, shop::item>(shop::gift{}, apple),
               List({List({Str("Gift")}), apple_tree}));
    round_trip(std::tuple<shop::item, shop::cents, shop::entry>(apple, {1205}, shop::entry{apple}),
               List({apple_tree, Str("12.05"), List({Str("Item"), apple_tree})}));
    round_trip(std::vector<std::vector<shop::entry>>{{}, {shop::gift{}}},
               List({List({}), List({List({Str("Gift")})})}));
    round_trip(Sylvane::ref<shop::item>(apple), apple_tree);

    const auto l = of_yojson<Sylvane::lazy<shop::item>>(apple_tree);
    EXPECT_TRUE(l.is_val());
    EXPECT_EQ(l.force(), apple);
    EXPECT_EQ(yojson_of(Sylvane::lazy<shop::item>([] { return apple; })), apple_tree);

    Sylvane::hashtbl<std::string, shop::entry> table;
    table.add("a", shop::gift{});
    table.add("a", apple);  // hides the gift
    const yojson t = yojson_of(table);
    EXPECT_EQ(t, List({List({Str("a"), List({Str("Gift")})}),
                       List({Str("a"), List({Str("Item"), apple_tree})})}));
    const auto back = of_yojson<Sylvane::hashtbl<std::string, shop::entry>>(t);
    EXPECT_EQ(back.find_all("a"), table.find_all("a"));
}

TEST(derive_mapping, hand_written_converters_compose) {
    const shop::priced p{apple, {250}, {{199}, {1000}}};
    const yojson t = yojson_of(p);
    EXPECT_EQ(t.as_assoc()[2].second, List({Str("1.99"), Str("10.00")}));
    EXPECT_EQ(of_yojson<shop::priced>(t), p);
}

TEST(derive_mapping, tuples_of_other_sizes_are_lists) {
    round_trip(std::tuple<>(), List({}));
    round_trip(std::tuple<shop::item>(apple), List({apple_tree}));
    round_trip(std::tuple<std::int64_t, std::string, bool, shop::unit_kind>(1, "x", false,
                                                                            shop::unit_kind::kilo),
               List({Int(1), Str("x"), yojson::Bool(false), Str("kilo")}));

    using four = std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t>;
    for (const yojson& t : {List({Int(1), Int(2), Int(3)}), yojson::Null(), Obj({})}) {
        expect_failure([&] { of_yojson<four>(t); }, "tuple_of_yojson: tuple of size 4 expected", t);
    }
    const yojson two = List({Int(1)});
    expect_failure([&] { of_yojson<std::tuple<std::int64_t, std::int64_t>>(two); },
                   "pair_of_yojson: invalid format", two);
}

TEST(derive_mapping, container_failures_keep_the_element_tree) {
    const yojson t = List({apple_tree, Obj({{"sku", Int(1)}})});
    expect_failure([&] { of_yojson<std::vector<shop::item>>(t); },
                   "string_of_yojson: string needed", t.as_list()[1].as_assoc()[0].second);
    const yojson not_list = Obj({});
    expect_failure([&] { of_yojson<std::vector<shop::item>>(not_list); },
                   "list_of_yojson: list needed", not_list);
}

}  // namespace
