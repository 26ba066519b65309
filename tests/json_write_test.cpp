#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

using namespace Sylvane;
using namespace std::string_literals;

namespace {

using fields = std::vector<yojson::field>;
using limits = std::numeric_limits<double>;

void check(const yojson& t, std::string_view expected, const write_options& o = {}) {
    SCOPED_TRACE(::testing::PrintToString(t));
    EXPECT_EQ(write(t, o), expected);
}

void check_error(const yojson& t, std::string_view message, const write_options& o = {}) {
    SCOPED_TRACE(::testing::PrintToString(t));
    try {
        write(t, o);
        ADD_FAILURE() << "written";
    } catch (const write_error& e) {
        EXPECT_EQ(e.what(), message);
    }
}

// Random trees of every constructor, with strings of any bytes when `any_bytes`, otherwise of
// valid UTF-8 drawn from every length of sequence.
class tree_maker {
public:
    explicit tree_maker(unsigned seed, bool any_bytes) : rng_(seed), any_bytes_(any_bytes) {}

    yojson tree(int depth) {
        switch (pick(depth > 0 ? 8 : 6)) {
            case 0: return yojson::Null();
            case 1: return yojson::Bool(pick(2) == 1);
            case 2: return yojson::Int(integer());
            case 3:
                return yojson::Intlit((pick(2) ? "-" : "") +
                                      std::to_string(9223372036854775808ull + pick(1000)) + "123");
            case 4: return yojson::Float(floating());
            case 5: return yojson::String(text());
            case 6: {
                std::vector<yojson> items;
                for (std::size_t n = pick(5); n > 0; --n) items.push_back(tree(depth - 1));
                return yojson::List(std::move(items));
            }
            default: {
                fields fs;
                for (std::size_t n = pick(5); n > 0; --n) fs.emplace_back(text(), tree(depth - 1));
                return yojson::Assoc(std::move(fs));
            }
        }
    }

private:
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    std::int64_t integer() {
        static constexpr std::int64_t edges[] = {0, -1, 1, std::numeric_limits<std::int64_t>::min(),
                                                 std::numeric_limits<std::int64_t>::max()};
        if (pick(2)) return edges[pick(5)];
        return static_cast<std::int64_t>(rng_());
    }

    double floating() {
        static constexpr double edges[] = {0.0,
                                           -0.0,
                                           1.0,
                                           0.1,
                                           1e16,
                                           1e21,
                                           -1e-7,
                                           5e-324,
                                           2.2250738585072014e-308,
                                           1.7976931348623157e308,
                                           -1.7976931348623157e308,
                                           123456789.0};
        if (pick(2)) return edges[pick(std::size(edges))];
        double d;
        do {
            const std::uint64_t bits = rng_();
            std::memcpy(&d, &bits, sizeof d);
        } while (!std::isfinite(d));
        return d;
    }

    std::string text() {
        std::string s;
        for (std::size_t n = pick(12); n > 0; --n) {
            if (any_bytes_) {
                s += static_cast<char>(pick(256));
                continue;
            }
            static const char* const chars[] = {"a",
                                                "\"",
                                                "\\",
                                                "\x01",
                                                "\x1f",
                                                "\x7f",
                                                "\0",
                                                "\xc3\xa9",
                                                "\xe2\x82\xac",
                                                "\xef\xbf\xbf",
                                                "\xf0\x9f\x98\x80",
                                                "\xf4\x8f\xbf\xbf"};
            const std::size_t k = pick(std::size(chars));
            s += k == 6 ? "\0"s : std::string(chars[k]);
        }
        return s;
    }

    std::mt19937_64 rng_;
    bool any_bytes_;
};

}  // namespace

TEST(json_write, scalars_and_containers_compact) {
    check(yojson::Null(), "null");
    check(yojson::Bool(true), "true");
    check(yojson::Bool(false), "false");
    check(yojson::Int(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    check(yojson::Intlit("-123456789012345678901234567890"), "-123456789012345678901234567890");
    check(yojson::List({}), "[]");
    check(yojson::Assoc({}), "{}");
    check(yojson::Assoc(fields{{"a", yojson::List({yojson::Int(1), yojson::Null()})},
                               {"a", yojson::Assoc({})}}),
          R"({"a":[1,null],"a":{}})");
}

TEST(json_write, floats_are_shortest_and_always_read_back_as_float) {
    check(yojson::Float(1.0), "1.0");
    check(yojson::Float(-0.0), "-0.0");
    check(yojson::Float(0.1), "0.1");
    check(yojson::Float(100.0), "100.0");
    check(yojson::Float(1e16), "1e+16");
    check(yojson::Float(1.5e-7), "1.5e-07");
    check(yojson::Float(limits::max()), "1.7976931348623157e+308");
    check(yojson::Float(limits::denorm_min()), "5e-324");
    for (double d :
         {0.1 + 0.2, 1.0 / 3, 123456789.0, 9007199254740993.0, limits::min(), -limits::epsilon()}) {
        const yojson back = read(write(yojson::Float(d)));
        EXPECT_EQ(back.kind(), yojson_kind::Float);
        EXPECT_EQ(back.as_float(), d);
    }
}

// Integers of many digits are written by the writer's own digit code: the text must be
// std::to_chars's.
TEST(json_write, integers_are_written_as_to_chars_writes_them) {
    std::mt19937_64 rng(5);
    const auto expect = [](std::int64_t k) {
        ASSERT_EQ(write(yojson::Int(k)), std::to_string(k));
        // In a list, where runs of Ints are written together.
        ASSERT_EQ(write(yojson::List({yojson::Int(k), yojson::Int(-(k / 3)), yojson::Int(k)})),
                  "[" + std::to_string(k) + "," + std::to_string(-(k / 3)) + "," +
                      std::to_string(k) + "]");
    };
    // Every count of digits, at its ends, both signs.
    for (std::int64_t power = 1;; power *= 10) {
        for (const std::int64_t k : {power - 1, power, power + 1, power / 3 * 5})
            for (const std::int64_t sign : {1, -1}) expect(sign * k);
        if (power > std::numeric_limits<std::int64_t>::max() / 10) break;
    }
    for (const std::int64_t k : {std::numeric_limits<std::int64_t>::min(),
                                 std::numeric_limits<std::int64_t>::max(), std::int64_t{0}})
        expect(k);
    for (int i = 0; i < 100'000; ++i) expect(static_cast<std::int64_t>(rng() >> (rng() % 64)));
}

// The writer finds shortest digits itself; its text must be std::to_chars's, character for
// character (and ".0" where that looks like an integer), for doubles of every magnitude.
TEST(json_write, floats_are_written_as_to_chars_writes_them) {
    std::mt19937_64 rng(3);
    char buf[64];
    const auto expect = [&](double d) {
        if (!std::isfinite(d)) return;
        std::string want(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
        if (want.find_first_of(".e") == std::string::npos) want += ".0";
        ASSERT_EQ(write(yojson::Float(d)), want);
    };
    for (int i = 0; i < 300'000; ++i) {
        expect(std::bit_cast<double>(rng()));                                           // any bits
        expect(static_cast<double>(static_cast<std::int64_t>(rng() >> (rng() % 64))));  // integers
        expect(static_cast<double>(rng() % 10'000'000) / std::pow(10.0, rng() % 12));   // decimals
        expect(std::ldexp(1.0, static_cast<int>(rng() % 2098) - 1074));  // powers of two
    }
    for (double d : {5e-324, 1e-323, 2.2250738585072014e-308, 2.225073858507201e-308, 1e22, 1e23,
                     9007199254740992.0, 9007199254740994.0, 1e21, 123e20, 5e-310})
        expect(d);
    // Every count of digits at every place of the point around where fixed notation gives way
    // to scientific, both signs: the point inside, before and after the digits, and exponents
    // of one, two and three digits.
    for (int n = 1; n <= 17; ++n)
        for (int place = -30; place <= 30; ++place)
            for (int i = 0; i < 4; ++i) {
                std::string text = std::to_string(1 + rng() % 9);
                while (static_cast<int>(text.size()) < n)
                    text += static_cast<char>('0' + rng() % 10);
                const double d = std::strtod((text + "e" + std::to_string(place)).c_str(), nullptr);
                expect(d);
                expect(-d);
                expect(d * 1e280);
                expect(d * 1e-280);
            }
    // Single-precision values, which are written as the doubles they widen to.
    for (int i = 0; i < 300'000; ++i)
        expect(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(rng()))));
}

TEST(json_write, values_without_json_text_are_errors_unless_allowed) {
    check_error(yojson::Float(limits::quiet_NaN()), "NaN has no JSON text");
    check_error(yojson::List({yojson::Float(-limits::infinity())}),
                "an infinite Float has no JSON text");
    check_error(yojson::Intlit("12a"), "Intlit text is not a JSON integer: \"12a\"");
    check_error(yojson::Intlit(""), "Intlit text is not a JSON integer: \"\"");
    check_error(yojson::Intlit("-"), "Intlit text is not a JSON integer: \"-\"");
    check_error(yojson::Intlit("007"), "Intlit text is not a JSON integer: \"007\"");
    check_error(yojson::Intlit("+5"), "Intlit text is not a JSON integer: \"+5\"");
    check(yojson::Intlit("-0"), "-0");

    write_options o;
    o.allow_nan_infinity = true;
    check(yojson::List({yojson::Float(limits::quiet_NaN()), yojson::Float(limits::infinity()),
                        yojson::Float(-limits::infinity())}),
          "[NaN,Infinity,-Infinity]", o);
}

// Lists of Floats are written by a loop of their own: runs of Floats broken by other values,
// by non-finite Floats and by nested lists, and runs long enough to cross buffer chunks, to a
// string and to a stream, give the text the general loop gives.
TEST(json_write, runs_of_numbers_in_lists_are_written_as_single_values) {
    std::mt19937_64 rng(41);
    char buf[64];
    const auto text_of = [&](double d) {
        if (std::isnan(d)) return "NaN"s;
        if (std::isinf(d)) return d > 0 ? "Infinity"s : "-Infinity"s;
        std::string t(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
        if (t.find_first_of(".e") == std::string::npos) t += ".0";
        return t;
    };
    write_options o;
    o.allow_nan_infinity = true;
    for (int round = 0; round < 200; ++round) {
        std::vector<yojson> items;
        std::string want = "[";
        const std::size_t n = rng() % 3 == 0 ? 2000 + rng() % 3000 : rng() % 8;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) want += ',';
            switch (rng() % 16) {
                case 0:
                case 3: {
                    const std::int64_t ints[] = {7,
                                                 -1,
                                                 0,
                                                 std::numeric_limits<std::int64_t>::min(),
                                                 std::numeric_limits<std::int64_t>::max(),
                                                 static_cast<std::int64_t>(rng())};
                    const std::int64_t k = ints[rng() % std::size(ints)];
                    items.push_back(yojson::Int(k));
                    want += std::to_string(k);
                    break;
                }
                case 1:
                    items.push_back(yojson::List({yojson::Float(0.5), yojson::Null()}));
                    want += "[0.5,null]";
                    break;
                case 4:
                    // Short lists of numbers alone, and ones where the run stops.
                    switch (rng() % 4) {
                        case 0:
                            items.push_back(yojson::List({yojson::Float(1.5), yojson::Float(-2)}));
                            want += "[1.5,-2.0]";
                            break;
                        case 1:
                            items.push_back(yojson::List({yojson::Int(1), yojson::Int(-2)}));
                            want += "[1,-2]";
                            break;
                        case 2:
                            items.push_back(yojson::List(
                                {yojson::Int(3), yojson::Float(0.25), yojson::Int(4)}));
                            want += "[3,0.25,4]";
                            break;
                        default:
                            items.push_back(yojson::List({yojson::Float(1), yojson::String("x"),
                                                          yojson::Int(2), yojson::Int(5)}));
                            want += R"([1.0,"x",2,5])";
                    }
                    break;
                case 2: {
                    const double d = rng() % 2 ? limits::quiet_NaN() : -limits::infinity();
                    items.push_back(yojson::Float(d));
                    want += text_of(d);
                    break;
                }
                default: {
                    const double d = std::bit_cast<double>(rng());
                    const double v = std::isfinite(d) ? d : static_cast<double>(rng() % 1000);
                    items.push_back(yojson::Float(v));
                    want += text_of(v);
                }
            }
        }
        want += ']';
        const yojson list = yojson::List(std::move(items));
        ASSERT_EQ(write(list, o), want);
        std::ostringstream stream;
        write(stream, list, o);
        ASSERT_EQ(stream.str(), want);
    }
    check_error(yojson::List({yojson::Float(1.5), yojson::Float(limits::infinity())}),
                "an infinite Float has no JSON text");
}

TEST(json_write, strings_escape_what_json_requires_and_keep_other_bytes) {
    check(yojson::String("\"\\/\b\f\n\r\t"), R"("\"\\/\b\f\n\r\t")");
    check(yojson::String("\0\x01\x1f\x7f"s), R"("\u0000\u0001\u001f)"
                                             "\x7f\"");
    check(yojson::String("\xc3\xa9 \xff"), "\"\xc3\xa9 \xff\"");
    // Every byte, each alone and in the middle of a long run.
    for (int b = 0; b < 256; ++b) {
        const std::string s(1, static_cast<char>(b));
        const std::string alone = write(yojson::String(s));
        const std::string long_run = write(yojson::String("0123456789" + s + "0123456789"));
        EXPECT_EQ(long_run, "\"0123456789" + alone.substr(1, alone.size() - 2) + "0123456789\"");
        if (b < 0x20)
            EXPECT_EQ(alone.size(),
                      b == '\b' || b == '\f' || b == '\n' || b == '\r' || b == '\t' ? 4u : 8u);
        else if (b == '"' || b == '\\')
            EXPECT_EQ(alone, "\"\\"s + static_cast<char>(b) + '"');
        else
            EXPECT_EQ(alone, '"' + s + '"');
    }
}

TEST(json_write, check_utf8_refuses_strings_and_keys_that_are_not_utf8) {
    write_options o;
    o.check_utf8 = true;
    check(yojson::String("\xc3\xa9\xf0\x9f\x98\x80"), "\"\xc3\xa9\xf0\x9f\x98\x80\"", o);
    check_error(yojson::String("ab\xc3"), "a string is not UTF-8 (byte 2)", o);
    check_error(yojson::Assoc(fields{{"\xed\xa0\x80", yojson::Null()}}),
                "a string is not UTF-8 (byte 0)", o);
}

TEST(json_write, pretty_indents_each_element) {
    write_options o;
    o.pretty = true;
    const yojson t = yojson::Assoc(fields{{"a", yojson::List({yojson::Int(1), yojson::List({})})},
                                          {"b", yojson::Assoc({})},
                                          {"c", yojson::Assoc(fields{{"d", yojson::Null()}})}});
    check(t,
          "{\n  \"a\": [\n    1,\n    []\n  ],\n  \"b\": {},\n  \"c\": {\n    \"d\": null\n  }\n}",
          o);
    o.indent = 0;
    check(yojson::List({yojson::Int(1), yojson::Int(2)}), "[\n1,\n2\n]", o);
    check(yojson::Int(3), "3", o);
    o.indent = 4;
    EXPECT_EQ(read(write(t, o)), t);
}

TEST(json_write, stream_output_matches_string_output) {
    std::vector<yojson> items;
    for (int i = 0; i < 20000; ++i) items.push_back(yojson::String("item " + std::to_string(i)));
    const yojson t = yojson::List(std::move(items));
    std::ostringstream out;
    write(out, t);
    EXPECT_GT(out.str().size(), 1u << 17);  // several chunks
    EXPECT_EQ(out.str(), write(t));
}

// The string scans take 16, 8 and fewer bytes at a time: a byte to escape or check must be
// found at every offset of strings of every short length.
TEST(json_write, every_byte_to_escape_is_found_at_every_offset) {
    write_options checked;
    checked.check_utf8 = true;
    for (std::size_t n = 1; n <= 40; ++n) {
        for (std::size_t k = 0; k < n; ++k) {
            for (const std::string stop : {"\"", "\\", "\x01", "\x1f", "\xc3\xa9"}) {
                std::string s(n, 'a');
                s.replace(k, 1, stop);
                const yojson t = yojson::String(s);
                const std::string text = write(t);
                ASSERT_EQ(read(text), t) << n << ' ' << k << ' ' << text;
                ASSERT_EQ(write(t, checked), text);
            }
        }
    }
}

TEST(json_write, strings_longer_than_the_buffer_are_written_whole) {
    std::string big(200'000, 'a');
    big[150'000] = '"';  // an escape past the first buffers
    const yojson t = yojson::List({yojson::String(big), yojson::Int(1)});
    const std::string text = write(t);
    EXPECT_EQ(text.size(), big.size() + 1 + 6);
    EXPECT_EQ(read(text), t);
    std::ostringstream out;
    write(out, t);
    EXPECT_EQ(out.str(), text);
}

TEST(json_write, round_trips_generated_trees) {
    for (unsigned seed = 0; seed < 300; ++seed) {
        SCOPED_TRACE(seed);
        const bool any_bytes = seed % 2 == 1;
        const yojson t = tree_maker(seed, any_bytes).tree(5);
        read_options r;
        r.allow_invalid_utf8 = any_bytes;
        write_options pretty;
        pretty.pretty = true;
        const std::string compact = write(t);
        ASSERT_EQ(read(compact, r), t) << compact;
        ASSERT_EQ(read(write(t, pretty), r), t);
        EXPECT_EQ(write(read(compact, r)), compact);
    }
}

TEST(json_write, deep_trees_write_without_recursion) {
    yojson t = yojson::Int(1);
    for (int i = 0; i < 300'000; ++i) {
        if (i % 2)
            t = yojson::List({std::move(t)});
        else
            t = yojson::Assoc(fields{{"k", std::move(t)}});
    }
    const std::string text = write(t);
    EXPECT_EQ(text.size(), 300'000 / 2 * 8 + 1);
    read_options o;
    o.max_depth = 300'000;
    EXPECT_EQ(read(text, o), t);
}
