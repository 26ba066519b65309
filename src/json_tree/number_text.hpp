#pragma once
// The values of number texts that the reader has already checked for JSON syntax.

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace Sylvane::json_tree::detail {

inline bool is_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

/// The value of the integer `[digits, end)` (at least one digit, no sign), negated when
/// `negative`, if it fits `std::int64_t`.
inline bool integer_value(const char* digits, const char* end, bool negative,
                          std::int64_t& out) noexcept {
    // Exact while it fits 64 bits; more than 20 digits never fit.
    std::uint64_t u = 0;
    bool fits = end - digits <= 20;
    for (const char* d = digits; fits && d != end; ++d)
        fits = !__builtin_mul_overflow(u, 10u, &u) &&
               !__builtin_add_overflow(u, static_cast<unsigned>(*d - '0'), &u);
    constexpr std::uint64_t max = std::numeric_limits<std::int64_t>::max();
    if (!fits || u > max + (negative ? 1 : 0)) return false;
    out = negative ? static_cast<std::int64_t>(0 - u) : static_cast<std::int64_t>(u);
    return true;
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

/// The double of a decimal number whose digits (integer part `[digits, int_end)`, fraction
/// `[int_end + 1, frac_end)`) fit 53 bits and whose power of ten is at most 22 in size: both are
/// exact doubles, so one multiplication or division rounds correctly. Exponent digits are at
/// `[exp_start, end)` (with their sign), or none when `exp_start == end`. False when the
/// number is outside that range and needs the general parse.
inline bool exact_double(const char* digits, const char* int_end, const char* frac_end,
                         const char* exp_start, const char* end, bool negative,
                         double& out) noexcept {
#if FLT_EVAL_METHOD == 0
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* frac = int_end == frac_end ? frac_end : int_end + 1;
    if ((int_end - digits) + (frac_end - frac) > 19) return false;
    std::uint64_t m = 0;
    for (const char* d = digits; d != int_end; ++d) m = m * 10 + static_cast<unsigned>(*d - '0');
    for (const char* d = frac; d != frac_end; ++d) m = m * 10 + static_cast<unsigned>(*d - '0');
    if (m > (std::uint64_t{1} << 53)) return false;
    long e = 0;
    if (exp_start != end) {
        const char* d = exp_start;
        const bool minus = *d == '-';
        if (*d == '-' || *d == '+') ++d;
        if (end - d > 3) return false;
        for (; d != end; ++d) e = e * 10 + (*d - '0');
        if (minus) e = -e;
    }
    e -= frac_end - frac;
    if (e < -22 || e > 22) return false;
    double v = static_cast<double>(m);
    v = e < 0 ? v / powers[-e] : v * powers[e];
    out = negative ? -v : v;
    return true;
#else
    (void)digits, (void)int_end, (void)frac_end, (void)exp_start, (void)end, (void)negative,
        (void)out;
    return false;  // intermediate precision would round twice
#endif
}

/// The correctly rounded double of the number text `[start, end)` (sign at `start`, digits from
/// `digits`; the parts as for `exact_double`). False when its magnitude is beyond the largest
/// double; one below the smallest reads as zero of its sign.
inline bool decimal_value(const char* start, const char* digits, const char* int_end,
                          const char* frac_end, const char* exp_start, const char* end,
                          bool negative, double& out) {
    if (exact_double(digits, int_end, frac_end, exp_start, end, negative, out)) return true;
    const auto r = std::from_chars(start, end, out);
    if (r.ec == std::errc::result_out_of_range) {
        if (overflows(digits, end)) return false;
        out = negative ? -0.0 : 0.0;
    }
    return true;
}

}  // namespace Sylvane::json_tree::detail
