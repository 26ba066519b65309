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
