#include <sylvane/treeform.hpp>

#include <gtest/gtest.h>

#include "tree_test_support.hpp"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>

using Sylvane::yojson;
using Sylvane::yojson_kind;
using namespace Sylvane::Treeform;

// Counts every allocation of this program, so that a test can assert that a conversion made none.
// The operators stay out of line: inlined, g++ -O2 sees `free` on memory from `operator new` and
// warns (-Wmismatched-new-delete) although both are these replacements.
static std::size_t allocations = 0;

[[gnu::noinline]] void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using i32 = std::numeric_limits<std::int32_t>;
using i64 = std::numeric_limits<std::int64_t>;

using tree_test::expect_rejects;

// One tree of every constructor.
std::vector<yojson> every_kind() {
    return {yojson::Null(),      yojson::Bool(false), yojson::Int(65),  yojson::Intlit("65"),
            yojson::Float(65.0), yojson::String("A"), yojson::List({}), yojson::Assoc({})};
}

}  // namespace

TEST(scalars_to_tree, build_their_fixed_constructor) {
    EXPECT_EQ(yojson_of_unit(Sylvane::unit{}), yojson::Null());
    EXPECT_EQ(yojson_of_bool(false), yojson::Bool(false));
    EXPECT_EQ(yojson_of_bool(true), yojson::Bool(true));
    EXPECT_EQ(yojson_of_string(std::string("\0\xff", 2)), yojson::String(std::string("\0\xff", 2)));
    EXPECT_EQ(yojson_of_string(""), yojson::String(""));
    EXPECT_EQ(yojson_of_char('\0'), yojson::String(std::string(1, '\0')));
    EXPECT_EQ(yojson_of_char('\xff').as_string(), "\xff");
    EXPECT_EQ(yojson_of_int(i64::max()), yojson::Int(i64::max()));
    EXPECT_EQ(yojson_of_int(i64::min()), yojson::Int(i64::min()));
    EXPECT_EQ(yojson_of_float(-0.0), yojson::Float(-0.0));
    EXPECT_TRUE(std::isnan(yojson_of_float(std::nan("")).as_float()));
    EXPECT_EQ(yojson_of_opaque(42), yojson::String("<opaque>"));
    EXPECT_EQ(yojson_of_opaque(std::string("x")), yojson::String("<opaque>"));
    bool called = false;
    EXPECT_EQ(yojson_of_fun([&called] { called = true; }), yojson::String("<fun>"));
    EXPECT_FALSE(called) << "the function is never called";
}

TEST(scalars_to_tree, fixed_width_integers_give_decimal_intlit) {
    struct {
        yojson tree;
        const char* text;
    } cases[] = {
        {yojson_of_int32(0), "0"},
        {yojson_of_int32(7), "7"},
        {yojson_of_int32(-42), "-42"},
        {yojson_of_int32(-1), "-1"},
        {yojson_of_int32(i32::max()), "2147483647"},
        {yojson_of_int32(i32::min()), "-2147483648"},
        {yojson_of_int64(0), "0"},
        {yojson_of_int64(i64::max()), "9223372036854775807"},
        {yojson_of_int64(i64::min()), "-9223372036854775808"},
        {yojson_of_nativeint(i64::max()), "9223372036854775807"},
        {yojson_of_nativeint(i64::min()), "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.tree.kind(), yojson_kind::Intlit) << c.text;
        EXPECT_EQ(c.tree.as_intlit(), c.text);
    }
}

TEST(scalars_to_tree, sharing_and_copying) {
    std::string long_text(200, 'z');
    const char* bytes = long_text.data();
    EXPECT_EQ(yojson_of_string(std::move(long_text)).as_string().data(), bytes)
        << "a moved string is placed in the tree itself";

    Sylvane::bytes buffer = Sylvane::bytes_of_string("abc");
    yojson first = yojson_of_bytes(buffer);
    yojson second = yojson_of_bytes(buffer);
    buffer[0] = std::byte{'X'};
    EXPECT_EQ(first.as_string(), "abc") << "the buffer is copied at the call";
    EXPECT_NE(first.as_string().data(), second.as_string().data());
    EXPECT_EQ(yojson_of_bytes(Sylvane::bytes{}), yojson::String(""));

    EXPECT_EQ(yojson_of_opaque(1).as_string().data(), yojson_of_opaque('c').as_string().data())
        << "the same constant tree on every call";
    EXPECT_EQ(yojson_of_fun(&std::abort).as_string().data(),
              yojson_of_fun([] {}).as_string().data());
}

TEST(scalars_to_tree, int_and_float_allocate_nothing) {
    const std::size_t before = allocations;
    yojson a = yojson_of_int(1);
    yojson b = yojson_of_float(2.5);
    yojson c = yojson_of_unit(Sylvane::unit{});
    yojson d = yojson_of_opaque(3);
    const std::int64_t n = int_of_yojson(a);
    const double f = float_of_yojson(b);
    EXPECT_EQ(allocations, before);
    EXPECT_EQ(n + static_cast<std::int64_t>(f), 3);
    EXPECT_TRUE(c.is_null() && d.kind() == yojson_kind::String);
}

TEST(scalars_of_tree, accept_their_constructors) {
    EXPECT_EQ(unit_of_yojson(yojson::Null()), Sylvane::unit{});
    EXPECT_TRUE(bool_of_yojson(yojson::Bool(true)));
    EXPECT_EQ(string_of_yojson(yojson::String(std::string("a\0", 2))), std::string("a\0", 2));
    EXPECT_EQ(bytes_of_yojson(yojson::String("ab")), Sylvane::bytes_of_string("ab"));
    EXPECT_EQ(char_of_yojson(yojson::String("\xe9")), '\xe9');
    EXPECT_EQ(int_of_yojson(yojson::Int(-5)), -5);
    EXPECT_EQ(float_of_yojson(yojson::Int(3)), 3.0);
    EXPECT_EQ(float_of_yojson(yojson::Int((std::int64_t{1} << 53) + 1)), 9007199254740992.0);
    EXPECT_EQ(float_of_yojson(yojson::Intlit("12345678901234567890")), 12345678901234567890.0);
    EXPECT_EQ(float_of_yojson(yojson::Intlit("-7")), -7.0);
    EXPECT_EQ(int32_of_yojson(yojson::Intlit("-12")), -12);
    EXPECT_EQ(int64_of_yojson(yojson::Int(i64::min())), i64::min());
    EXPECT_EQ(nativeint_of_yojson(yojson::Int(-9)), -9);
}

TEST(scalars_of_tree, int32_wraps_an_int_but_the_parse_refuses_a_wide_intlit) {
    EXPECT_EQ(int32_of_yojson(yojson::Int(std::int64_t{1} << 31)), i32::min());
    EXPECT_EQ(int32_of_yojson(yojson::Int((std::int64_t{1} << 32) + 1)), 1);
    EXPECT_EQ(int32_of_yojson(yojson::Int(-1)), -1);
    EXPECT_THROW(int32_of_yojson(yojson::Intlit("2147483648")), std::out_of_range);
    EXPECT_THROW(int64_of_yojson(yojson::Intlit("9223372036854775808")), std::out_of_range);
    EXPECT_THROW(nativeint_of_yojson(yojson::Intlit("-9223372036854775809")), std::out_of_range);
    EXPECT_EQ(int64_of_yojson(yojson::Intlit("-9223372036854775808")), i64::min());
}

TEST(scalars_of_tree, parse_failures_are_not_conversion_failures) {
    for (const char* bad : {"", "-", "abc", "12x", " 1", "1 ", "+1", "0x10", "1.5"}) {
        const yojson t = yojson::Intlit(bad);
        EXPECT_THROW(int32_of_yojson(t), std::invalid_argument) << '"' << bad << '"';
        EXPECT_THROW(int64_of_yojson(t), std::invalid_argument) << '"' << bad << '"';
        EXPECT_THROW(nativeint_of_yojson(t), std::invalid_argument) << '"' << bad << '"';
    }
    for (const char* bad : {"", "-", "abc", "1e", "1.5x", "+1"})
        EXPECT_THROW(float_of_yojson(yojson::Intlit(bad)), std::invalid_argument) << bad;
    EXPECT_THROW(float_of_yojson(yojson::Intlit(std::string(400, '9'))), std::out_of_range);
}

TEST(scalars_of_tree, reject_every_other_constructor_with_their_message) {
    struct {
        std::function<void(const yojson&)> convert;
        std::vector<yojson_kind> accepted;
        const char* message;
    } cases[] = {
        {unit_of_yojson, {yojson_kind::Null}, "unit_of_yojson: `Null needed"},
        {bool_of_yojson, {yojson_kind::Bool}, "bool_of_yojson: true/false needed"},
        {string_of_yojson, {yojson_kind::String}, "string_of_yojson: string needed"},
        {bytes_of_yojson, {yojson_kind::String}, "bytes_of_yojson: string needed"},
        {char_of_yojson, {yojson_kind::String}, "char_of_yojson: string of size one needed"},
        {int_of_yojson, {yojson_kind::Int}, "int_of_yojson: integer needed"},
        {float_of_yojson,
         {yojson_kind::Float, yojson_kind::Int, yojson_kind::Intlit},
         "float_of_yojson: float needed"},
        {int32_of_yojson,
         {yojson_kind::Int, yojson_kind::Intlit},
         "int32_of_yojson: integer needed"},
        {int64_of_yojson,
         {yojson_kind::Int, yojson_kind::Intlit},
         "int64_of_yojson: integer needed"},
        {nativeint_of_yojson,
         {yojson_kind::Int, yojson_kind::Intlit},
         "nativeint_of_yojson: integer needed"},
        {opaque_of_yojson, {}, "opaque_of_yojson: cannot convert opaque values"},
        {fun_of_yojson, {}, "fun_of_yojson: cannot convert function values"},
    };
    for (const auto& c : cases)
        for (const yojson& tree : every_kind()) {
            bool accepted = false;
            for (auto k : c.accepted) accepted |= k == tree.kind();
            if (accepted) {
                EXPECT_NO_THROW(c.convert(tree)) << c.message << " on " << tree;
            } else {
                expect_rejects(c.convert, tree, c.message);
            }
        }
}

TEST(scalars_of_tree, char_needs_exactly_one_byte) {
    for (const char* s : {"", "ab", "\xc3\xa9"})
        expect_rejects(char_of_yojson, yojson::String(s),
                       "char_of_yojson: string must contain one character only");
    expect_rejects(char_of_yojson, yojson::Int(65), "char_of_yojson: string of size one needed");
}

TEST(scalars_of_tree, fresh_buffers_and_strings) {
    const yojson t = yojson::String("abc");
    Sylvane::bytes b1 = bytes_of_yojson(t);
    Sylvane::bytes b2 = bytes_of_yojson(t);
    b1[0] = std::byte{'Z'};
    EXPECT_EQ(t.as_string(), "abc");
    EXPECT_NE(b1.data(), b2.data());
    EXPECT_EQ(string_of_yojson(t), "abc");
}

TEST(scalars_round_trip, every_value_reads_back) {
    for (std::int32_t n : {0, 1, -1, i32::max(), i32::min()})
        EXPECT_EQ(int32_of_yojson(yojson_of_int32(n)), n);
    for (std::int64_t n : {std::int64_t{0}, i64::max(), i64::min()}) {
        EXPECT_EQ(int64_of_yojson(yojson_of_int64(n)), n);
        EXPECT_EQ(nativeint_of_yojson(yojson_of_nativeint(n)), n);
        EXPECT_EQ(int_of_yojson(yojson_of_int(n)), n);
    }
    for (double d :
         {0.0, -0.0, 1.5, std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min()}) {
        const double back = float_of_yojson(yojson_of_float(d));
        EXPECT_EQ(back, d);
        EXPECT_EQ(std::signbit(back), std::signbit(d));
    }
    EXPECT_TRUE(std::isnan(float_of_yojson(yojson_of_float(std::nan("")))));
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        EXPECT_EQ(char_of_yojson(yojson_of_char(ch)), ch);
    }
    EXPECT_TRUE(bool_of_yojson(yojson_of_bool(true)));
    EXPECT_EQ(string_of_yojson(yojson_of_string("s")), "s");
    EXPECT_EQ(bytes_of_yojson(yojson_of_bytes(Sylvane::bytes_of_string("\0\1"))),
              Sylvane::bytes_of_string("\0\1"));
    EXPECT_EQ(unit_of_yojson(yojson_of_unit(Sylvane::unit{})), Sylvane::unit{});
    expect_rejects(int_of_yojson, yojson_of_int32(0), "int_of_yojson: integer needed");
    expect_rejects(opaque_of_yojson, yojson_of_opaque(0),
                   "opaque_of_yojson: cannot convert opaque values");
}

TEST(scalars_of_tree, opaque_and_fun_stand_for_any_result_type) {
    auto as_int = [](const yojson& t) -> int { return opaque_of_yojson(t); };
    auto as_string = [](const yojson& t) -> std::string { return fun_of_yojson(t); };
    expect_rejects(as_int, yojson::Null(), "opaque_of_yojson: cannot convert opaque values");
    expect_rejects(as_string, yojson::String("<fun>"),
                   "fun_of_yojson: cannot convert function values");
}
