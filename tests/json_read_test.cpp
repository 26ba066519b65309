#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/treeform.hpp>

#include "indented_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using namespace Sylvane;
using namespace std::string_literals;

namespace {

using fields = std::vector<yojson::field>;

// Checks that `text` reads to `expected`.
void check(std::string_view text, const yojson& expected, const read_options& o = {}) {
    SCOPED_TRACE(std::string(text));
    EXPECT_EQ(read(text, o), expected);
}

// Checks that `text` is refused at line:column with exactly `reason`.
void check_error(std::string_view text, std::size_t line, std::size_t column,
                 std::string_view reason, const read_options& o = {}) {
    SCOPED_TRACE(std::string(text));
    try {
        read(text, o);
        ADD_FAILURE() << "accepted";
    } catch (const parse_error& e) {
        EXPECT_EQ(e.reason(), reason);
        EXPECT_EQ(e.line(), line);
        EXPECT_EQ(e.column(), column);
        EXPECT_EQ(e.what(),
                  std::to_string(line) + ":" + std::to_string(column) + ": " + std::string(reason));
    }
}

std::string nest(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

}  // namespace

TEST(json_read, scalars_and_white_space) {
    check("null", yojson::Null());
    check(" \t\r\n true \n", yojson::Bool(true));
    check("false", yojson::Bool(false));
    check("0", yojson::Int(0));
    check("-0", yojson::Int(0));
    check("\"\"", yojson::String(""));
    check("\"abc\"", yojson::String("abc"));
}

TEST(json_read, integers_fit_int64_or_keep_their_digits) {
    check("9223372036854775807", yojson::Int(std::numeric_limits<std::int64_t>::max()));
    check("-9223372036854775808", yojson::Int(std::numeric_limits<std::int64_t>::min()));
    check("9223372036854775808", yojson::Intlit("9223372036854775808"));
    check("-9223372036854775809", yojson::Intlit("-9223372036854775809"));
    check("18446744073709551616", yojson::Intlit("18446744073709551616"));
    check("123456789012345678901234567890", yojson::Intlit("123456789012345678901234567890"));
    check("[-12,7]", yojson::List({yojson::Int(-12), yojson::Int(7)}));
}

TEST(json_read, numbers_with_fraction_or_exponent_are_correctly_rounded_floats) {
    check("1.0", yojson::Float(1.0));
    check("1e2", yojson::Float(100.0));
    check("-0.0", yojson::Float(-0.0));
    check("1E+2", yojson::Float(100.0));
    check("0.1", yojson::Float(0.1));
    check("2.2250738585072011e-308", yojson::Float(2.2250738585072011e-308));
    check("1.7976931348623157e308", yojson::Float(std::numeric_limits<double>::max()));
    check("4.9e-324", yojson::Float(std::numeric_limits<double>::denorm_min()));
    check("9007199254740993.0", yojson::Float(9007199254740992.0));  // ties to even
    check("1e-400", yojson::Float(0.0));  // below the smallest double: rounds to zero
    check("-1e-400", yojson::Float(-0.0));
    check("0e99999999999999999999", yojson::Float(0.0));
    check_error("1e400", 1, 1, "number out of range of a double");
    check_error("[-1.5e99999999999999999999]", 1, 2, "number out of range of a double");
}

// Objects of one shape repeat their keys; a key like the one at the same place before (a
// prefix, a longer key, the same bytes escaped, an escaped quote after them) is still read whole.
TEST(json_read, repeated_keys_are_read_exactly) {
    const auto obj = [](std::vector<std::pair<std::string, std::int64_t>> kv) {
        fields f;
        for (auto& [k, v] : kv) f.emplace_back(k, yojson::Int(v));
        return yojson::Assoc(std::move(f));
    };
    check(
        R"([{"ab":1,"c":2},{"abc":3,"c":4},{"a":5},{"a\u0062":6},{"ab":7},{"ab\"":8},{"ab":9,"":10},{"k":{"k":11}}])",
        yojson::List({obj({{"ab", 1}, {"c", 2}}), obj({{"abc", 3}, {"c", 4}}), obj({{"a", 5}}),
                      obj({{"ab", 6}}), obj({{"ab", 7}}), obj({{"ab\"", 8}}),
                      obj({{"ab", 9}, {"", 10}}), yojson::Assoc(fields{{"k", obj({{"k", 11}})}})}));
    EXPECT_THROW(read("[{\"ab\":1},{\"ab\x01\":2}]"), parse_error)
        << "a control byte after a known key";
    // Keys of every length class that the comparison treats apart, differing in one byte, one
    // byte longer or shorter; far from the end of the text and near it.
    for (const std::string k :
         {"abcde", "abcdefghij", "abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopqrstu",
          "abcdefghijklmnopqrstuvwxyz01234", "abcdefghijklmnopqrstuvwxyz012345"}) {
        std::vector<std::string> others{k + "x", k.substr(0, k.size() - 1)};
        for (std::size_t i = 0; i < k.size(); ++i) {
            others.push_back(k);
            others.back()[i] = 'Z';
        }
        for (const std::string& other : others) {
            for (const std::string tail : {"", ",\"padding padding padding\":0"}) {
                check("[{\"" + k + "\":1},{\"" + other + "\" : 2" + tail + "}]",
                      yojson::List({obj({{k, 1}}),
                                    tail.empty()
                                        ? obj({{other, 2}})
                                        : obj({{other, 2}, {"padding padding padding", 0}})}));
            }
        }
    }
    // Keys are remembered by where they are in the text, and the places outlive a read: a
    // later read of other keys in the same buffer, at the same places, must read its own.
    std::string buffer = R"({"ab":1,"k":{"cd":2}})";
    check(buffer, yojson::Assoc(fields{{"ab", yojson::Int(1)}, {"k", obj({{"cd", 2}})}}));
    buffer = R"({"xy":1,"k":{"zw":2}})";
    check(buffer, yojson::Assoc(fields{{"xy", yojson::Int(1)}, {"k", obj({{"zw", 2}})}}));
}

// Short decimals take a fast path; it must round exactly as the general parse does.
TEST(json_read, decimal_numbers_round_as_the_general_parse_does) {
    std::mt19937_64 rng(7);
    const auto digits = [&](std::size_t n, bool leading_zero_ok) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>('0' + (i == 0 && !leading_zero_ok ? 1 + rng() % 9 : rng() % 10));
        return s;
    };
    for (int i = 0; i < 100'000; ++i) {
        std::string text = rng() % 2 ? "-" : "";
        text += rng() % 4 == 0 ? "0" : digits(1 + rng() % 10, false);
        text += '.';
        text += digits(1 + rng() % 12, true);
        if (rng() % 2)
            text += std::string(rng() % 2 ? "e" : "E") + (rng() % 2 ? "-" : "+") +
                    digits(1 + rng() % 2, true);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(read(text).as_float()),
                  std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}

// Digits are read eight at a time; runs of every length, cut by every kind of byte, keep their
// value, and integers become Int exactly while they fit 64 bits.
TEST(json_read, digit_runs_of_every_length_keep_their_value) {
    std::mt19937_64 rng(5);
    for (std::size_t n = 1; n <= 21; ++n) {
        for (int i = 0; i < 200; ++i) {
            std::string digits = std::to_string(1 + rng() % 9);
            while (digits.size() < n) digits += static_cast<char>('0' + rng() % 10);
            const std::string text = (i % 2 ? "-" : "") + digits;
            std::int64_t expected = 0;
            const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
            const yojson want = r.ec == std::errc() ? yojson::Int(expected) : yojson::Intlit(text);
            const char* after = i % 3 == 0 ? "]" : i % 3 == 1 ? " ,0]" : "e0]";
            if (i % 3 == 2)
                check("[" + text + after, yojson::List({yojson::Float(std::stod(text))}));
            else
                check("[" + text + after,
                      i % 3 == 0 ? yojson::List({want}) : yojson::List({want, yojson::Int(0)}));
            check(text, want);
        }
    }
}

// Exponents are read as they are scanned; long ones, leading zeros and all, keep their value.
TEST(json_read, exponents_of_many_digits_keep_their_value) {
    for (const char* text :
         {"1e00001", "1e000001", "-2.5E-0000000003", "7e+00000000000000000000", "1.5e00005",
          "1.5e99999e", "3e-99999", "12345678901234567890e-00000000000000000019", "0.5e-0"}) {
        SCOPED_TRACE(text);
        std::string s = text;
        if (s.back() == 'e') {  // not a number
            EXPECT_THROW(read(s), parse_error);
            continue;
        }
        double expected = 0;
        std::from_chars(s.data(), s.data() + s.size(), expected);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(read(s).as_float()),
                  std::bit_cast<std::uint64_t>(expected));
    }
    check_error("1e99999", 1, 1, "number out of range of a double");
}

// Longer decimals and wide exponents take the 128-bit product; every double must still be the
// correctly rounded one, equal to the general parse's, bit for bit.
TEST(json_read, decimals_of_any_size_and_exponent_round_correctly) {
    std::mt19937_64 rng(11);
    const auto expect_as_from_chars = [](const std::string& text) {
        double expected = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (r.ec == std::errc::result_out_of_range) return;  // handled by its own test
        ASSERT_EQ(std::bit_cast<std::uint64_t>(read(text).as_float()),
                  std::bit_cast<std::uint64_t>(expected))
            << text;
    };
    char buf[64];
    for (int i = 0; i < 200'000; ++i) {
        // Doubles of every magnitude, written in full (17 digits), shortest and cut short.
        const double v = std::bit_cast<double>(rng() & 0x7fefffffffffffffULL);
        const int precision = i % 3 == 0 ? 17 : 1 + static_cast<int>(rng() % 25);
        std::snprintf(buf, sizeof buf, "%.*e", precision - 1, v);
        expect_as_from_chars(buf);
        const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
        std::string shortest(buf, end);
        if (shortest.find_first_of(".e") == std::string::npos) shortest += ".0";
        expect_as_from_chars(shortest);
        // Random significands of up to 22 digits, with leading zeros or a sign, any exponent.
        std::string digits = std::to_string(1 + rng() % 9);
        for (std::size_t k = rng() % 22; k > 0; --k) digits += static_cast<char>('0' + rng() % 10);
        const std::string exponent = 'e' + std::to_string(static_cast<long>(rng() % 660) - 345);
        expect_as_from_chars(digits.substr(0, 1) + '.' + digits.substr(1) + "1" + exponent);
        expect_as_from_chars("-0.000" + digits + exponent);
        expect_as_from_chars(digits + exponent);
    }
    // Halfway points between neighbouring doubles, and the numbers next to them.
    for (const char* text :
         {"9007199254740993.0", "9007199254740995.0", "9007199254740993.00000000001",
          "1.00000000000000011102230246251565404236316680908203125",
          "1.00000000000000011102230246251565404236316680908203124", "2.2250738585072011e-308",
          "2.2250738585072014e-308", "4.9406564584124654e-324", "1.7976931348623157e308",
          "1.7976931348623158e308", "7.2057594037927933e16", "1e23", "8.98846567431158e307",
          "0.0e-999", "123456789012345678901234567890.0", "0.30000000000000004", "-0.1e-2"})
        expect_as_from_chars(text);
}

// A number with 32 bytes or more after it is read at once; nearer the end of the text, by the
// general parse. Both give the same kind and value: Int while it fits, else Intlit, and the
// correctly rounded double of every decimal.
TEST(json_read, numbers_read_at_once_match_the_general_parse) {
    std::mt19937_64 rng(17);
    const auto expect_as_general = [&](const std::string& text) {
        yojson expected;
        std::int64_t integer = 0;
        double decimal = 0;
        const char* end = text.data() + text.size();
        if (text.find_first_of(".e") == std::string::npos) {
            expected = std::from_chars(text.data(), end, integer).ec == std::errc()
                           ? yojson::Int(integer)
                           : yojson::Intlit(text);
        } else {
            std::from_chars(text.data(), end, decimal);
            expected = yojson::Float(decimal);
        }
        const std::string after(rng() % 40, ' ');
        ASSERT_EQ(read(text + after), expected) << text << " with " << after.size() << " after";
        ASSERT_EQ(read("[" + text + "," + after + "0]"), yojson::List({expected, yojson::Int(0)}))
            << text;
    };
    for (const char* text : {"0", "-0", "0.0", "-0.0", "0.0000000000000001", "9223372036854775807",
                             "-9223372036854775808", "9223372036854775808", "1234567890123456.5",
                             "9007199254740993.0", "0.30000000000000004", "-65.613616999999977"}) {
        for (int i = 0; i < 40; ++i) expect_as_general(text);
    }
    const auto digits = [&](std::size_t n) {
        std::string s;
        while (s.size() < n) s += static_cast<char>('0' + rng() % 10);
        return s;
    };
    for (int i = 0; i < 200'000; ++i) {
        // Up to 21 integer digits, up to 21 fraction digits, maybe an exponent: every length
        // around the 16 and 19 digits that the quick read takes and the 32 bytes it looks at.
        std::string text = rng() % 2 ? "-" : "";
        text += rng() % 5 == 0 ? "0" : std::to_string(1 + rng() % 9) + digits(rng() % 21);
        if (const std::size_t n = rng() % 22; n > 0) text += '.' + digits(n);
        if (rng() % 5 == 0) {
            text += 'e';
            text += std::to_string(static_cast<int>(rng() % 60) - 30);
        }
        expect_as_general(text);
    }
}

// Malformed numbers fail with the same place and reason wherever they stand in the text.
TEST(json_read, malformed_numbers_far_from_the_end_fail_alike) {
    const std::string after(40, ' ');
    check_error("01" + after, 1, 1, "leading zero in number");
    check_error("-0012.5" + after, 1, 1, "leading zero in number");
    check_error("-" + after, 1, 2, "unexpected byte 0x20 in number");
    check_error("-x" + after, 1, 2, "unexpected character 'x' in number");
    check_error("12." + after, 1, 4, "unexpected byte 0x20 in number, expected a digit");
    check_error("1.e5" + after, 1, 3, "unexpected character 'e' in number, expected a digit");
    check_error("1.5e" + after, 1, 5, "unexpected byte 0x20 in number, expected a digit");
    check_error("1.5E+," + after, 1, 6, "unexpected character ',' in number, expected a digit");
    check_error("1.5.5" + after, 1, 4, "unexpected character '.' after the value");
    check_error("[1.25-3" + after + "]", 1, 6, "unexpected character '-', expected ',' or ']'");
    check_error("[12345678901234567,1e400" + after + "]", 1, 20, "number out of range of a double");
    check_error("-Infinity" + after, 1, 2, "unexpected character 'I' in number");
    read_options nonfinite;
    nonfinite.allow_nan_infinity = true;
    check("[-Infinity," + after + "-1]",
          yojson::List({yojson::Float(-std::numeric_limits<double>::infinity()), yojson::Int(-1)}),
          nonfinite);
}

TEST(json_read, strings_decode_escapes_and_keep_utf8) {
    check(R"("\"\\\/\b\f\n\r\t")", yojson::String("\"\\/\b\f\n\r\t"));
    check(R"("\u0041\u00e9\u20AC")", yojson::String("A\xc3\xa9\xe2\x82\xac"));
    check(R"("\ud83d\ude00")", yojson::String("\xf0\x9f\x98\x80"));
    check(R"("a\u0000b")", yojson::String("a\0b"s));
    check("\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 plain after\"",
          yojson::String("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 plain after"));
    // Long runs take the word-at-a-time scan; a stop byte in every position of a word.
    for (std::size_t i = 0; i < 17; ++i) {
        std::string s(i, 'x');
        check('"' + s + "\\n" + s + '"', yojson::String(s + "\n" + s));
        check('"' + s + "\xc3\xa9" + s + '"', yojson::String(s + "\xc3\xa9" + s));
        check_error('"' + s + '\x01' + s + '"', 1, i + 2, "unescaped control byte 0x01 in string");
    }
}

// Escapes are decoded into a buffer grown ahead of them: runs of plain text of every length
// between escapes of every kind, in strings long enough to grow it many times.
TEST(json_read, strings_with_many_escapes_decode_whole) {
    const std::pair<const char*, std::string> escapes[] = {{"\\/", "/"},
                                                           {"\\n", "\n"},
                                                           {"\\\"", "\""},
                                                           {"\\u00e9", "\xc3\xa9"},
                                                           {"\\u65E5", "\xe6\x97\xa5"},
                                                           {"\\ud83d\\ude00", "\xf0\x9f\x98\x80"},
                                                           {"\\u0041", "A"}};
    std::string text = "\"", want;
    for (std::size_t i = 0; want.size() < 200'000; ++i) {
        const auto& [escape, decoded] = escapes[i % std::size(escapes)];
        const std::string plain(i % 37, static_cast<char>('a' + i % 26));
        const std::string other = i % 5 == 0 ? "\xe2\x82\xac" : "";
        text += plain + other + escape;
        want += plain + other + decoded;
    }
    check(text + '"', yojson::String(want));
    check("{" + text + "\": [" + text + "\"]}",
          yojson::Assoc({{want, yojson::List({yojson::String(want)})}}));
    // Hex digits of either case; a byte just outside each range of digits, at every place of
    // the four.
    check(R"(["\u00E9\u00e9", "\uABCD", "\uabcd", "\u09Af"])",
          yojson::List({yojson::String("\xc3\xa9\xc3\xa9"), yojson::String("\xea\xaf\x8d"),
                        yojson::String("\xea\xaf\x8d"), yojson::String("\xe0\xa6\xaf")}));
    for (std::size_t at = 0; at < 4; ++at)
        for (const char bad : {'/', ':', '@', 'G', '`', 'g', '\x80'}) {
            std::string digits = "00e9";
            digits[at] = bad;
            check_error("\"ab\\u" + digits + '"', 1, 4, "invalid \\u escape");
        }
}

TEST(json_read, strings_that_are_not_utf8_are_refused_unless_allowed) {
    for (const char* bad : {"\x80", "\xc0\xaf", "\xc3", "\xe0\x80\xaf", "\xed\xa0\x80",
                            "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "\xff", "\xe2\x82"}) {
        const std::string text = "\"ab" + std::string(bad) + "\"";
        check_error(text, 1, 4, "invalid UTF-8 in string");
        read_options o;
        o.allow_invalid_utf8 = true;
        check(text, yojson::String("ab" + std::string(bad)), o);
        // Right after valid sequences of every length, and before them.
        const std::string run = "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
        check_error("\"" + run + bad + "\"", 1, 11, "invalid UTF-8 in string");
        check("\"" + run + bad + run + "\"", yojson::String(run + bad + run), o);
    }
}

TEST(json_read, long_strings_of_other_scripts_are_checked_across_blocks) {
    std::string run;
    while (run.size() < 90) run += "\xe3\x81\x82x\xf0\x9f\x98\x80";
    const std::string bad = "\xed\xa0\x80";
    read_options lax;
    lax.allow_invalid_utf8 = true;
    for (std::size_t at = 0; at < 70; ++at) {
        if ((static_cast<unsigned char>(run[at]) & 0xC0) == 0x80) continue;
        const std::string head = run.substr(0, at);
        check('"' + head + run + '"', yojson::String(head + run));
        check("{\"" + head + "\":1}", yojson::Assoc({{head, yojson::Int(1)}}));
        check_error('"' + head + bad + run + '"', 1, at + 2, "invalid UTF-8 in string");
        check('"' + head + bad + run + '"', yojson::String(head + bad + run), lax);
        check_error('"' + head + '\t' + run + '"', 1, at + 2,
                    "unescaped control byte 0x09 in string");
        check('"' + head + "\\n\\u00e9" + run + '"', yojson::String(head + "\n\xc3\xa9" + run));
        check_error('"' + run + head, 1, 1, "unterminated string");
    }
}

TEST(json_read, objects_keep_text_order_and_duplicate_keys) {
    check(
        R"({"b":1,"a":2,"b":3})",
        yojson::Assoc(fields{{"b", yojson::Int(1)}, {"a", yojson::Int(2)}, {"b", yojson::Int(3)}}));
    check(R"( { } )", yojson::Assoc({}));
    check(R"([ ])", yojson::List({}));
    check(R"({"k\u0000":[{}, [], [null, {"x": "y"}]]})",
          yojson::Assoc(fields{
              {"k\0"s, yojson::List(
                           {yojson::Assoc({}), yojson::List({}),
                            yojson::List({yojson::Null(),
                                          yojson::Assoc(fields{{"x", yojson::String("y")}})})})}}));
}

TEST(json_read, errors_give_position_and_reason) {
    check_error("", 1, 1, "unexpected end of input");
    check_error("  ", 1, 3, "unexpected end of input");
    check_error("[1,]", 1, 4, "unexpected character ']'");
    check_error("[1 2]", 1, 4, "unexpected character '2', expected ',' or ']'");
    check_error("{\"a\":1,\n  \"b\" 2}", 2, 7, "unexpected character '2', expected ':'");
    check_error("{\"a\":1 ]", 1, 8, "unexpected character ']', expected ',' or '}'");
    check_error("{1:2}", 1, 2, "unexpected character '1', expected a string key");
    check_error("[1", 1, 3, "unexpected end of input, expected ',' or ']'");
    check_error("1 2", 1, 3, "unexpected character '2' after the value");
    check_error("\"abc", 1, 1, "unterminated string");
    check_error("[\"a\\", 1, 2, "unterminated string");
    check_error("\"a\nb\"", 1, 3, "unescaped control byte 0x0A in string");
    check_error(R"("\x")", 1, 2, "invalid escape '\\x'");
    check_error(std::string_view("\"\\\0\"", 4), 1, 2, "invalid escape: byte 0x00 after '\\'");
    check_error("\"\\\xff\"", 1, 2, "invalid escape: byte 0xFF after '\\'");
    check_error(R"("\u12G4")", 1, 2, "invalid \\u escape");
    check_error(R"("\u12")", 1, 2, "invalid \\u escape");
    check_error(R"("\ud800")", 1, 2, "lone surrogate in \\u escape");
    check_error(R"("\ud800\u0041")", 1, 2, "lone surrogate in \\u escape");
    check_error(R"("\udc00")", 1, 2, "lone surrogate in \\u escape");
    check_error("tru", 1, 4, "unexpected end of input in literal 'true'");
    check_error("nul1", 1, 4, "unexpected character '1' in literal 'null'");
    check_error("01", 1, 1, "leading zero in number");
    check_error("-", 1, 2, "unexpected end of input in number");
    check_error("-a", 1, 2, "unexpected character 'a' in number");
    check_error("1.", 1, 3, "unexpected end of input in number, expected a digit");
    check_error("1.e5", 1, 3, "unexpected character 'e' in number, expected a digit");
    check_error("1e+", 1, 4, "unexpected end of input in number, expected a digit");
    check_error("+1", 1, 1, "unexpected character '+'");
    check_error(".5", 1, 1, "unexpected character '.'");
    check_error("\x01", 1, 1, "unexpected byte 0x01");
    check_error("\xef\xbb\xbf{}", 1, 1, "unexpected byte 0xEF");  // no byte-order mark
    check_error("NaN", 1, 1, "unexpected character 'N'");
    check_error("-Infinity", 1, 2, "unexpected character 'I' in number");
    check_error("[1] // c", 1, 5, "unexpected character '/' after the value");
    check_error("\n\n   x", 3, 4, "unexpected character 'x'");
}

TEST(json_read, nesting_is_limited_without_using_the_stack) {
    EXPECT_EQ(read(nest(512)).kind(), yojson_kind::List);
    check_error(nest(513), 1, 513, "nesting deeper than 512");
    check_error(std::string(1'000'000, '['), 1, 513, "nesting deeper than 512");
    check_error(std::string(600, '{'), 1, 2, "unexpected character '{', expected a string key");
    read_options o;
    o.max_depth = 2;
    check_error(R"({"a":[[1]]})", 1, 7, "nesting deeper than 2", o);
    o.max_depth = 0;
    check("7", yojson::Int(7), o);
    check_error("[]", 1, 1, "nesting deeper than 0", o);
    o.max_depth = 200'000;
    EXPECT_EQ(read(nest(200'000), o).kind(), yojson_kind::List);
}

TEST(json_read, options_are_off_by_default_and_each_opens_one_extension) {
    read_options comments;
    comments.allow_comments = true;
    check("// a\n[1, /* b */ 2 /**/]// end", yojson::List({yojson::Int(1), yojson::Int(2)}),
          comments);
    check("/* only */ null //", yojson::Null(), comments);
    check_error("[1 /* open", 1, 4, "unterminated comment", comments);
    check_error("[1 / 2]", 1, 4, "unexpected character '/'", comments);
    check_error("[1, // c\n]", 1, 5, "unexpected character '/'");

    read_options commas;
    commas.allow_trailing_commas = true;
    check("[1,2,]", yojson::List({yojson::Int(1), yojson::Int(2)}), commas);
    check(R"({"a":1 , })", yojson::Assoc(fields{{"a", yojson::Int(1)}}), commas);
    check_error("[1,,]", 1, 4, "unexpected character ','", commas);
    check_error("[,]", 1, 2, "unexpected character ','", commas);
    check_error("{,}", 1, 2, "unexpected character ',', expected a string key", commas);

    read_options nonfinite;
    nonfinite.allow_nan_infinity = true;
    const yojson t = read("[NaN, Infinity, -Infinity]", nonfinite);
    ASSERT_EQ(t.as_list().size(), 3u);
    EXPECT_TRUE(std::isnan(t.as_list()[0].as_float()));
    EXPECT_EQ(t.as_list()[1].as_float(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(t.as_list()[2].as_float(), -std::numeric_limits<double>::infinity());
    check_error("Nan", 1, 3, "unexpected character 'n' in literal 'NaN'", nonfinite);
    check_error("1e400", 1, 1, "number out of range of a double", nonfinite);
}

/// A stream buffer that hands out its text one byte at a time and never says how much is
/// left, as a pipe or a socket does.
class trickle : public std::streambuf {
public:
    explicit trickle(std::string text) : text_(std::move(text)) {}

private:
    int_type underflow() override {
        if (at_ == text_.size()) return traits_type::eof();
        char* c = text_.data() + at_++;
        setg(c, c, c + 1);
        return traits_type::to_int_type(*c);
    }
    std::string text_;
    std::size_t at_ = 0;
};

TEST(json_read, streams_and_files) {
    std::istringstream in("  [1, \"two\"]  ");
    EXPECT_EQ(read(in), yojson::List({yojson::Int(1), yojson::String("two")}));

    // Read whole, in blocks, however much the stream says is left; a stream that has been
    // read from is read from where it stands, and errors count from there.
    std::string many = "[";
    for (int i = 0; i < 30'000; ++i) many += std::to_string(i * 7919) + ",";
    many += "\"end\"]";
    const yojson whole = read(many);
    trickle slowly(many);
    std::istream from_pipe(&slowly);
    EXPECT_EQ(read(from_pipe), whole);
    std::istringstream after_header("HEADER" + many);
    after_header.ignore(6);
    EXPECT_EQ(read(after_header), whole);
    std::istringstream bad_after_header("HEADER[1,\n  ]");
    bad_after_header.ignore(6);
    try {
        read(bad_after_header);
        ADD_FAILURE() << "accepted";
    } catch (const parse_error& e) {
        EXPECT_EQ(e.what(), "2:3: unexpected character ']'"s);
    }
    // A stream that is not good before the read is refused, whatever its buffer holds: a
    // failed extraction or an end met before leaves text that is not the stream's rest.
    for (const auto state : {std::ios::badbit, std::ios::failbit, std::ios::eofbit}) {
        std::istringstream broken("[1]");
        broken.setstate(state);
        try {
            read(broken);
            ADD_FAILURE() << "read a stream in state " << state;
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code(), std::errc::io_error);
            EXPECT_EQ(std::string(e.what()).rfind("cannot read the JSON stream", 0), 0u);
        }
    }
    {
        const std::string large = ::testing::TempDir() + "json_read_test_large.json";
        std::ofstream(large, std::ios::binary) << many;
        EXPECT_EQ(read_file(large), whole);
        std::ofstream(large, std::ios::binary).flush();  // now empty
        try {
            read_file(large);
            ADD_FAILURE() << "accepted an empty file";
        } catch (const parse_error& e) {
            EXPECT_EQ(e.what(), "1:1: unexpected end of input"s);
        }
        std::remove(large.c_str());
    }

    const std::string path = ::testing::TempDir() + "json_read_test.json";
    {
        std::ofstream f(path, std::ios::binary);
        f << "{\"a\":\n  tru}";
    }
    try {
        read_file(path);
        ADD_FAILURE() << "accepted";
    } catch (const parse_error& e) {
        EXPECT_EQ(e.what(), "2:6: unexpected character '}' in literal 'true'"s);
        EXPECT_EQ(e.offset(), 11u);
    }
    std::remove(path.c_str());
    try {
        read_file(path);
        ADD_FAILURE() << "read a missing file";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
}

TEST(json_read, positions_locate_every_node) {
    const std::string text = "{\"id\": 7,\n \"tags\": [\"a\", 2.5, []],\n \"o\": {\"n\": null}}";
    auto result = read_with_positions(text);
    const yojson& tree = result.tree;
    const auto& positions =
        result.positions;  // a plain reference: clang 14 cannot capture bindings
    EXPECT_EQ(tree, read(text));
    const auto at = [&](const yojson& node) {
        const auto p = positions.position_of(node);
        EXPECT_TRUE(p.has_value());
        if (!p) return std::string("?");
        return std::to_string(p->line) + ":" + std::to_string(p->column) + " " +
               text.substr(p->offset, 3);
    };
    const auto f = tree.as_assoc();
    EXPECT_EQ(at(tree), "1:1 {\"i");
    EXPECT_EQ(at(f[0].second), "1:8 7,\n");
    EXPECT_EQ(at(f[1].second), "2:10 [\"a");
    EXPECT_EQ(at(f[1].second.as_list()[0]), "2:11 \"a\"");
    EXPECT_EQ(at(f[1].second.as_list()[1]), "2:16 2.5");
    EXPECT_EQ(at(f[1].second.as_list()[2]), "2:21 []]");
    EXPECT_EQ(at(f[2].second.as_assoc()[0].second), "3:13 nul");
    EXPECT_EQ(positions.size(), 7u);

    // A copy of a heap node and the moved root are found by payload; scalars only by address.
    const yojson copy = f[1].second;
    EXPECT_EQ(at(copy), "2:10 [\"a");
    const yojson moved = std::move(tree);
    EXPECT_EQ(at(moved), "1:1 {\"i");
    EXPECT_FALSE(positions.position_of(yojson::Int(7)));
    EXPECT_FALSE(positions.position_of(yojson::String("a")));
    EXPECT_EQ(positions.root(), (text_position{0, 1, 1}));

    const auto scalar = read_with_positions("\n  42 ");
    EXPECT_EQ(scalar.positions.root(), (text_position{3, 2, 3}));
    EXPECT_EQ(scalar.positions.size(), 0u);
}

// A document of many arena chunks, read while freed chunks of other trees lie about the heap:
// every node is found, by address and through a copy, at the byte where it starts, in text order.
TEST(json_read, positions_locate_every_node_of_a_large_document) {
    std::string text = "[";
    for (int i = 0; i < 20'000; ++i) {
        const std::string n = std::to_string(i);
        if (i > 0) text += ',';
        text += "{\"k\": [" + n + ", \"s" + n + "\", 1.5, null, {}], \"t\": true}";
    }
    text += "]";
    std::vector<yojson> kept;
    for (int i = 0; i < 6; ++i) kept.push_back(read(text));
    kept.erase(kept.begin() + 1, kept.begin() + 4);  // leaves freed chunks between live ones
    const auto result = read_with_positions(text);
    const auto& positions = result.positions;
    std::size_t last = 0, nodes = 0;
    const auto visit = [&](const auto& self, const yojson& node, bool root) -> void {
        const auto p = positions.position_of(node);
        ASSERT_TRUE(p.has_value());
        if (!root) {
            ASSERT_GT(p->offset, last);
            ++nodes;
        }
        last = p->offset;
        const char first = text[p->offset];
        const yojson copy = node;
        switch (node.kind()) {
            case yojson_kind::List:
                ASSERT_EQ(first, '[');
                ASSERT_EQ(positions.position_of(copy)->offset, p->offset);
                for (const yojson& e : node.as_list()) self(self, e, false);
                break;
            case yojson_kind::Assoc:
                ASSERT_EQ(first, '{');
                ASSERT_EQ(positions.position_of(copy)->offset, p->offset);
                for (const auto& [k, v] : node.as_assoc()) self(self, v, false);
                break;
            case yojson_kind::String:
                ASSERT_EQ(first, '"');
                ASSERT_EQ(positions.position_of(copy)->offset, p->offset);
                break;
            case yojson_kind::Null: ASSERT_EQ(first, 'n'); break;
            case yojson_kind::Bool: ASSERT_EQ(first, 't'); break;
            default: ASSERT_TRUE(first >= '0' && first <= '9') << first;
        }
    };
    visit(visit, result.tree, true);
    EXPECT_EQ(nodes, positions.size());
    EXPECT_EQ(nodes, 20'000u * 8);
}

// Line starts are found 16 bytes at a time: lines of every length around that.
TEST(json_read, positions_count_lines_of_every_length) {
    std::string text = "[\n";
    for (std::size_t k = 0; k < 40; ++k) text += std::string(k, ' ') + (k < 39 ? "7,\n" : "7\n");
    text += "]";
    const auto result = read_with_positions(text);
    const auto& items = result.tree.as_list();
    ASSERT_EQ(items.size(), 40u);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const auto p = result.positions.position_of(items[k]);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->line, k + 2);
        EXPECT_EQ(p->column, k + 1);
    }
}

// Lines are counted as blanks and comments are skipped: line feeds inside comments, after a
// line comment and in carriage-return line ends all count, and only they do.
TEST(json_read, positions_count_lines_in_comments_and_blanks) {
    read_options o;
    o.allow_comments = true;
    const std::string text =
        "// head\n[1, /* one\ntwo\n */ 2,\r\n  // c\n\"a\\nb\", /**/ 3 /* x */,\n\t4]\n";
    const auto result = read_with_positions(text, o);
    const auto items = result.tree.as_list();
    ASSERT_EQ(items.size(), 5u);
    const auto line_column = [&](const yojson& node) {
        const auto p = result.positions.position_of(node);
        return p ? std::to_string(p->line) + ":" + std::to_string(p->column) : "?";
    };
    EXPECT_EQ(line_column(result.tree), "2:1");
    EXPECT_EQ(line_column(items[0]), "2:2");
    EXPECT_EQ(line_column(items[1]), "4:5");
    EXPECT_EQ(line_column(items[2]), "6:1");
    EXPECT_EQ(line_column(items[3]), "6:14");
    EXPECT_EQ(line_column(items[4]), "7:2");
    // An element's key is not a node; neither is an address between two elements.
    const auto object = read_with_positions(R"({"k": 1, "l": [2, 3]})");
    const auto& entries = object.tree.as_assoc();
    EXPECT_TRUE(object.positions.position_of(&entries[1].second));
    EXPECT_FALSE(object.positions.position_of(reinterpret_cast<const yojson*>(&entries[1])));
    const yojson* pair = entries[1].second.as_list().data();
    EXPECT_EQ(object.positions.position_of(pair + 1)->offset, 18u);
    EXPECT_FALSE(object.positions.position_of(
        reinterpret_cast<const yojson*>(reinterpret_cast<const char*>(pair) + 8)));
}

TEST(json_read, positions_report_a_conversion_failure_at_its_line) {
    const auto r = read_with_positions("[1,\n 2,\n \"three\"]");
    try {
        for (const yojson& e : r.tree.as_list()) Treeform::int_of_yojson(e);
        ADD_FAILURE() << "converted";
    } catch (const Treeform::Of_yojson_error& e) {
        const auto by_address = r.positions.position_of(e.tree_address());
        ASSERT_TRUE(by_address);
        EXPECT_EQ(*by_address, (text_position{9, 3, 2}));
        EXPECT_EQ(r.positions.position_of(e.tree()), by_address);  // by payload
    }
}

// Indentation is skipped in blocks; any blank may stand anywhere in a run, and any other byte
// ends it where it is.
TEST(json_read, blank_runs_of_any_length_and_mix) {
    for (std::size_t n = 0; n <= 70; ++n) {
        for (std::size_t at = 0; at < n; ++at) {
            for (const char other : {'\n', '\t', '\r', '\f', '\0'}) {
                std::string run(n, ' ');
                run[at] = other;
                const std::string text = "[" + run + "1" + run + "]";
                if (other == '\f' || other == '\0') {
                    const std::string shown = other == '\f' ? "0x0C" : "0x00";
                    check_error(text, 1, at + 2, "unexpected byte " + shown);
                } else {
                    check(text, yojson::List({yojson::Int(1)}));
                }
            }
        }
    }
    // A line feed and indentation of any length, up to the end of a buffer of the text's own
    // size, so that AddressSanitizer sees any read past it.
    for (std::size_t n = 0; n <= 40; ++n) {
        const std::string indented = "[1,\n" + std::string(n, ' ');
        for (const std::string& whole : {indented + "2]", indented}) {
            const auto buffer = std::make_unique<char[]>(whole.size());
            std::copy_n(whole.data(), whole.size(), buffer.get());
            const std::string_view text(buffer.get(), whole.size());
            if (whole == indented) {
                check_error(text, 2, n + 1, "unexpected end of input");
                EXPECT_THROW(read_with_positions(text), parse_error);
                continue;
            }
            check(text, yojson::List({yojson::Int(1), yojson::Int(2)}));
            const positioned p = read_with_positions(text);
            const auto at = p.positions.position_of(p.tree.as_list()[1]);
            ASSERT_TRUE(at.has_value());
            EXPECT_EQ(at->line, 2u);
            EXPECT_EQ(at->column, n + 1);
        }
    }
}

// Lines indented with spaces, tabs or both, switching from line to line, and elements after
// `", "`: every element is read, at its line and column.
TEST(json_read, indentation_of_spaces_or_tabs_and_spaced_commas) {
    std::mt19937 random(7);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    std::string text = "[0";
    std::vector<yojson> expected{yojson::Int(0)};
    std::vector<text_position> where{{1, 1, 2}};  // offset, line, column
    std::size_t line = 1, line_start = 0;
    for (int k = 1; k < 400; ++k) {
        const std::size_t style = below(6);
        if (style == 0) {
            text += ", ";
        } else {
            // Spaces or tabs of 0 to 40 bytes; now and then blank lines before (and at most
            // two spaces), or a mix.
            std::string indentation(below(style == 4 ? 3 : 41), style % 2 == 0 ? ' ' : '\t');
            if (style == 5 && !indentation.empty())
                indentation[below(indentation.size())] = "\t \r"[below(3)];
            text += ",\n";
            ++line;
            for (std::size_t blank = style >= 4 ? below(3) : 0; blank > 0; --blank, ++line)
                text += '\n';
            line_start = text.size();
            text += indentation;
        }
        where.push_back({text.size(), line, text.size() - line_start + 1});
        text += std::to_string(k);
        expected.push_back(yojson::Int(k));
    }
    text += "]";
    check(text, yojson::List(expected));
    const positioned p = read_with_positions(text);
    const auto elements = p.tree.as_list();
    for (std::size_t k = 0; k < elements.size(); ++k)
        EXPECT_EQ(p.positions.position_of(elements[k]), where[k]) << "element " << k;
}

// Indented documents nested deeper than the readers' table of indentations by depth, written
// with 1 to 8 spaces a level and then some lines indented otherwise: every value is read, at
// its place, whether its line is indented as its depth's lines were or not.
TEST(json_read, lines_indented_by_depth_or_otherwise) {
    std::mt19937 random(11);
    // A tree of lists and objects down to `depth` levels, of 1 to 4 elements each.
    const auto tree = [&](auto& self, int depth) -> yojson {
        if (depth == 0) return random() % 2 ? yojson::Int(random() % 1000) : yojson::String("s");
        std::vector<yojson> items;
        fields entries;
        const bool object = random() % 2 == 0;
        for (std::size_t n = 1 + random() % 4; n > 0; --n) {
            yojson v = self(self, random() % 3 == 0 ? 0 : depth - 1);
            if (object)
                entries.emplace_back("k" + std::to_string(n), std::move(v));
            else
                items.push_back(std::move(v));
        }
        return object ? yojson::Assoc(std::move(entries)) : yojson::List(std::move(items));
    };
    for (unsigned seed = 0; seed < 40; ++seed) {
        const yojson expected = tree(tree, 5 + static_cast<int>(seed % 9));
        write_options pretty;
        pretty.pretty = true;
        pretty.indent = 1 + seed % 8;
        const std::string text =
            indented_text::reindented(write(expected, pretty), seed, seed % 2 ? 5 : 1000);
        check(text, expected);
        const positioned p = read_with_positions(text);
        EXPECT_EQ(p.tree, expected);
        // Each element's line starts with its indentation, whatever it is.
        if (p.tree.kind() != yojson_kind::List) continue;
        for (const yojson& item : p.tree.as_list()) {
            const text_position at = *p.positions.position_of(item);
            const std::size_t line_start = text.rfind('\n', at.offset - 1) + 1;
            EXPECT_EQ(at.column, at.offset - line_start + 1);
            EXPECT_EQ(text.find_first_not_of(" \t", line_start), at.offset);
        }
    }
}

// Text cut anywhere is refused where it ends, or at the string left open there; never read
// past. Each prefix is a buffer of its own so that AddressSanitizer sees any byte read past it.
TEST(json_read, text_cut_at_any_length_fails_where_it_ends) {
    const std::string doc =
        R"({"id": 1234567890123, "name": "a name", "tags": ["x", "yy", "a longer string value"],)"
        "\n        \"nested\": {\"deep\": [[], {}, [1.5, -2.25e-3, 0, -0.0, 12345678901234567890]],"
        "\n\t\t\"flags\": [true, false, null]},\r\n"
        R"( "a": {"k": "v"}, "b": {"k": "w"}, "esc\"aped": "\u00e9\n", "utf8": "été ☃",)"
        R"( "last": [{"a key of twenty-five bytes": 1}, {"a key of twenty-five bytes": 2}]})";
    ASSERT_NO_THROW(read(doc));
    for (std::size_t n = 0; n < doc.size(); ++n) {
        const auto cut = std::make_unique<char[]>(n);
        std::copy_n(doc.data(), n, cut.get());
        const std::string_view text(cut.get(), n);
        SCOPED_TRACE(std::string(text));
        try {
            read(text);
            ADD_FAILURE() << "accepted";
        } catch (const parse_error& e) {
            if (e.reason() == "unterminated string") {
                EXPECT_EQ(text[e.offset()], '"');
            } else if (e.reason() == "invalid \\u escape") {
                EXPECT_EQ(text[e.offset()], '\\');
            } else if (e.reason() == "invalid UTF-8 in string") {
                EXPECT_GT(e.offset() + 4, n) << "a character cut by the end";
            } else {
                EXPECT_EQ(e.offset(), n) << e.what();
                EXPECT_EQ(e.reason().substr(0, 23), "unexpected end of input") << e.what();
            }
            try {
                read_with_positions(text);
                ADD_FAILURE() << "accepted with positions";
            } catch (const parse_error& tracked) {
                EXPECT_STREQ(tracked.what(), e.what());
            }
        }
    }
}

TEST(json_read, errors_in_positions_mode_match_plain_mode) {
    for (const char* bad : {"[1,]", "{\"a\" 1}", "\"\\ud800\"", "[[[", "1 1"}) {
        SCOPED_TRACE(bad);
        std::string plain, tracked;
        try {
            read(bad);
        } catch (const parse_error& e) {
            plain = e.what();
        }
        try {
            read_with_positions(bad);
        } catch (const parse_error& e) {
            tracked = e.what();
        }
        EXPECT_FALSE(plain.empty());
        EXPECT_EQ(plain, tracked);
    }
}

// A tree read from text keeps its nodes in one arena that lives while any tree holds one of
// them; AddressSanitizer and LeakSanitizer check what these only exercise.
TEST(json_read_memory, a_subtree_outlives_the_tree_it_was_read_with) {
    yojson inner;
    {
        const yojson t = read(R"([{"k": ["a string", 123456789012345678901234]}, 1])");
        inner = t.as_list()[0];
    }
    const yojson expected =
        yojson::Assoc(fields{{"k", yojson::List({yojson::String("a string"),
                                                 yojson::Intlit("123456789012345678901234")})}});
    EXPECT_EQ(inner, expected);
    // Trees of two arenas and of the heap in one list, each dropped in turn.
    yojson mixed = yojson::List({inner, read(R"("other")"), yojson::String("heap")});
    inner = yojson();
    EXPECT_EQ(mixed.as_list()[0], expected);
    yojson last = mixed.as_list()[1];
    mixed = yojson();
    EXPECT_EQ(last, yojson::String("other"));
}

TEST(json_read_memory, a_failed_read_frees_what_it_built) {
    EXPECT_THROW(read(R"([{"k": ["a", "b", {"deep": "c"}]}, "d", )"), parse_error);
    EXPECT_THROW(read(R"({"a": "long enough to need a node", "b": [1, 2, 3)"), parse_error);
}

TEST(json_read_memory, large_documents_and_strings_span_many_chunks) {
    const std::string big(300'000, 'x');
    std::string text = "[";
    std::vector<yojson> items;
    for (int i = 0; i < 20'000; ++i) {
        const std::string s = std::string("v").append(std::to_string(i));
        text += "{\"n\":" + std::to_string(i) + ",\"s\":\"" + s + "\"},";
        items.push_back(yojson::Assoc(fields{{"n", yojson::Int(i)}, {"s", yojson::String(s)}}));
    }
    text += '"' + big + "\"]";
    items.push_back(yojson::String(big));
    EXPECT_EQ(read(text), yojson::List(std::move(items)));
}

TEST(json_read_memory, subtrees_are_copied_and_dropped_from_many_threads) {
    const yojson t = read(R"([["x", "y"], {"k": "v"}, "s"])");
    std::vector<std::thread> threads;
    for (int n = 0; n < 4; ++n)
        threads.emplace_back([&t, n] {
            for (int i = 0; i < 20'000; ++i) {
                const yojson copy = t.as_list()[static_cast<std::size_t>((i + n) % 3)];
                ASSERT_NE(copy.kind(), yojson_kind::Null);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(t.as_list()[2].as_string(), "s");
}

// A plain read gives equal short strings of one document one node; the values must stay exact
// whatever the strings' bytes hash to, and nothing may be shared across documents or with
// positions, which are looked up by node.
TEST(json_read_memory, equal_short_strings_share_one_node_within_a_document) {
    std::mt19937 rng(7);
    std::string text = "[";
    std::vector<yojson> items;
    for (int i = 0; i < 6'000; ++i) {
        // Lengths 0 to 17, on both sides of the shared limit; few distinct values, so most repeat
        // and many collide in the table.
        std::string s(static_cast<std::size_t>(rng() % 18), 'a');
        for (char& c : s) c = static_cast<char>('a' + rng() % 3);
        text += '"' + s + "\",";
        items.push_back(yojson::String(s));
    }
    text += R"("a\"b", "a\u0022b", "")";
    items.insert(items.end(), {yojson::String("a\"b"), yojson::String("a\"b"), yojson::String("")});
    text += ']';
    const yojson expected = yojson::List(std::move(items));
    for (int round = 0; round < 2; ++round) {  // the second reads after the first tree is gone
        const yojson t = read(text);
        EXPECT_EQ(t, expected);
        const auto& l = t.as_list();
        EXPECT_EQ(l[l.size() - 3].as_string().data(), l[l.size() - 2].as_string().data());
    }
    const yojson other = read(R"(["abc", "abd", "abc"])");
    EXPECT_EQ(other,
              yojson::List({yojson::String("abc"), yojson::String("abd"), yojson::String("abc")}));

    const positioned p = read_with_positions("[\"ab\",\n \"ab\"]");
    const yojson second = p.tree.as_list()[1];  // a copy: found by its node, not its place
    ASSERT_TRUE(p.positions.position_of(second).has_value());
    EXPECT_EQ(p.positions.position_of(second)->line, 2u);
}

// Empty lists and objects of one plain read are one node; they must read as empty wherever they
// stand (root, element, value, with blanks inside), and with positions each keeps its own.
TEST(json_read_memory, empty_containers_share_one_node_within_a_document) {
    const std::string text =
        "{\"a\": [], \"b\": { }, \"c\": [[\n], {}, [1, []]], \"d\": {\"e\": {}}}";
    const yojson empty_list = yojson::List({});
    const yojson empty_assoc = yojson::Assoc({});
    const yojson expected = yojson::Assoc(
        {{"a", empty_list},
         {"b", empty_assoc},
         {"c", yojson::List({empty_list, empty_assoc, yojson::List({yojson::Int(1), empty_list})})},
         {"d", yojson::Assoc({{"e", empty_assoc}})}});
    const auto value = [](const yojson& t, std::size_t i) { return t.as_assoc()[i].second; };

    const yojson t = read(text);
    EXPECT_EQ(t, expected);
    const yojson c = value(t, 2);
    EXPECT_EQ(value(t, 0).as_list().data(), c.as_list()[0].as_list().data());
    EXPECT_EQ(value(t, 1).as_assoc().data(), c.as_list()[1].as_assoc().data());
    EXPECT_EQ(read("[]"), empty_list);
    EXPECT_EQ(read(" { } "), empty_assoc);

    const positioned p = read_with_positions(text);
    const yojson pc = value(p.tree, 2);
    EXPECT_NE(value(p.tree, 0).as_list().data(), pc.as_list()[0].as_list().data());
    const auto at = [&](const yojson& node) { return *p.positions.position_of(node); };
    EXPECT_EQ(at(value(p.tree, 0)).column, 7u);
    EXPECT_EQ(at(value(p.tree, 1)).column, 16u);
    EXPECT_EQ(at(pc.as_list()[0]).column, 27u);
    EXPECT_EQ(at(pc.as_list()[1]).line, 2u);
    EXPECT_EQ(at(pc.as_list()[1]).column, 4u);
    EXPECT_EQ(at(value(value(p.tree, 3), 0)).line, 2u);
    EXPECT_EQ(at(value(value(p.tree, 3), 0)).column, 29u);
}
