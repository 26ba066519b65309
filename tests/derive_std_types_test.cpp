// Checked numbers, standard containers, dictionaries, pointers, kept subtrees and the
// customisation point, through the generic entry points and derived records.

#include "derive_support.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace third_party {
/// A type the user cannot change: no hook in its namespace.
struct rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const rgb&) const = default;
};
}  // namespace third_party

/// Its converters, given through the customisation point: "#rrggbb".
template <>
struct Sylvane::converter<third_party::rgb> {
    static Sylvane::yojson to_yojson(const third_party::rgb& c) {
        char text[8];
        std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
        return Sylvane::yojson::String(text);
    }
    static third_party::rgb of_yojson(const Sylvane::yojson& t) {
        const std::string s = Sylvane::Treeform::string_of_yojson(t);
        unsigned r = 0, g = 0, b = 0;
        if (s.size() != 7 || std::sscanf(s.c_str(), "#%2x%2x%2x", &r, &g, &b) != 3)
            Sylvane::Treeform::of_yojson_error("rgb_of_yojson: #rrggbb needed", t);
        return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                static_cast<std::uint8_t>(b)};
    }
};

namespace app {
enum class level { low, high };
SYLVANE_ENUM(level, low, high)

struct user {
    int followers_count = 0;
    std::uint64_t id = 0;
    bool operator==(const user&) const = default;
};
SYLVANE_RECORD(user, followers_count, id)

struct stock {
    std::int32_t qty = 0;
    bool operator==(const stock&) const = default;
};
SYLVANE_RECORD(stock, qty)

struct shop {
    std::map<std::string, stock> by_sku;
    bool operator==(const shop&) const = default;
};
SYLVANE_RECORD(shop, by_sku)

/// A recursive type: replies own their comments, the parent is shared.
struct comment {
    std::string text;
    std::vector<std::unique_ptr<comment>> replies;
    std::shared_ptr<comment> quoted;
    Sylvane::yojson extra;
    std::optional<std::unique_ptr<std::int64_t>> score;
};
SYLVANE_RECORD(comment, text, replies, quoted, extra, score)

struct theme {
    third_party::rgb fg;
    std::vector<third_party::rgb> palette;
    bool operator==(const theme&) const = default;
};
SYLVANE_RECORD(theme, fg, palette)
}  // namespace app

namespace {

using namespace derive_test;
using Sylvane::locate;
using Sylvane::of_yojson;
using Sylvane::yojson_of;
namespace Y = Sylvane::Yojsonable_intf;

static_assert(Y::yojsonable<short> && Y::yojsonable<unsigned short> && Y::yojsonable<int> &&
              Y::yojsonable<unsigned> && Y::yojsonable<long> && Y::yojsonable<unsigned long> &&
              Y::yojsonable<long long> && Y::yojsonable<unsigned long long> &&
              Y::yojsonable<std::size_t> && Y::yojsonable<signed char> &&
              Y::yojsonable<unsigned char> && Y::yojsonable<float>);
static_assert(Y::yojsonable<std::map<app::level, int>> &&
              Y::yojsonable<std::unordered_map<std::uint16_t, std::string>> &&
              !Y::yojsonable<std::map<double, int>> && !Y::yojsonable<std::map<app::user, int>>);
static_assert(Y::S1<std::deque> && Y::S1<std::list> && Y::S1<std::set> &&
              Y::S1<std::unordered_set> && Y::S1<std::unique_ptr> && Y::S1<std::shared_ptr> &&
              Y::S2<std::map> && Y::S2<std::unordered_map>);

/// Writes `v`, checks the tree, reads it back equal, and does the same through text.
template <class T>
void round_trip(const T& v, const yojson& expected) {
    const yojson t = yojson_of(v);
    EXPECT_EQ(t, expected);
    EXPECT_TRUE(of_yojson<T>(t) == v) << t;
    EXPECT_TRUE(of_yojson<T>(Sylvane::read(Sylvane::write(t))) == v) << Sylvane::write(t);
}

/// The message of converting `t` as a `T`, checked to be raised on `t` itself.
template <class T>
void expect_rejected(const yojson& t, std::string_view message) {
    expect_failure([&] { (void)of_yojson<T>(t); }, message, t);
}

/// Converts `root` as a `T`, expecting `message` at the JSON Pointer `where`.
template <class T>
void expect_located(const yojson& root, std::string_view message, std::string_view where) {
    try {
        (void)of_yojson<T>(root);
        ADD_FAILURE() << "no failure; expected: " << message;
    } catch (const Of_yojson_error& e) {
        EXPECT_EQ(e.message(), message);
        EXPECT_EQ(locate(root, e), where);
    }
}

template <class T>
void integer_extremes(std::string_view name) {
    using lim = std::numeric_limits<T>;
    SCOPED_TRACE(name);
    for (T n : {lim::min(), lim::max(), T{0}, T{1}}) {
        const yojson expected = std::in_range<std::int64_t>(n) ? Int(static_cast<std::int64_t>(n))
                                                               : yojson::Intlit(std::to_string(n));
        round_trip(n, expected);
    }
    const std::string prefix = std::string(name) + "_of_yojson: ";
    expect_rejected<T>(yojson::Float(1.0), prefix + "integer needed");
    expect_rejected<T>(Str("1"), prefix + "integer needed");
    expect_rejected<T>(yojson::Intlit("1x"), prefix + "malformed integer literal");
    expect_rejected<T>(yojson::Intlit("99999999999999999999999"), prefix + "integer out of range");
    if constexpr (sizeof(T) < 8) {
        expect_rejected<T>(Int(static_cast<std::int64_t>(lim::max()) + 1),
                           prefix + "integer out of range");
        expect_rejected<T>(Int(static_cast<std::int64_t>(lim::min()) - 1),
                           prefix + "integer out of range");
    } else if constexpr (std::is_signed_v<T>) {
        expect_rejected<T>(yojson::Intlit("9223372036854775808"), prefix + "integer out of range");
        expect_rejected<T>(yojson::Intlit("-9223372036854775809"), prefix + "integer out of range");
    } else {
        expect_rejected<T>(Int(-1), prefix + "integer out of range");
        expect_rejected<T>(yojson::Intlit("18446744073709551616"), prefix + "integer out of range");
        expect_rejected<T>(yojson::Intlit("-1"), prefix + "integer out of range");
        EXPECT_EQ(of_yojson<T>(yojson::Intlit("-0")), T{0});
    }
    // An `Intlit` that fits is accepted.
    EXPECT_EQ(of_yojson<T>(yojson::Intlit(std::to_string(lim::max()))), lim::max());
}

TEST(derive_numbers, every_integer_width_is_checked_both_ways) {
    integer_extremes<std::int8_t>("int8");
    integer_extremes<std::int16_t>("int16");
    integer_extremes<std::int32_t>("int32");
    integer_extremes<std::int64_t>("int");
    integer_extremes<long long>("int");
    integer_extremes<std::uint8_t>("uint8");
    integer_extremes<std::uint16_t>("uint16");
    integer_extremes<std::uint32_t>("uint32");
    integer_extremes<std::uint64_t>("uint64");
    integer_extremes<std::size_t>("uint64");
}

TEST(derive_numbers, an_int_field_never_wraps) {
    const yojson t =
        Sylvane::read(R"({"followers_count": 3000000000, "id": 18446744073709551615})");
    expect_located<app::user>(t, "int32_of_yojson: integer out of range", "/followers_count");
    const app::user u{-7, std::numeric_limits<std::uint64_t>::max()};
    EXPECT_EQ(Sylvane::write(yojson_of(u)), R"({"followers_count":-7,"id":18446744073709551615})");
    EXPECT_EQ(of_yojson<app::user>(Sylvane::read(Sylvane::write(yojson_of(u)))), u);
    // Past the record's own check, a huge literal is a located failure, not std::out_of_range.
    const yojson huge = Sylvane::read(R"({"followers_count": 1, "id": 99999999999999999999})");
    expect_located<app::user>(huge, "uint64_of_yojson: integer out of range", "/id");
}

TEST(derive_numbers, floats_round_to_nearest_and_write_shortest) {
    EXPECT_EQ(Sylvane::write(yojson_of(0.1f)), "0.1");
    using lim = std::numeric_limits<float>;
    for (float f : {0.1f, 1.0f / 3, lim::max(), lim::lowest(), lim::min(), lim::denorm_min(),
                    -lim::denorm_min(), 16777217.0f, 0.0f}) {
        const float back = of_yojson<float>(Sylvane::read(Sylvane::write(yojson_of(f))));
        EXPECT_EQ(back, f);
    }
    const float negative_zero = of_yojson<float>(Sylvane::read(Sylvane::write(yojson_of(-0.0f))));
    EXPECT_TRUE(negative_zero == 0.0f && std::signbit(negative_zero));
    const double d_zero = of_yojson<double>(Sylvane::read(Sylvane::write(yojson_of(-0.0))));
    EXPECT_TRUE(d_zero == 0.0 && std::signbit(d_zero));
    EXPECT_EQ(of_yojson<float>(Int(3)), 3.0f);
    EXPECT_EQ(of_yojson<float>(yojson::Float(0.1)), 0.1f);
    // Just below halfway to 2^128 rounds to the largest float; at it and beyond fails.
    EXPECT_EQ(of_yojson<float>(yojson::Float(0x1.fffffefffffffp127)), lim::max());
    // An integer is rounded to a float once: just above halfway between two floats, where a
    // double in between would round to the halfway point and then to even.
    EXPECT_EQ(of_yojson<float>(yojson::Int(4611686293305294849)), 0x1.000002p+62f);
    EXPECT_EQ(of_yojson<float>(yojson::Int(-4611686293305294849)), -0x1.000002p+62f);
    EXPECT_EQ(Sylvane::read_as<float>("4611686293305294849"), 0x1.000002p+62f);
    EXPECT_EQ(of_yojson<float>(yojson::Intlit("18446745173221179393")), 0x1.000002p+64f);
    EXPECT_EQ(Sylvane::read_as<float>("18446745173221179393"), 0x1.000002p+64f);
    EXPECT_EQ(Sylvane::read_as<std::vector<float>>("[4611686293305294849, 1.5, -3]"),
              (std::vector<float>{0x1.000002p+62f, 1.5f, -3.0f}));
    expect_rejected<float>(yojson::Intlit(std::string(39, '9')),
                           "float32_of_yojson: float out of range");
    expect_rejected<float>(yojson::Float(0x1.ffffffp127), "float32_of_yojson: float out of range");
    expect_rejected<float>(yojson::Float(-1e39), "float32_of_yojson: float out of range");
    expect_rejected<float>(Str("1"), "float32_of_yojson: float needed");
    expect_rejected<double>(Str("1"), "float_of_yojson: float needed");
    expect_rejected<double>(yojson::Intlit(std::string(400, '9')),
                            "float_of_yojson: float out of range");
    expect_rejected<double>(yojson::Intlit("1e5"), "float_of_yojson: malformed number literal");
    expect_rejected<float>(yojson::Intlit("nan"), "float32_of_yojson: malformed number literal");
    EXPECT_EQ(of_yojson<double>(yojson::Intlit("18446744073709551616")), 0x1p64);
}

TEST(derive_containers, sequences_and_sets) {
    round_trip(std::array<std::int16_t, 3>{1, -2, 3}, List({Int(1), Int(-2), Int(3)}));
    round_trip(std::array<std::string, 0>{}, List({}));
    round_trip(std::deque<std::uint8_t>{255, 0}, List({Int(255), Int(0)}));
    round_trip(std::list<std::list<int>>{{}, {1}}, List({List({}), List({Int(1)})}));
    round_trip(std::set<std::string>{"b", "a"}, List({Str("a"), Str("b")}));
    round_trip(std::unordered_set<int>{}, List({}));
    EXPECT_EQ((of_yojson<std::unordered_set<int>>(List({Int(1), Int(2)}))),
              (std::unordered_set<int>{2, 1}));

    const yojson two = List({Int(1), Int(2)});
    expect_rejected<std::array<int, 3>>(two, "fixed_array_of_yojson: list of 3 elements needed");
    expect_rejected<std::array<int, 1>>(two, "fixed_array_of_yojson: list of 1 elements needed");
    expect_rejected<std::array<int, 2>>(Int(1), "fixed_array_of_yojson: list of 2 elements needed");
    expect_rejected<std::deque<int>>(Obj({}), "sequence_of_yojson: list needed");
    expect_rejected<std::list<int>>(Str("x"), "sequence_of_yojson: list needed");
    expect_rejected<std::set<int>>(Int(1), "sequence_of_yojson: list needed");
    // A repeated element is no silent merge.
    const yojson repeated = List({Int(1), Int(2), Int(1)});
    const yojson& second_one = repeated.as_list()[2];
    expect_failure([&] { (void)of_yojson<std::set<int>>(repeated); },
                   "set_of_yojson: duplicate element", second_one);
    expect_failure([&] { (void)of_yojson<std::unordered_set<int>>(repeated); },
                   "set_of_yojson: duplicate element", second_one);
    // An element's own failure passes out unchanged.
    const yojson bad = List({Int(1), Int(300)});
    expect_failure([&] { (void)of_yojson<std::array<std::uint8_t, 2>>(bad); },
                   "uint8_of_yojson: integer out of range", bad.as_list()[1]);
}

TEST(derive_containers, dictionaries_are_objects) {
    round_trip(std::map<std::string, std::int64_t>{{"a", 1}, {"", 2}},
               Obj({{"", Int(2)}, {"a", Int(1)}}));
    round_trip(
        std::map<std::int64_t, bool>{{-5, true}, {std::numeric_limits<std::int64_t>::max(), false}},
        Obj({{"-5", yojson::Bool(true)}, {"9223372036854775807", yojson::Bool(false)}}));
    round_trip(std::map<std::uint64_t, int>{{18446744073709551615u, 1}},
               Obj({{"18446744073709551615", Int(1)}}));
    round_trip(std::map<app::level, std::vector<int>>{{app::level::high, {1}}},
               Obj({{"high", List({Int(1)})}}));
    round_trip(std::unordered_map<std::string, std::map<std::string, int>>{{"x", {{"y", 1}}}},
               Obj({{"x", Obj({{"y", Int(1)}})}}));
    round_trip(std::map<std::string, int>{}, Obj({}));

    const yojson dup = Obj({{"k", Int(1)}, {"j", Int(2)}, {"k", Int(3)}});
    expect_failure([&] { (void)of_yojson<std::map<std::string, int>>(dup); },
                   "map_of_yojson: duplicate key", dup.as_assoc()[2].second);
    expect_failure([&] { (void)of_yojson<std::unordered_map<std::string, int>>(dup); },
                   "map_of_yojson: duplicate key", dup.as_assoc()[2].second);
    // An integer key has one text, the writer's: another spelling of a key is malformed, not
    // a repeated key.
    const yojson same_number = Obj({{"1", Int(1)}, {"01", Int(2)}});
    expect_failure([&] { (void)of_yojson<std::map<int, int>>(same_number); },
                   "map_of_yojson: integer key needed", same_number.as_assoc()[1].second);
    for (const char* spelling : {"007", "-0", "+1", "-", "", " 1", "1 ", "-01", "00"}) {
        const yojson odd = Obj({{"5", Int(1)}, {spelling, Int(2)}});
        expect_failure([&] { (void)of_yojson<std::map<int, int>>(odd); },
                       "map_of_yojson: integer key needed", odd.as_assoc()[1].second);
        expect_failure([&] { (void)of_yojson<std::map<std::uint8_t, int>>(odd); },
                       "map_of_yojson: integer key needed", odd.as_assoc()[1].second);
        using int_map = std::map<int, int>;
        EXPECT_THROW((void)Sylvane::read_as<int_map>(Sylvane::write(odd)), Sylvane::located_error);
    }
    round_trip(std::map<int, int>{{0, 1}, {-7, 2}, {10, 3}},
               Obj({{"-7", Int(2)}, {"0", Int(1)}, {"10", Int(3)}}));
    const yojson keys = Obj({{"x1", Int(1)}, {"300", Int(2)}, {"low", Int(3)}});
    expect_failure([&] { (void)of_yojson<std::map<int, int>>(keys); },
                   "map_of_yojson: integer key needed", keys.as_assoc()[0].second);
    const yojson big = Obj({{"300", Int(2)}});
    expect_failure([&] { (void)of_yojson<std::map<std::uint8_t, int>>(big); },
                   "map_of_yojson: integer key out of range", big.as_assoc()[0].second);
    expect_failure([&] { (void)of_yojson<std::map<app::level, int>>(keys); },
                   "map_of_yojson: unknown enumeration key", keys.as_assoc()[0].second);
    expect_rejected<std::map<std::string, int>>(List({}), "map_of_yojson: object needed");
}

TEST(derive_containers, failures_inside_dictionaries_are_located) {
    const yojson t = Sylvane::read(R"({"by_sku": {"x": {"qty": 1}, "a/b": {"qty": 1e3}}})");
    expect_located<app::shop>(t, "int32_of_yojson: integer needed", "/by_sku/a~1b/qty");
    const yojson d = Sylvane::read(R"({"by_sku": {"m~n": {"qty": 1}, "m~n": {"qty": 2}}})");
    expect_located<app::shop>(d, "map_of_yojson: duplicate key", "/by_sku/m~0n");
}

TEST(derive_pointers, recursion_kept_subtrees_and_absent_keys) {
    app::comment c;
    c.text = "root";
    c.replies.push_back(std::make_unique<app::comment>());
    c.replies[0]->text = "reply";
    c.replies[0]->quoted = std::make_shared<app::comment>();
    c.replies[0]->quoted->text = "quote";
    c.extra = Sylvane::read(R"({"any": [1, "thing", 1.5e300, 123456789012345678901234567890]})");
    c.score = std::make_unique<std::int64_t>(5);

    const std::string text = Sylvane::write(yojson_of(c));
    const auto back = of_yojson<app::comment>(Sylvane::read(text));
    EXPECT_EQ(Sylvane::write(yojson_of(back)), text);
    ASSERT_EQ(back.replies.size(), 1u);
    ASSERT_TRUE(back.replies[0]->quoted);
    EXPECT_EQ(back.replies[0]->quoted->text, "quote");
    EXPECT_EQ(back.extra, c.extra);
    ASSERT_TRUE(back.score && *back.score);
    EXPECT_EQ(**back.score, 5);
    EXPECT_FALSE(back.replies[0]->score);  // Null: an empty optional
    EXPECT_TRUE(back.replies[0]->extra.is_null());

    // Absent pointer, optional and... only `text`, `replies` and `extra` must be given.
    const auto lean = of_yojson<app::comment>(
        Obj({{"text", Str("t")}, {"replies", List({})}, {"extra", Int(1)}}));
    EXPECT_FALSE(lean.quoted);
    EXPECT_FALSE(lean.score);
    const yojson missing = Obj({{"text", Str("t")}, {"extra", Int(1)}});
    expect_rejected<app::comment>(
        missing, "comment_of_yojson: the following record elements were undefined: replies");

    round_trip(std::unique_ptr<int>(), yojson::Null());
    EXPECT_EQ(*of_yojson<std::shared_ptr<std::string>>(Str("s")), "s");
    EXPECT_EQ(yojson_of(std::make_shared<std::array<int, 1>>()), List({Int(0)}));
}

TEST(derive_customisation, a_type_that_cannot_be_changed) {
    round_trip(app::theme{{1, 2, 255}, {{0, 0, 0}}},
               Obj({{"fg", Str("#0102ff")}, {"palette", List({Str("#000000")})}}));
    round_trip(std::map<std::string, third_party::rgb>{{"x", {16, 0, 0}}},
               Obj({{"x", Str("#100000")}}));
    const yojson t = Obj({{"fg", Str("red")}, {"palette", List({})}});
    expect_failure([&] { (void)of_yojson<app::theme>(t); }, "rgb_of_yojson: #rrggbb needed",
                   t.as_assoc()[0].second);
}

}  // namespace
