// Numbers against the C library: texts read through `read` and `read_as` give the double that
// `strtod` gives, bit for bit, and `write` gives as few digits as `std::to_chars`'s shortest
// form, reading back to the same double.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

namespace {

std::uint64_t bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}
double from_bits(std::uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

/// Checks `text` (a JSON number with a fraction or an exponent) through both readers against
/// `strtod`; returns false on a mismatch, with the failure reported.
bool reads_as_strtod(const std::string& text) {
    const double expected = std::strtod(text.c_str(), nullptr);
    if (std::isinf(expected)) {
        EXPECT_THROW((void)Sylvane::read(text), Sylvane::parse_error) << text;
        return true;
    }
    const double tree = Sylvane::read(text).as_float();
    const double direct = Sylvane::read_as<double>(text);
    const auto list = Sylvane::read_as<std::vector<double>>("[" + text + "," + text + "]");
    EXPECT_EQ(bits(tree), bits(expected)) << text;
    EXPECT_EQ(bits(direct), bits(expected)) << text;
    EXPECT_EQ(bits(list.at(1)), bits(expected)) << text;
    return bits(tree) == bits(expected) && bits(direct) == bits(expected);
}

/// The exact decimal text of the point halfway between `d` (finite, positive) and the next
/// double up; with `nudge` 1 just above it, -1 just below it. Built as the doubled mantissa plus
/// one, times a power of two, in base 10^9.
std::string halfway_text(double d, int nudge) {
    int exponent = 0;
    const double m = std::frexp(d, &exponent);  // d = m * 2^exponent, m in [0.5, 1)
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(m, 53));
    exponent -= 53;
    mantissa = mantissa * 2 + 1;  // the midpoint, as mantissa * 2^(exponent - 1)
    --exponent;
    // Exact decimal of mantissa * 2^exponent: multiply by 5^-exponent, shift the point.
    std::vector<std::uint32_t> digits;  // little-endian base 10^9
    digits.push_back(static_cast<std::uint32_t>(mantissa % 1000000000));
    digits.push_back(static_cast<std::uint32_t>(mantissa / 1000000000 % 1000000000));
    digits.push_back(static_cast<std::uint32_t>(mantissa / 1000000000 / 1000000000));
    const auto multiply = [&](std::uint32_t by) {
        std::uint64_t carry = 0;
        for (auto& limb : digits) {
            const std::uint64_t v = std::uint64_t{limb} * by + carry;
            limb = static_cast<std::uint32_t>(v % 1000000000);
            carry = v / 1000000000;
        }
        while (carry != 0) {
            digits.push_back(static_cast<std::uint32_t>(carry % 1000000000));
            carry /= 1000000000;
        }
    };
    int point = 0;  // decimal exponent
    if (exponent >= 0) {
        for (int i = 0; i < exponent; ++i) multiply(2);
    } else {
        for (int i = 0; i < -exponent; ++i) multiply(5);
        point = exponent;
    }
    std::string text;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        const std::string limb = std::to_string(*it);
        text += it == digits.rbegin() ? limb : std::string(9 - limb.size(), '0') + limb;
    }
    if (nudge > 0) {
        text += "1";
        --point;
    } else if (nudge < 0) {
        // Just below: the midpoint minus one in a further place.
        std::size_t i = text.size();
        while (text[--i] == '0') text[i] = '9';
        --text[i];
        text += "9";
        --point;
    }
    text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    return text + "e" + std::to_string(point);
}

TEST(number_oracle, halfway_points_round_as_strtod) {
    std::mt19937_64 random(20240611);
    const std::vector<double> fixed = {1.0,
                                       0.1,
                                       1e22,
                                       1e23,
                                       9007199254740991.0,
                                       5e-324,
                                       2.2250738585072014e-308,
                                       1.7976931348623157e308 / 2,
                                       123456.789,
                                       1e-300};
    std::vector<double> values = fixed;
    for (int i = 0; i < 300; ++i) {
        const double d = from_bits(random() >> 2);  // positive, finite
        if (std::isfinite(d) && d > 0) values.push_back(d);
    }
    for (double d : values)
        for (int nudge : {-1, 0, 1}) reads_as_strtod(halfway_text(d, nudge));
}

TEST(number_oracle, long_mantissas_subnormals_and_short_texts_read_as_strtod) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> exponent(-340, 310);
    for (int i = 0; i < 4000; ++i) {
        // 19- and 20-digit mantissas (around the 64-bit limit of a fast path), and shorter ones.
        const int length = i % 4 == 0 ? 19 : i % 4 == 1 ? 20 : 1 + static_cast<int>(random() % 40);
        std::string text = i % 3 == 0 ? "-" : "";
        text += static_cast<char>('1' + random() % 9);
        if (length > 1) text += '.';
        for (int n = 1; n < length; ++n) text += static_cast<char>('0' + random() % 10);
        text += 'e';
        text += std::to_string(exponent(random));
        if (!reads_as_strtod(text)) break;
    }
    for (const char* text :
         {"4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
          "2.2250738585072011e-308", "2.2250738585072012e-308", "1.7976931348623157e308",
          "1.7976931348623158e308", "0.0", "-0.0", "1e-400", "9e-325", "18446744073709551615.0",
          "18446744073709551616.5", "1.5"})
        reads_as_strtod(text);
}

TEST(number_oracle, writes_as_few_digits_as_to_chars) {
    std::mt19937_64 random(99);
    for (int i = 0; i < 20000; ++i) {
        const double d = from_bits(random());
        if (!std::isfinite(d)) continue;
        const std::string text = Sylvane::write(Sylvane::yojson::Float(d));
        EXPECT_EQ(bits(std::strtod(text.c_str(), nullptr)), bits(d)) << text;
        char shortest[64];
        const auto end = std::to_chars(shortest, shortest + sizeof shortest, d).ptr;
        // The significant digits of each: no sign, point, leading or trailing zeros, exponent.
        const auto significant = [](std::string_view s) {
            std::string out;
            for (char c : s.substr(0, s.find_first_of("eE"))) {
                if (c >= '0' && c <= '9' && !(out.empty() && c == '0')) out += c;
            }
            while (!out.empty() && out.back() == '0') out.pop_back();
            return out;
        };
        ASSERT_EQ(significant(text),
                  significant(std::string_view(shortest, static_cast<std::size_t>(end - shortest))))
            << text;
    }
}

}  // namespace

namespace {

/// What reading `text` gives: the tree's last element, or the failure's code and its offset
/// from `from`.
struct outcome {
    Sylvane::yojson last;
    int code = -1;
    std::size_t offset = 0;
    bool operator==(const outcome&) const = default;
};

outcome read_last(const std::string& text, std::size_t from) {
    try {
        return {Sylvane::read(text).as_list().back()};
    } catch (const Sylvane::parse_error& e) {
        return {Sylvane::yojson(), static_cast<int>(e.code()), e.position().offset - from};
    }
}

}  // namespace

TEST(number_oracle, numbers_after_short_integers_read_as_after_other_numbers) {
    // After two short integers in a row the readers try a quicker read of a short integer first:
    // every text must come out as it does where that read is not tried (the same prefix length).
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "7",
                                      "-7",
                                      "1234567",
                                      "-1234567",
                                      "12345678",
                                      "-99999999",
                                      "0.5",
                                      "-0.5",
                                      "1234567.25",
                                      "12345678.5",
                                      "1e5",
                                      "12E+2",
                                      "-3e-2",
                                      "1234567e1",
                                      "01",
                                      "-01",
                                      "00",
                                      "-",
                                      "-a",
                                      "1a",
                                      "12345 ",
                                      "7]",
                                      "1.",
                                      "1.e5",
                                      "9223372036854775807",
                                      "-9223372036854775808",
                                      "9223372036854775808",
                                      "123456789012345678901234567890"};
    std::mt19937_64 rng(5);
    const char ends[] = ",] .eEx}";
    for (int i = 0; i < 2000; ++i) {
        std::string t = rng() % 2 ? "-" : "";
        const auto digits = static_cast<int>(rng() % 12);
        for (int d = 0; d < digits; ++d) t += static_cast<char>('0' + rng() % 10);
        if (rng() % 3 == 0) t += ends[rng() % (sizeof ends - 1)];
        if (rng() % 4 == 0) t += std::to_string(rng() % 1000);
        texts.push_back(t);
    }
    // Blanks after the list: the quick reads need 32 bytes of text after a number's start.
    const std::string blanks(40, ' ');
    for (const std::string& t : texts) {
        const std::string after_ints = "[1,2,3," + t + "]" + blanks;
        const std::string after_others = "[1.5,2," + t + "]" + blanks;
        EXPECT_EQ(read_last(after_ints, 7), read_last(after_others, 7)) << t;
        // The typed reader, where the text is a list of integers.
        std::vector<std::int64_t> ints, others;
        bool ints_ok = true, others_ok = true;
        try {
            ints = Sylvane::read_as<std::vector<std::int64_t>>(after_ints);
        } catch (const std::exception&) {
            ints_ok = false;
        }
        try {
            others =
                Sylvane::read_as<std::vector<std::int64_t>>("[1,-2000000000," + t + "]" + blanks);
        } catch (const std::exception&) {
            others_ok = false;
        }
        EXPECT_EQ(ints_ok, others_ok) << t;
        if (ints_ok && others_ok) {
            EXPECT_EQ(ints.back(), others.back()) << t;
        }
    }
}
