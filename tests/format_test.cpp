#include <base/format.hpp>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

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
    EXPECT_EQ(quote("\x07\x0b\x0c\x1f\x7f\xe9\xff"), R"("\007\011\012\031\127\233\255")");
    EXPECT_EQ(quote("\xc3\xa9"), R"("\195\169")");  // U+00E9 in UTF-8: two escapes
}

TEST(sprintf, quoted_form_of_every_byte) {
    for (int b = 0; b < 256; ++b) {
        const std::string q = quote(std::string(1, static_cast<char>(b)));
        SCOPED_TRACE(b);
        ASSERT_GE(q.size(), 3u);
        EXPECT_EQ(q.front(), '"');
        EXPECT_EQ(q.back(), '"');
        const std::string body = q.substr(1, q.size() - 2);
        if (b == '"' || b == '\\') {
            EXPECT_EQ(body, "\\"s + static_cast<char>(b));
        } else if (b == '\n' || b == '\t' || b == '\r' || b == '\b') {
            EXPECT_EQ(body.size(), 2u);
            EXPECT_EQ(body[0], '\\');
        } else if (b >= 32 && b <= 126) {
            EXPECT_EQ(body, std::string(1, static_cast<char>(b)));
        } else {
            char expected[5];
            std::snprintf(expected, sizeof expected, "\\%03d", b);
            EXPECT_EQ(body, expected);
        }
    }
}

TEST(runtime_sprintf, formats_like_sprintf) {
    EXPECT_EQ(Sylvane::runtime_sprintf(std::string("%s:%d:%S"), "a", -1, "b"), "a:-1:\"b\"");
}

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

TEST(runtime_sprintf, format_error_is_not_a_failure) {
    // A handler for conversion failures' causes (std::runtime_error) must not see it.
    EXPECT_THROW(
        {
            try {
                (void)Sylvane::runtime_sprintf("%d", "x");
            } catch (const std::runtime_error&) {
                FAIL() << "caught as std::runtime_error";
            }
        },
        std::invalid_argument);
}

}  // namespace
