#include <sylvane/base/format.hpp>

#include <climits>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Sylvane::sprintf;

std::string quote(std::string_view s) {
    return sprintf("%S", s);
}

TEST(sprintf, fills_directives_left_to_right) {
    EXPECT_EQ(sprintf("%s_of_yojson: tuple of size %d expected", "t", 3),
              "t_of_yojson: tuple of size 3 expected");
    EXPECT_EQ(sprintf("%s|%S|%d", std::string("a"), std::string_view("b"), 7), "a|\"b\"|7");
    EXPECT_EQ(sprintf("no directives"), "no directives");
    EXPECT_EQ(sprintf(""), "");
}

TEST(sprintf, arguments_are_not_formats) {
    EXPECT_EQ(sprintf("[%s]", "%d%s\"%"), "[%d%s\"%]");
    EXPECT_EQ(sprintf("%s%s", "", ""), "");
}

TEST(sprintf, nul_bytes_pass_intact) {
    const auto with_nul = "a\0b"s;
    EXPECT_EQ(sprintf("%s", with_nul), with_nul);
    EXPECT_EQ(sprintf("%S", with_nul), "\"a\\000b\"");
    constexpr std::string_view format("<\0%s>", 5);
    EXPECT_EQ(sprintf(format, "x"), "<\0x>"s);
}

TEST(sprintf, decimal_integers) {
    EXPECT_EQ(sprintf("%d", 0), "0");
    EXPECT_EQ(sprintf("%d", -2), "-2");
    EXPECT_EQ(sprintf("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(sprintf("%d", INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(sprintf("%d", INT64_MAX), "9223372036854775807");
    EXPECT_EQ(sprintf("%d", UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(sprintf("%d", std::int8_t{-128}), "-128");
    EXPECT_EQ(sprintf("%d", static_cast<unsigned char>(255)), "255");
    EXPECT_EQ(sprintf("%d", short{-7}), "-7");
}

TEST(sprintf, quoted_form) {
    EXPECT_EQ(quote(""), "\"\"");
    EXPECT_EQ(quote("A"), "\"A\"");
    EXPECT_EQ(quote(" ~'azAZ09"), "\" ~'azAZ09\"");
    EXPECT_EQ(quote("\"\\\n\t\r\b"), R"("\"\\\n\t\r\b")");
    EXPECT_EQ(quote("\x01\x07\x0b\x0c\x0e\x1f"), R"("\001\007\011\012\014\031")");
    EXPECT_EQ(quote("\x7f\x80\xe9\xff"), R"("\127\128\233\255")");
    EXPECT_EQ(quote("\xc3\xa9"), R"("\195\169")");  // U+00E9 in UTF-8: two escapes
}

TEST(runtime_sprintf, formats_like_sprintf) {
    EXPECT_EQ(Sylvane::runtime_sprintf(std::string("%s:%d:%S"), "a", -1, "b"), "a:-1:\"b\"");
}

// A mismatch is a programming error, not a conversion failure's cause (std::runtime_error).
static_assert(std::is_base_of_v<std::invalid_argument, Sylvane::format_error>);
static_assert(!std::is_base_of_v<std::runtime_error, Sylvane::format_error>);

TEST(runtime_sprintf, mismatches_throw_format_error) {
    const auto rejects = [](auto&&... call_args) {
        try {
            (void)Sylvane::runtime_sprintf(call_args...);
            ADD_FAILURE() << "no format_error";
        } catch (const Sylvane::format_error& e) {
            EXPECT_EQ(std::string_view(e.what()).substr(0, 9), "sprintf: ");
        }
    };
    rejects("%d", "text");
    rejects("%s", 1);
    rejects("%S", 1);
    rejects("%s %s", "one");
    rejects("%s", "one", "two");
    rejects("%s");
    rejects("", 1);
    rejects("100%%");
    rejects("%x", 1);
    rejects("%5d", 1);
    rejects("trailing %", "x");
    rejects("%s", static_cast<const char*>(nullptr));
}

}  // namespace
