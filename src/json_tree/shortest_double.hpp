#pragma once
// The shortest decimal digits that read back to a double, by Giulietti's Schubfach method, and
// their text as std::to_chars writes it; not part of the API.

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

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

/// `g * cp / 2^127` for the 126-bit `g` of the table (two 63-bit halves), rounded to odd: the
/// lowest bit is set when anything below it was cut off.
inline std::uint64_t round_to_odd(const std::uint64_t* g, std::uint64_t cp) noexcept {
    __extension__ using u128 = unsigned __int128;
    const auto x1 = static_cast<std::uint64_t>((static_cast<u128>(g[1]) * cp) >> 64);
    const u128 y = static_cast<u128>(g[0]) * cp;
    const auto y0 = static_cast<std::uint64_t>(y);
    const auto y1 = static_cast<std::uint64_t>(y >> 64);
    const std::uint64_t z = (y0 >> 1) + x1;
    constexpr std::uint64_t low63 = (std::uint64_t{1} << 63) - 1;
    return (y1 + (z >> 63)) | (((z & low63) + low63) >> 63);
}

/// The shortest digits of the normal double `c * 2^q` among the decimals that round to it; of
/// two equally short, the nearer, and of two equally near, the even. (A subnormal's rounding
/// interval is relatively wider, and may hold a decimal shorter by more than the one digit this
/// tries.)
inline decimal_digits shortest(int q, std::uint64_t c) noexcept {
    constexpr std::uint64_t c_min = std::uint64_t{1} << 52;
    constexpr int q_min = -1074;
    const std::uint64_t out = c & 1;  // an even significand keeps its bounds
    const std::uint64_t cb = c << 2;
    const std::uint64_t cbr = cb + 2;
    std::uint64_t cbl;
    int k;
    if (c != c_min || q == q_min) {
        cbl = cb - 2;
        k = floor_log10_pow2(q);
    } else {  // the gap below a power of two is half the gap above it
        cbl = cb - 1;
        k = floor_log10_three_quarters_pow2(q);
    }
    const int h = q + floor_log2_pow10(-k) + 2;
    const std::uint64_t* g = powers_of_ten[k - smallest_power_of_ten];
    const std::uint64_t vb = round_to_odd(g, cb << h);
    const std::uint64_t vbl = round_to_odd(g, cbl << h);
    const std::uint64_t vbr = round_to_odd(g, cbr << h);
    const std::uint64_t s = vb >> 2;
    if (s >= 100) {
        // One digit fewer: the multiple of ten below s, or the one above, if just one is in range.
        const std::uint64_t sp10 = s / 10 * 10;
        const std::uint64_t tp10 = sp10 + 10;
        const bool upin = vbl + out <= sp10 << 2;
        const bool wpin = (tp10 << 2) + out <= vbr;
        if (upin != wpin) return {upin ? sp10 : tp10, k};
    }
    const std::uint64_t t = s + 1;
    const bool uin = vbl + out <= s << 2;
    const bool win = (t << 2) + out <= vbr;
    if (uin != win) return {uin ? s : t, k};
    const auto cmp = static_cast<std::int64_t>(vb - ((s + t) << 1));
    return {cmp < 0 || (cmp == 0 && (s & 1) == 0) ? s : t, k};
}

/// The shortest digits of the positive normal double `v`, without trailing zeros.
inline decimal_digits shortest(double v) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t c = (std::uint64_t{1} << 52) | (bits & ((std::uint64_t{1} << 52) - 1));
    const int q = static_cast<int>(bits >> 52) - 1075;
    decimal_digits d;
    if (q < 0 && q > -53 && (c >> -q) << -q == c) {
        d = {c >> -q, 0};  // an integer: its own digits
    } else {
        d = shortest(q, c);
    }
    // Trailing zeros, up to 16 of them: eight at a time, then four, two and one, rather than a
    // chain of up to 16 dependent divisions. Most digits of a double end in another digit, and
    // one test passes them.
    if (d.digits % 10 == 0) [[unlikely]] {
        while (d.digits % 100'000'000 == 0) {
            d.digits /= 100'000'000;
            d.exponent += 8;
        }
        for (const auto& [power, n] :
             {std::pair<std::uint64_t, int>{10'000, 4}, {100, 2}, {10, 1}}) {
            if (d.digits % power == 0) {
                d.digits /= power;
                d.exponent += n;
            }
        }
    }
    return d;
}

/// Two decimal digits for each number below 100.
inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/// The number of decimal digits of `x` (at least 1), without a loop: from its bit width, and one
/// compare.
inline int decimal_length(std::uint64_t x) noexcept {
    static constexpr std::uint64_t powers[] = {1,
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

/// Writes the decimal digits of `x` (at least 1) to end at `end`, two at a time from
/// `digit_pairs`; returns where they start.
inline char* digits_before(char* end, std::uint64_t x) noexcept {
    const auto pair = [&](std::uint32_t two) {
        end -= 2;
        std::memcpy(end, digit_pairs + 2 * two, 2);
    };
    // Four digits as two pairs; eight as two fours. The halves' divisions (multiplications by
    // constants) do not wait on each other, where one chain of divisions by 100 would.
    const auto four = [&](std::uint32_t digits) {
        pair(digits % 100);
        pair(digits / 100);
    };
    while (x >= 100'000'000) {
        const auto block = static_cast<std::uint32_t>(x % 100'000'000);
        x /= 100'000'000;
        four(block % 10'000);
        four(block / 10'000);
    }
    auto y = static_cast<std::uint32_t>(x);  // at most 8 digits
    if (y >= 10'000) {
        four(y % 10'000);
        y /= 10'000;
    }
    if (y >= 100) {
        pair(y % 100);
        y /= 100;
    }
    if (y >= 10) {
        pair(y);
    } else {
        *--end = static_cast<char>('0' + y);
    }
    return end;
}

inline constexpr std::size_t shortest_room = 40;

/// The eight decimal digits of `y` (below 10^8, leading zeros included) as the bytes of a
/// word in text order, on a little-endian machine: halves, quarters and single digits split
/// off in all lanes at once, each division a multiplication and a shift.
inline std::uint64_t eight_digits(std::uint32_t y) noexcept {
    const std::uint64_t fours = (std::uint64_t{y} * 109'951'163) >> 40;  // y / 10^4
    std::uint64_t lanes = fours | ((y - fours * 10'000) << 32);
    const std::uint64_t twos = ((lanes * 10'486) >> 20) & 0x0000'007F'0000'007F;  // / 100
    lanes = twos | ((lanes - twos * 100) << 16);
    const std::uint64_t ones = ((lanes * 103) >> 10) & 0x000F'000F'000F'000F;  // / 10
    lanes = ones | ((lanes - ones * 10) << 8);
    return lanes + 0x3030'3030'3030'3030;
}

/// Writes the `n` decimal digits of `x` (`n` from `decimal_length`, at most 17) at `p`; up to 17
/// bytes from `p` are written over.
inline void write_digits(char* p, std::uint64_t x, int n) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        // All 17 places, zeros in front, then the last `n` of them moved to `p` at once.
        char places[40];  // beyond the 17 places: copied, never shown
        const std::uint64_t high = x / 100'000'000;
        const auto middle = eight_digits(static_cast<std::uint32_t>(high % 100'000'000));
        const auto low = eight_digits(static_cast<std::uint32_t>(x % 100'000'000));
        places[0] = static_cast<char>('0' + high / 100'000'000);
        std::memcpy(places + 1, &middle, 8);
        std::memcpy(places + 9, &low, 8);
        std::memcpy(p, places + 17 - n, 17);
    } else {
        digits_before(p + n, x);
    }
}

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
/// The digits are written once, where they stay but for a few: the first digit is moved one
/// place left, or the fraction one place right, to make room for the point.
inline char* write_shortest(char* p, double v, bool as_float = false) noexcept {
    if (std::signbit(v)) *p++ = '-';
    if (v == 0) {
        std::memcpy(p, "0.0", 3);
        return p + (as_float ? 3 : 1);
    }
    if (std::fabs(v) < 0x1p-1022) return std::to_chars(p - (v < 0), p + 32, v).ptr;  // subnormal
    const decimal_digits d = shortest(std::fabs(v));
    const int n = decimal_length(d.digits);
    const int e = d.exponent + n - 1;  // of the first digit
    const int abs_e = e < 0 ? -e : e;
    const int scientific = n + (n > 1 ? 1 : 0) + 2 + (abs_e >= 100 ? 3 : 2);
    const int fixed = e >= 0 ? (n <= e + 1 ? e + 1 : n + 1) : n + 1 - e;
    if (fixed > scientific) {
        // d.ddd: the digits from p + 1, then the first moved before the point.
        write_digits(p + 1, d.digits, n);
        p[0] = p[1];
        if (n == 1) return write_exponent(p + 1, e);
        p[1] = '.';
        return write_exponent(p + 1 + n, e);
    }
    if (e < 0) {
        // 0.000ddd: at most four zeros after the point, or scientific would be shorter.
        std::memcpy(p, "0.000000", 8);
        write_digits(p + 1 - e, d.digits, n);
        return p + 1 - e + n;
    }
    if (n > e + 1) {
        // ddd.ddd: the digits, then the fraction (at most 16 digits) moved one place right,
        // with 16 bytes copied whatever its length.
        write_digits(p, d.digits, n);
        char fraction[16];
        std::memcpy(fraction, p + e + 1, 16);
        std::memcpy(p + e + 2, fraction, 16);
        p[e + 1] = '.';
        return p + n + 1;
    }
    char* end = p + e + 1;
    // Fixed notation shows an integer beyond 2^53 with all its digits, not the shortest followed
    // by zeros.
    if (n < e + 1 && std::fabs(v) >= 0x1p53) {
        end = std::to_chars(p - (v < 0), p + 32, v).ptr;
    } else {
        write_digits(p, d.digits, n);
        std::memset(p + n, '0', static_cast<std::size_t>(e + 1 - n));
    }
    if (as_float) {
        std::memcpy(end, ".0", 2);
        end += 2;
    }
    return end;
}

}  // namespace Sylvane::json_tree::detail
