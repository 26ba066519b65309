#pragma once
// The values of number texts that the reader has already checked for JSON syntax.

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

#include "powers_of_five.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Sylvane::json_tree::detail {

inline bool is_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

/// Of the 8 bytes of `chunk` (little-endian, the first byte lowest), those that are not digits
/// are nonzero in the result; a carry may mark bytes after the first non-digit wrongly, never
/// one before it.
inline std::uint64_t non_digits(std::uint64_t chunk) noexcept {
    // A byte is a digit when its high nibble is 3 and adding 6 does not carry out of its low
    // nibble.
    return ((chunk & 0xF0F0F0F0F0F0F0F0) |
            (((chunk + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ^
           0x3333333333333333;
}

/// The value of 8 digit values (0 to 9) in the bytes of `chunk`, the first the most significant:
/// pairs, then fours, then the eight are combined with three multiplications.
inline std::uint64_t eight_digit_values(std::uint64_t chunk) noexcept {
    chunk = chunk * 10 + (chunk >> 8);
    return (((chunk & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
            (((chunk >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
           32;
}

/// The value of the 8 digits in `chunk`, the first the most significant.
inline std::uint64_t eight_digits_value(std::uint64_t chunk) noexcept {
    return eight_digit_values(chunk - 0x3030303030303030);
}

/// 10^n for n from 0 to 8.
inline constexpr std::uint64_t powers_of_ten_u64[] = {1,      10,      100,      1000,     10000,
                                                      100000, 1000000, 10000000, 100000000};

/// Steps over the digits at `p` (up to `end`), adding them to `m` (modulo 2^64), eight at a
/// time where it can.
[[gnu::always_inline]] inline const char* scan_digits(const char* p, const char* end,
                                                      std::uint64_t& m) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            const std::uint64_t others = non_digits(chunk);
            const int n = others == 0 ? 8 : __builtin_ctzll(others) / 8;
            if (n == 0) return p;
            // The first n bytes go to the top, '0's fill in below them.
            if (n < 8) chunk = (chunk << (64 - 8 * n)) | (0x3030303030303030 >> (8 * n));
            m = m * powers_of_ten_u64[n] + eight_digits_value(chunk);
            p += n;
            if (n < 8) return p;
        }
    }
    for (; p != end && is_digit(*p); ++p) m = m * 10 + static_cast<unsigned>(*p - '0');
    return p;
}

/// Whether a decimal number whose from_chars result is out of range is too large (rather than
/// too small). Out-of-range magnitudes are beyond 1e308 or below 1e-323, so the decimal exponent
/// of the first significant digit tells them apart.
inline bool overflows(const char* digits, const char* end) {
    long long e10 = 0;
    const char* p = digits;
    const char* int_end = p;
    while (int_end != end && is_digit(*int_end)) ++int_end;
    if (int_end - p > 1 || *p != '0') {
        e10 = int_end - p - 1;
    } else if (int_end != end && *int_end == '.') {
        const char* f = int_end + 1;
        while (f != end && *f == '0') ++f;
        e10 = -(f - int_end);
    }
    p = std::find_if(int_end, end, [](char c) { return c == 'e' || c == 'E'; });
    if (p != end) {
        ++p;
        const bool neg = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        long long e = 0;
        for (; p != end && e < 1'000'000'000; ++p) e = e * 10 + (*p - '0');
        e10 += neg ? -e : e;
    }
    return e10 > 0;
}

/// A decimal number as `significand * 10^exponent`, when its significant digits fit 19.
struct decimal {
    std::uint64_t significand = 0;
    long exponent = 0;
};

/// The significand and exponent of the number whose integer part is `[digits, int_end)`,
/// fraction `[int_end + 1, frac_end)` (none when `int_end == frac_end`) and exponent digits
/// `[exp_start, end)` with their sign (none when `exp_start == end`); `scanned` is the value of
/// all its digits modulo 2^64, which the reader finds as it scans them. False when it has more
/// than 19 significant digits or an exponent of more than 5 digits, which the general parse
/// takes.
inline bool split_decimal(const char* digits, const char* int_end, const char* frac_end,
                          const char* exp_start, const char* end, std::uint64_t scanned,
                          decimal& out) noexcept {
    const char* frac = int_end == frac_end ? frac_end : int_end + 1;
    const auto add = [](std::uint64_t m, char c) {
        return m * 10 + static_cast<unsigned>(c - '0');
    };
    std::uint64_t m = scanned;
    if ((int_end - digits) + (frac_end - frac) <= 19) {
        // `scanned` is exact.
    } else if (*digits == '0') {
        // Leading zeros are not significant: "0.000123" has three significant digits.
        const char* f = frac;
        while (f != frac_end && *f == '0') ++f;
        if (frac_end - f > 19) return false;
        for (m = 0; f != frac_end; ++f) m = add(m, *f);
    } else {
        return false;
    }
    long e = 0;
    if (exp_start != end) {
        const char* d = exp_start;
        const bool minus = *d == '-';
        if (*d == '-' || *d == '+') ++d;
        if (end - d > 5) return false;
        for (; d != end; ++d) e = e * 10 + (*d - '0');
        if (minus) e = -e;
    }
    out = {m, e - (frac_end - frac)};
    return true;
}

/// `m * 10^e` when both are exact doubles (`m` at most 2^53, `e` at most 22 in size): one
/// multiplication or division then rounds correctly.
inline bool exact_double(std::uint64_t m, long e, bool negative, double& out) noexcept {
#if FLT_EVAL_METHOD == 0
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (m > (std::uint64_t{1} << 53) || e < -22 || e > 22) return false;
    double v = static_cast<double>(m);
    v = e < 0 ? v / powers[-e] : v * powers[e];
    // The sign without a branch: `v` is not negative.
    out = std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) |
                                static_cast<std::uint64_t>(negative) << 63);
    return true;
#else
    (void)m, (void)e, (void)negative, (void)out;
    return false;  // intermediate precision would round twice
#endif
}

/// `m * 10^e` correctly rounded (`m` exact, of at most 19 digits) by the method of Eisel and
/// Lemire: `m` times a 128-bit approximation of 5^e gives the 53 bits of the double and the bits
/// below them; when those cannot tell which way to round (a product too close to a halfway
/// point), or the result is subnormal or beyond the largest double, false leaves the number to
/// the general parse.
[[gnu::always_inline]] inline bool eisel_lemire(std::uint64_t m, long e, bool negative,
                                                double& out) noexcept {
    __extension__ using u128 = unsigned __int128;
    if (m == 0) {
        out = negative ? -0.0 : 0.0;
        return true;
    }
    if (e < smallest_power_of_five || e > largest_power_of_five) return false;
    const int lz = __builtin_clzll(m);
    m <<= lz;
    const std::uint64_t* five = powers_of_five[e - smallest_power_of_five];
    const u128 first = static_cast<u128>(m) * five[0];
    auto hi = static_cast<std::uint64_t>(first >> 64);
    auto lo = static_cast<std::uint64_t>(first);
    // The 9 bits below the 55 kept are all ones: the low word of 5^e may carry into them.
    if ((hi & 0x1FF) == 0x1FF) {
        const auto second = static_cast<std::uint64_t>((static_cast<u128>(m) * five[1]) >> 64);
        lo += second;
        if (lo < second) ++hi;
    }
    if (lo == ~std::uint64_t{0}) return false;  // the truncated product may be one short
    const int upper = static_cast<int>(hi >> 63);
    std::uint64_t mantissa = hi >> (upper + 9);
    // floor(e * log2(10)) + 63, the binary exponent of the product, biased.
    long power2 = ((217706 * e) >> 16) + 63 + upper - lz + 1023;
    if (power2 <= 0) return false;
    // A product exactly halfway between two doubles (possible only for small exponents) rounds
    // to even, not up.
    if (lo <= 1 && e >= -4 && e <= 23 && (mantissa & 3) == 1 && (mantissa << (upper + 9)) == hi)
        mantissa &= ~std::uint64_t{1};
    mantissa += mantissa & 1;
    mantissa >>= 1;
    if (mantissa >= (std::uint64_t{2} << 52)) {
        mantissa = std::uint64_t{1} << 52;
        ++power2;
    }
    if (power2 >= 0x7FF) return false;
    const std::uint64_t bits = (mantissa & ~(std::uint64_t{1} << 52)) |
                               (static_cast<std::uint64_t>(power2) << 52) |
                               (static_cast<std::uint64_t>(negative) << 63);
    out = std::bit_cast<double>(bits);
    return true;
}

/// `eisel_lemire` out of line, for the general parse: it keeps its callers small.
[[gnu::noinline]] inline bool outlined_eisel_lemire(std::uint64_t m, long e, bool negative,
                                                    double& out) noexcept {
    return eisel_lemire(m, e, negative, out);
}

/// `m * 10^e` correctly rounded, for the usual decimal whose `m` holds all its digits exactly
/// (at most 19 of them): false when neither short path applies, leaving it to `decimal_value`.
[[gnu::always_inline]] inline bool short_decimal(std::uint64_t m, long e, bool negative,
                                                 double& out) noexcept {
    return exact_double(m, e, negative, out) || outlined_eisel_lemire(m, e, negative, out);
}

/// The correctly rounded double of the number text `[start, end)` (sign at `start`, digits from
/// `digits`; the parts and `scanned` as for `split_decimal`). False when its magnitude is beyond
/// the largest double; one below the smallest reads as zero of its sign.
inline bool decimal_value(const char* start, const char* digits, const char* int_end,
                          const char* frac_end, const char* exp_start, const char* end,
                          bool negative, std::uint64_t scanned, double& out) {
    decimal d;
    if (split_decimal(digits, int_end, frac_end, exp_start, end, scanned, d) &&
        (exact_double(d.significand, d.exponent, negative, out) ||
         outlined_eisel_lemire(d.significand, d.exponent, negative, out)))
        return true;
    const auto r = std::from_chars(start, end, out);
    if (r.ec == std::errc::result_out_of_range) {
        if (overflows(digits, end)) return false;
        out = negative ? -0.0 : 0.0;
    }
    return true;
}

/// What `quick_number` read.
enum class quick_kind : unsigned char { none, integer, decimal };

#if defined(__SSE2__)
static_assert(std::endian::native == std::endian::little);

/// The value of the `n` digits at `p`, from 1 to 8 of them; the 8 bytes at `p` must be readable.
[[gnu::always_inline]] inline std::uint64_t short_digits_value(const char* p, int n) noexcept {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    // A byte below '0' after the digits borrows from the bytes after it only, which the shift
    // drops; the digits move to the top, zeros fill in below them.
    return eight_digit_values((chunk - 0x3030303030303030) << (64 - 8 * n));
}

/// The 16 bytes at `p` less '0' each: the digits become the bytes 0 to 9.
inline __m128i digit_values16(const char* p) noexcept {
    return _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
}

/// Bit k set where byte k of `v` (from `digit_values16`) was a digit: the bytes that the
/// unsigned minimum with 9 leaves unchanged.
inline std::uint32_t digit_bits(__m128i v) noexcept {
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(9)), v)));
}

/// The 16 bytes at `leading_bytes + 16 - n` are n bytes of ones, then zeros.
inline constexpr unsigned char leading_bytes[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

/// The first `n` bytes (0 to 16) all ones, the others zero.
inline __m128i first_bytes(int n) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(leading_bytes + 16 - n));
}

/// The value of the 16 digit values (0 to 9) in the bytes of `v`, the first the most
/// significant: pairs, fours and eights are combined in the vector lanes.
inline std::uint64_t sixteen_digit_values(__m128i v) noexcept {
    const __m128i pairs =
        _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10)),
                      _mm_srli_epi16(v, 8));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(100 | 1 << 16));
    const __m128i eights =
        _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(10000 | 1 << 16));
    const auto both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
    return (both & 0xFFFFFFFF) * 100000000 + (both >> 32);
}

/// The value of the first `n` digits (1 to 3) of the 3 at `p`, the others taken as zeros; the 4
/// bytes at `p` must be readable.
inline std::uint32_t three_digits_value(const char* p, int n) noexcept {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    // A borrow from a byte after the digits reaches only bytes that the mask drops.
    w = (w - 0x30303030) & ((1u << 8 * n) - 1);
    return (w & 0xFF) * 100 + (w >> 8 & 0xFF) * 10 + (w >> 16);
}

/// Reads an integer of up to 7 digits at `p` (after any sign), the usual id or count, from the
/// 8 bytes there in general registers, quicker than the vector compares of `quick_number`; false
/// leaves any other text as it was. A byte is a digit where its high nibble is 3 and its low one
/// is below 10 (no carry crosses bytes); the first that is not one ends the digits.
[[gnu::always_inline]] inline bool short_integer(const char*& p, bool negative,
                                                 std::int64_t& i) noexcept {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    const std::uint64_t other =
        ((chunk & 0xF0F0F0F0F0F0F0F0) ^ 0x3030303030303030) |
        (((chunk & 0x0F0F0F0F0F0F0F0F) + 0x0606060606060606) & 0x1010101010101010);
    // Bit 7 of each byte set where the byte is not a digit.
    const std::uint64_t stops =
        (((other & 0x7F7F7F7F7F7F7F7F) + 0x7F7F7F7F7F7F7F7F) | other) & 0x8080808080808080;
    if (stops == 0) return false;  // 8 digits or more
    const int n = __builtin_ctzll(stops) / 8;
    const char after = p[n];
    // No digit (not a number), a leading zero (an error), or a fraction or an exponent.
    if (n == 0 || (n > 1 && *p == '0') || after == '.' || (after | 0x20) == 'e') return false;
    const std::uint64_t whole = short_digits_value(p, n);
    i = negative ? static_cast<std::int64_t>(0 - whole) : static_cast<std::int64_t>(whole);
    p += n;
    return true;
}

/// Reads the usual number at once, from the 32 bytes at `p` (its digits, after any sign): an
/// integer that fits an Int, or up to 16 integer digits, a point and a fraction (19 digits in
/// all at most), ended within those bytes by a byte that starts no exponent. On success `p` steps
/// past it, and `i` (an integer) or `d` (a decimal) holds its value. `none` leaves
/// everything else, including every text that is not a number, to the general parse; so does a
/// text with fewer than 32 bytes at `p`. `short_ints` is the reader's count of integers of up to
/// 7 digits read in a row (at most 2), kept up to date here.
[[gnu::always_inline]] inline quick_kind quick_number(const char*& p, const char* end,
                                                      bool negative, std::int64_t& i, double& d,
                                                      unsigned char& short_ints) noexcept {
    if (end - p < 32) return quick_kind::none;
    // Tried first after two short integers in a row, as in an array of them; where they mix
    // with other numbers (a record's id beside its score), the vector compares alone.
    if (short_ints >= 2) {
        if (short_integer(p, negative, i)) return quick_kind::integer;
        short_ints = 0;
    }
    const __m128i first = digit_values16(p);
    std::uint32_t others = ~(digit_bits(first) | digit_bits(digit_values16(p + 16)) << 16);
    // The top bit stands for the rest of the text: 31 digits or more are too many anyway.
    const int whole_digits = __builtin_ctz(others | 1u << 31);
    // No digit first (not a number) or a leading zero (an error).
    if (whole_digits == 0 || (*p == '0' && whole_digits > 1)) return quick_kind::none;
    const char* after = p + whole_digits;
    if (*after != '.') {
        if (whole_digits > 19 || (*after | 0x20) == 'e') return quick_kind::none;
        // Eight digits at a time in general registers: on documents of many integers this
        // measured faster than the vector lanes.
        std::uint64_t whole = 0;
        if (whole_digits <= 8) {
            whole = short_digits_value(p, whole_digits);
        } else if (whole_digits <= 16) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            whole = eight_digits_value(chunk) * powers_of_ten_u64[whole_digits - 8] +
                    short_digits_value(p + 8, whole_digits - 8);
        } else {
            // At most 19 digits: below 10^19, within 64 bits, but maybe not within an Int.
            whole = sixteen_digit_values(first) * powers_of_ten_u64[whole_digits - 16] +
                    short_digits_value(p + 16, whole_digits - 16);
            constexpr std::uint64_t max = std::numeric_limits<std::int64_t>::max();
            if (whole > max + (negative ? 1 : 0)) return quick_kind::none;
        }
        i = negative ? static_cast<std::int64_t>(0 - whole) : static_cast<std::int64_t>(whole);
        p = after;
        short_ints = whole_digits < 8 ? static_cast<unsigned char>(short_ints + 1) : 0;
        return quick_kind::integer;
    }
    short_ints = 0;
    if (whole_digits > 16) return quick_kind::none;
    others &= others - 1;  // past the point
    const int stop = __builtin_ctz(others | 1u << 31);
    const int fraction_digits = stop - whole_digits - 1;
    const int digits = stop - 1;
    if (fraction_digits == 0 || digits > 19 || (p[stop] | 0x20) == 'e') return quick_kind::none;
    // The significand of 16 or 19 digits, zeros in place of missing ones, so that the integer
    // part alone tells its exponent. Its first 16 digits are the bytes before the point from
    // `p`, the others from `p + 1`.
    const __m128i before = first_bytes(whole_digits);
    const __m128i merged =
        _mm_or_si128(_mm_and_si128(before, first), _mm_andnot_si128(before, digit_values16(p + 1)));
    std::uint64_t m =
        sixteen_digit_values(_mm_and_si128(merged, first_bytes(std::min(digits, 16))));
    long exponent = whole_digits - 16;
    if (digits > 16) {
        // The digits after the first 16 are all in the fraction.
        m = m * 1000 + three_digits_value(p + 17, digits - 16);
        exponent -= 3;
    }
    if (!exact_double(m, exponent, negative, d) && !eisel_lemire(m, exponent, negative, d))
        return quick_kind::none;
    p += stop;
    return quick_kind::decimal;
}

#else
inline quick_kind quick_number(const char*&, const char*, bool, std::int64_t&, double&,
                               unsigned char&) noexcept {
    return quick_kind::none;  // the general parse reads every number
}
#endif

}  // namespace Sylvane::json_tree::detail
