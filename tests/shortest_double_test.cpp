// The writer's shortest digits of doubles (src/json_tree/shortest_double.hpp, private; the test
// sees its header) against std::to_chars, byte for byte: millions of random bit patterns, every
// kind of boundary the method treats apart, and floats as the typed writer writes them. Every
// float, all 2^32 bit patterns, with SYLVANE_EVERY_FLOAT=1 in the environment (some minutes).

#include "shortest_double.hpp"

#include <sylvane/derive/numbers.hpp>

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>

namespace {

using Sylvane::json_tree::detail::shortest_room;
using Sylvane::json_tree::detail::write_shortest;

/// std::to_chars's shortest text of `d`, and ".0" after it with `as_float` when it reads as an
/// integer.
std::string expected(double d, bool as_float) {
    char buffer[64];
    std::string text(buffer, std::to_chars(buffer, buffer + sizeof buffer, d).ptr);
    if (as_float && text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string written(double d, bool as_float) {
    char buffer[shortest_room + 8];
    return std::string(buffer, write_shortest(buffer, d, as_float));
}

/// Whether the writer's text of `d` is std::to_chars's, both with and without ".0"; counts the
/// first mismatches as failures.
void check(double d) {
    if (!std::isfinite(d)) return;
    for (const bool as_float : {false, true}) {
        const std::string want = expected(d, as_float);
        const std::string got = written(d, as_float);
        if (got != want) {
            ADD_FAILURE() << "bits 0x" << std::hex << std::bit_cast<std::uint64_t>(d) << ": wrote "
                          << got << ", to_chars " << want;
            return;
        }
    }
}

double from_bits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

TEST(shortest_double, random_bit_patterns) {
    std::mt19937_64 rng(29);
    for (int i = 0; i < 4'000'000 && !HasFailure(); ++i) check(from_bits(rng()));
}

// Doubles of the magnitudes documents hold: random digits at every place of the point, both
// signs, where fixed notation and scientific meet.
TEST(shortest_double, random_decimal_magnitudes) {
    std::mt19937_64 rng(31);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 1'000'000 && !HasFailure(); ++i) {
        const double d = unit(rng) * std::pow(10.0, static_cast<int>(rng() % 48) - 24);
        check(d);
        check(-d);
        check(static_cast<double>(static_cast<float>(d)));  // nine digits or so
    }
}

// Each exponent with the significands at the ends of its binade and beside them, and powers of
// two, whose rounding interval is narrower below (a path of its own); subnormals at both ends.
TEST(shortest_double, binade_boundaries_and_subnormals) {
    constexpr std::uint64_t fraction_max = (std::uint64_t{1} << 52) - 1;
    for (std::uint64_t biased = 0; biased < 2047; ++biased)
        for (const std::uint64_t fraction :
             {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3},
              fraction_max / 2, fraction_max / 2 + 1, fraction_max - 2, fraction_max - 1,
              fraction_max}) {
            check(from_bits(biased << 52 | fraction));
            check(-from_bits(biased << 52 | fraction));
        }
    for (std::uint64_t bits = 0; bits < 200'000; ++bits) {
        check(from_bits(bits));                                 // the smallest subnormals
        check(from_bits((std::uint64_t{1} << 52) - 1 - bits));  // the largest
        check(from_bits((std::uint64_t{1} << 52) + bits));      // the smallest normals
        check(from_bits((std::uint64_t{0x7fe} << 52) | (fraction_max - bits)));  // the largest
    }
    using limits = std::numeric_limits<double>;
    for (double d : {limits::max(), limits::min(), limits::denorm_min(), limits::epsilon(),
                     limits::min() - limits::denorm_min(), 1.0, 0.0, -0.0, 0.1, 0.2, 0.3})
        check(d);
}

// Integers, exact and beyond 2^53; decimals with many trailing zeros, which the method strips
// by multiplications; every power of ten and its neighbours.
TEST(shortest_double, integers_trailing_zeros_and_powers_of_ten) {
    std::mt19937_64 rng(37);
    for (int i = 0; i < 300'000 && !HasFailure(); ++i) {
        check(static_cast<double>(rng() >> (rng() % 64)));
        check(static_cast<double>(rng() % 100'000) * std::pow(10.0, static_cast<int>(rng() % 40)));
        check(static_cast<double>(rng() % 1'000) / std::pow(10.0, static_cast<int>(rng() % 30)));
    }
    for (int k = -323; k <= 308; ++k) {
        const double p = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
        check(p);
        check(std::nextafter(p, 0.0));
        check(std::nextafter(p, HUGE_VAL));
        for (int m : {2, 3, 5, 7, 9, 25, 125, 999})
            check(std::strtod((std::to_string(m) + "e" + std::to_string(k)).c_str(), nullptr));
    }
    for (std::int64_t n = -100'000; n <= 100'000; ++n) check(static_cast<double>(n));
    for (double d : {9007199254740992.0, 9007199254740993.0, 9007199254740994.0, 1e15, 1e16, 1e17,
                     123456789012345680.0, 1e21, 1e22, 1e23, 4.35e15, 12345678901234567.0})
        check(d);
}

/// Whether the typed writer's double for `f` (its float's shortest digits, read as a double)
/// is written as std::to_chars writes the float; counts the first mismatches as failures.
void check_float(float f) {
    if (!std::isfinite(f)) return;
    const double d = Sylvane::derive::detail::float32_tree(f).as_float();
    char buffer[64];
    std::string want(buffer, std::to_chars(buffer, buffer + sizeof buffer, f).ptr);
    if (want.find_first_of(".e") == std::string::npos) want += ".0";
    const std::string got = written(d, true);
    if (got != want)
        ADD_FAILURE() << "float bits 0x" << std::hex << std::bit_cast<std::uint32_t>(f)
                      << ": wrote " << got << ", to_chars " << want;
}

// One float bit pattern in 1009, and all of them on request.
TEST(shortest_double, floats_as_the_typed_writer_writes_them) {
    const char* every = std::getenv("SYLVANE_EVERY_FLOAT");
    const std::uint64_t step = every && std::string_view(every) == "1" ? 1 : 1009;
    for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32) && !HasFailure(); bits += step)
        check_float(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
}

}  // namespace
