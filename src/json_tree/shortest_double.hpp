#pragma once
// The shortest decimal digits that read back to a double, by Jeon's Dragonbox method, and their
// text as std::to_chars writes it; not part of the API.

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "powers_of_ten.hpp"
#include "text_scan.hpp"

namespace Sylvane::json_tree::detail {

/// A finite positive double as `digits * 10^exponent`.
struct decimal_digits {
    std::uint64_t digits;
    int exponent;
};

inline int floor_log10_pow2(int e) noexcept {
    return static_cast<int>((std::int64_t{e} * 661'971'961'083) >> 41);
}
inline int floor_log10_three_quarters_pow2(int e) noexcept {
    return static_cast<int>((std::int64_t{e} * 661'971'961'083 - 274'743'187'321) >> 41);
}
inline int floor_log2_pow10(int e) noexcept {
    return static_cast<int>((std::int64_t{e} * 913'124'641'741) >> 38);
}

__extension__ using u128 = unsigned __int128;

/// The 128-bit `powers_of_ten` entry of 10^k.
inline u128 power_of_ten(int k) noexcept {
    const std::uint64_t* g = powers_of_ten[k - smallest_power_of_ten];
    return (static_cast<u128>(g[0]) << 64) | g[1];
}

/// The upper 128 bits of the 192-bit `u * cache`.
inline u128 upper_product(std::uint64_t u, u128 cache) noexcept {
    const u128 high = static_cast<u128>(u) * static_cast<std::uint64_t>(cache >> 64);
    return high + ((static_cast<u128>(u) * static_cast<std::uint64_t>(cache)) >> 64);
}

/// Of `two_f * 2^e * 10^k / 2`, found from `two_f * cache` as `shortest` finds the interval's
/// upper end (`beta` from 1 to 63): whether its integer part is odd, and whether it has no
/// fraction. Only the lower bits of the product are needed.
struct parity_and_integer {
    bool odd;
    bool integer;
};
inline parity_and_integer parity_of_product(std::uint64_t two_f, u128 cache, int beta) noexcept {
    const u128 low = static_cast<u128>(two_f) * static_cast<std::uint64_t>(cache);
    const std::uint64_t high =
        two_f * static_cast<std::uint64_t>(cache >> 64) + static_cast<std::uint64_t>(low >> 64);
    return {((high >> (64 - beta)) & 1) != 0,
            ((high << beta) | (static_cast<std::uint64_t>(low) >> (64 - beta))) == 0};
}

/// `n` without its trailing zeros, counted into `exponent`. A multiple of 100 times the
/// inverse of 25 modulo 2^64 is its quotient by 25, a multiple of 4, which the rotation turns
/// into the quotient by 100; any other `n` comes out above 2^64 / 100. One multiplication per
/// two zeros, where a division would cost a dozen.
inline void remove_trailing_zeros(std::uint64_t& n, int& exponent) noexcept {
    constexpr std::uint64_t inverse_of_5 = 0xcccc'cccc'cccc'cccd;
    constexpr std::uint64_t inverse_of_25 = inverse_of_5 * inverse_of_5;
    for (;;) {
        const std::uint64_t q = std::rotr(n * inverse_of_25, 2);
        if (q > ~std::uint64_t{0} / 100) break;
        n = q;
        exponent += 2;
    }
    const std::uint64_t q = std::rotr(n * inverse_of_5, 1);
    if (q <= ~std::uint64_t{0} / 10) {
        n = q;
        exponent += 1;
    }
}

/// The shortest digits of the power of two `2^52 * 2^e` (a normal double with no fraction
/// bits): its rounding interval is a quarter ulp below and half an ulp above, and the digits are
/// taken from that interval's ends directly.
inline decimal_digits shortest_of_power_of_two(int e) noexcept {
    const int minus_k = floor_log10_three_quarters_pow2(e);
    const int beta = e + floor_log2_pow10(-minus_k);
    const auto cache = static_cast<std::uint64_t>(power_of_ten(-minus_k) >> 64);
    // The interval's ends times 10^-minus_k; both belong to it, the significand being even.
    std::uint64_t left = (cache - (cache >> 54)) >> (11 - beta);
    const std::uint64_t right = (cache + (cache >> 53)) >> (11 - beta);
    if (e < 2 || e > 3) ++left;  // the left end is an integer only for these two
    decimal_digits d{right / 10, minus_k + 1};
    if (d.digits * 10 >= left) {
        remove_trailing_zeros(d.digits, d.exponent);
        return d;
    }
    // No multiple of ten in the interval: the value itself, rounded to nearest.
    d = {((cache >> (10 - beta)) + 1) / 2, minus_k};
    if ((d.digits & 1) != 0 && e == -77) {
        --d.digits;  // the only tie, rounded to even
    } else if (d.digits < left) {
        ++d.digits;
    }
    return d;
}

/// The shortest digits of the finite positive double `two_f / 2 * 2^e` among the decimals that
/// round to it; of two equally short, the nearer, and of two equally near, the even. By Junekey
/// Jeon's Dragonbox method: one product of 64 by 128 bits gives the rounding interval's upper
/// end `z` times 10^k, k chosen so that the interval's width `delta` in that scale is below
/// 1000 and its integer part has one or two digits more than the shortest. If a multiple of 1000
/// is within `delta` below `z`, the digits are its quotient; otherwise they are one digit more,
/// the value rounded to a multiple of 100, found from the remainder by a small division, and
/// checked by a parity of the product's lower bits only when the remainder lands on a multiple.
/// (The three products per double of Giulietti's Schubfach method, which the writer used
/// before, cost twice as much.)
inline decimal_digits shortest(int e, std::uint64_t two_f) noexcept {
    constexpr int kappa = 2;
    const bool closed = (two_f & 2) == 0;  // an even significand's bounds round to it
    const int minus_k = floor_log10_pow2(e) - kappa;
    const u128 cache = power_of_ten(-minus_k);
    const int beta = e + floor_log2_pow10(-minus_k);
    const auto delta =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(cache >> 64) >> (63 - beta));
    const u128 z = upper_product((two_f | 1) << beta, cache);
    const auto z_high = static_cast<std::uint64_t>(z >> 64);
    const bool z_integer = static_cast<std::uint64_t>(z) == 0;

    decimal_digits d{z_high / 1000, minus_k + kappa + 1};
    auto r = static_cast<std::uint32_t>(z_high - d.digits * 1000);
    if (r < delta) {
        if (r != 0 || !z_integer || closed) {
            remove_trailing_zeros(d.digits, d.exponent);
            return d;
        }
        // The upper end is the multiple itself, and outside the interval.
        --d.digits;
        r = 1000;
    } else if (r == delta) {
        // The lower end is exactly at a multiple, or just above it: its fraction decides.
        const parity_and_integer x = parity_of_product(two_f - 1, cache, beta);
        if (x.odd || (x.integer && closed)) {
            remove_trailing_zeros(d.digits, d.exponent);
            return d;
        }
    }
    // One digit more: the value's own rounding, `z - delta / 2` in units of 100, from the
    // remainder. When that lands exactly on a unit, the approximation may be one above: the
    // parity of the exact product decides, and a tie goes to the even digits. These digits never
    // end in zero (a multiple of 1000 would then have been in range).
    d.digits *= 10;
    d.exponent = minus_k + kappa;
    std::uint32_t dist = r - delta / 2 + 50;
    const bool approx_odd = ((dist ^ 50) & 1) != 0;
    const bool on_unit = dist % 100 == 0;
    d.digits += dist / 100;
    if (on_unit) {
        const parity_and_integer y = parity_of_product(two_f, cache, beta);
        if (y.odd != approx_odd || (y.integer && (d.digits & 1) != 0)) --d.digits;
    }
    return d;
}

/// The shortest digits of the finite positive double `v`, without trailing zeros. A subnormal
/// takes the same path as a normal double; only powers of two, whose interval is narrower below
/// than above, take their own.
inline decimal_digits shortest(double v) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const auto biased = static_cast<int>(bits >> 52);
    if (biased == 0) return shortest(-1074, fraction << 1);  // subnormal
    const int q = biased - 1075;
    const std::uint64_t c = (std::uint64_t{1} << 52) | fraction;
    if (fraction == 0) return shortest_of_power_of_two(q);
    return shortest(q, c << 1);
}

/// Two decimal digits for each number below 100.
inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/// The number of decimal digits of `x` (at least 1, for 0 too), without a loop: from its bit
/// width, and one compare. (The guess is 0 only below 8, where any `x`, 0 included, has one.)
inline int decimal_length(std::uint64_t x) noexcept {
    static constexpr std::uint64_t powers[] = {0,
                                               10,
                                               100,
                                               1'000,
                                               10'000,
                                               100'000,
                                               1'000'000,
                                               10'000'000,
                                               100'000'000,
                                               1'000'000'000,
                                               10'000'000'000,
                                               100'000'000'000,
                                               1'000'000'000'000,
                                               10'000'000'000'000,
                                               100'000'000'000'000,
                                               1'000'000'000'000'000,
                                               10'000'000'000'000'000,
                                               100'000'000'000'000'000,
                                               1'000'000'000'000'000'000,
                                               10'000'000'000'000'000'000u};
    const int guess = (static_cast<int>(std::bit_width(x | 1)) * 1233) >> 12;  // log10 of 2^width
    return guess + (x >= powers[guess] ? 1 : 0);
}

inline constexpr std::size_t shortest_room = 40;

/// The digits of two numbers below 10^4, `lanes` holding the first in its low 32 bits and the
/// second in its high 32, as eight digit values (0 to 9) in text order, the first in the lowest
/// byte: both split into pairs, then into single digits, in all lanes at once. At each step
/// `(lanes << w) + q * (1 - d * 2^w)` puts the quotients `q` by `d` in the low half of each lane
/// and the remainders in the high half in one multiplication, beside the shift.
inline std::uint64_t digits_of_fours(std::uint64_t lanes) noexcept {
    const std::uint64_t twos = ((lanes * 10'486) >> 20) & 0x0000'007F'0000'007F;  // / 100
    lanes = (lanes << 16) + twos * (1 - (std::uint64_t{100} << 16));
    const std::uint64_t ones = ((lanes * 103) >> 10) & 0x000F'000F'000F'000F;  // / 10
    return (lanes << 8) + ones * (1 - (std::uint64_t{10} << 8));
}

/// Stores the bytes of `w` at `p`, the lowest first.
inline void store_low_first(char* p, std::uint64_t w) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &w, sizeof w);
    } else {
        for (std::size_t i = 0; i < sizeof w; ++i) p[i] = static_cast<char>(w >> (8 * i));
    }
}

/// The digits of a number below 10^17 in all 17 places, leading zeros included, followed by 23
/// zeros: the text that every layout copies its digits from.
///
/// The four groups of four places are divided off `x` independently, not each from the one
/// before, so the digits are ready some ten cycles sooner: the text of one double waits on a
/// chain of dependent multiplications, and the shorter the chain, the more of the next double
/// the processor works on meanwhile. The copies out of `text` read at any offset and so wait for
/// the stores here (no store is forwarded to a load that spans two), but not for each other.
struct digit_places {
    char text[40];

    explicit digit_places(std::uint64_t x) noexcept {
        constexpr std::uint64_t zeros = 0x3030'3030'3030'3030;  // '0' in every byte
        const std::uint64_t q1 = x / 10'000, q2 = x / 100'000'000, q3 = x / 1'000'000'000'000,
                            q4 = x / 10'000'000'000'000'000;
        const std::uint64_t g0 = x - q1 * 10'000, g1 = q1 - q2 * 10'000, g2 = q2 - q3 * 10'000,
                            g3 = q3 - q4 * 10'000;
        text[0] = static_cast<char>('0' + q4);
        store_low_first(text + 1, digits_of_fours(g3 | (g2 << 32)) + zeros);
        store_low_first(text + 9, digits_of_fours(g1 | (g0 << 32)) + zeros);
        std::memcpy(text + 17, "00000000000000000000000", 23);
    }
};

/// Writes `e` (below 1000 in magnitude) as an exponent: "e", its sign, and two digits or three.
inline char* write_exponent(char* p, int e) noexcept {
    p[0] = 'e';
    p[1] = e < 0 ? '-' : '+';
    const auto abs_e = static_cast<unsigned>(e < 0 ? -e : e);
    if (abs_e >= 100) {
        p[2] = static_cast<char>('0' + abs_e / 100);
        std::memcpy(p + 3, digit_pairs + 2 * (abs_e % 100), 2);
        return p + 5;
    }
    std::memcpy(p + 2, digit_pairs + 2 * abs_e, 2);
    return p + 4;
}

/// Writes the finite `v` at `p` as std::to_chars(p, p + 32, v) does (its shortest digits,
/// fixed or scientific, whichever is shorter, fixed on a tie) and returns the end. The text
/// takes at most 25 bytes; up to `shortest_room` bytes from `p` may be written over. With
/// `as_float`, a text that would read as an integer ("1", "-0") gets ".0" after it.
///
/// Each part of the text is copied from `digit_places` with the bytes after it, whatever its
/// length, and the next part written over those bytes. Inlined into its callers even though
/// large: as a call of its own, it saved and restored six registers for every double and took
/// some 8% longer.
[[gnu::always_inline]] inline char* write_shortest(char* p, double v,
                                                   bool as_float = false) noexcept {
    // The sign without a branch: a random sign is a branch mispredicted half the time.
    *p = '-';
    p += std::signbit(v);
    if (v == 0) {
        std::memcpy(p, "0.0", 3);
        return p + (as_float ? 3 : 1);
    }
    const decimal_digits d = shortest(std::fabs(v));
    const digit_places places(d.digits);
    const int n = decimal_length(d.digits);
    const char* const digits = places.text + 17 - n;  // n digits, then zeros
    const int e = d.exponent + n - 1;                 // of the first digit
    const int abs_e = e < 0 ? -e : e;
    const int scientific = n + (n > 1 ? 1 : 0) + 2 + (abs_e >= 100 ? 3 : 2);
    const int fixed = e >= 0 ? (n <= e + 1 ? e + 1 : n + 1) : n + 1 - e;
    if (fixed > scientific) {
        // d.ddde+xx; with one digit, the exponent goes over the point.
        p[0] = digits[0];
        p[1] = '.';
        std::memcpy(p + 2, digits + 1, 16);
        return write_exponent(p + n + (n > 1 ? 1 : 0), e);
    }
    if (e < 0) {
        // 0.000ddd: at most four zeros after the point, or scientific would be shorter.
        std::memcpy(p, "0.000000", 8);
        std::memcpy(p + 1 - e, digits, 17);
        return p + 1 - e + n;
    }
    if (n > e + 1) {
        // ddd.ddd: at most 16 digits before the point, then the rest (at most 16) after it.
        std::memcpy(p, digits, 16);
        std::memcpy(p + e + 2, digits + e + 1, 16);
        p[e + 1] = '.';
        return p + n + 1;
    }
    char* end = p + e + 1;
    // Fixed notation shows an integer beyond 2^53 with all its digits, not the shortest followed
    // by zeros.
    if (n < e + 1 && std::fabs(v) >= 0x1p53) {
        end = std::to_chars(p - (v < 0), p + 32, v).ptr;
    } else {
        std::memcpy(p, digits, 17);  // ddd000: the digits, then the zeros after them
    }
    if (as_float) {
        std::memcpy(end, ".0", 2);
        end += 2;
    }
    return end;
}

}  // namespace Sylvane::json_tree::detail
