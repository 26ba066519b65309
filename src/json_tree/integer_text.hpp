#pragma once
// The decimal text of 64-bit integers, its digits found four at a time without a loop; not part
// of the API.

#include <charconv>
#include <cstdint>

#include "shortest_double.hpp"

namespace Sylvane::json_tree::detail {

/// Writes the `n` (1 to 16) last decimal digits of `x`, below 10^16, at `p`; returns the end.
/// The four groups of four digits are divided off `x` independently and split into digits in
/// two words at once; the leading zeros are shifted out in registers, so the 16 bytes stored
/// from `p` are the text followed by whatever the shift brought in.
inline char* write_last_digits(char* p, std::uint64_t x, int n) noexcept {
    constexpr std::uint64_t zeros = 0x3030'3030'3030'3030;  // '0' in every byte
    const std::uint64_t q1 = x / 10'000, q2 = x / 100'000'000, q3 = x / 1'000'000'000'000;
    const std::uint64_t g0 = x - q1 * 10'000, g1 = q1 - q2 * 10'000, g2 = q2 - q3 * 10'000;
    const u128 places = (static_cast<u128>(digits_of_fours(g1 | (g0 << 32)) + zeros) << 64) |
                        (digits_of_fours(q3 | (g2 << 32)) + zeros);  // the first place lowest
    const u128 text = places >> (8 * (16 - n));
    store_low_first(p, static_cast<std::uint64_t>(text));
    store_low_first(p + 8, static_cast<std::uint64_t>(text >> 64));
    return p + n;
}

/// Writes `u`, at least 10^8, in decimal at `p` and returns the end.
inline char* write_many_digits(char* p, std::uint64_t u) noexcept {
    constexpr std::uint64_t ten_to_16 = 10'000'000'000'000'000;
    if (u >= ten_to_16) [[unlikely]] {
        const std::uint64_t high = u / ten_to_16;  // below 1845
        p = write_last_digits(p, high, decimal_length(high));
        return write_last_digits(p, u - high * ten_to_16, 16);
    }
    return write_last_digits(p, u, decimal_length(u));
}

// Numbers of nine digits and more (ids, timestamps) are written in a fraction of
// std::to_chars's time, whose loop divides by 100 once for every two digits, each division
// waiting on the one before; for fewer digits those few divisions are quicker than the groups'
// products, and std::to_chars writes them.

/// Writes `u` in decimal at `p` and returns the end, as std::to_chars does; up to 21 bytes from
/// `p` may be written over.
inline char* write_unsigned(char* p, std::uint64_t u) noexcept {
    if (u < 100'000'000) return std::to_chars(p, p + 20, u).ptr;
    return write_many_digits(p, u);
}

/// Writes `v` in decimal at `p` and returns the end, as std::to_chars does; up to 22 bytes from
/// `p` may be written over.
inline char* write_integer(char* p, std::int64_t v) noexcept {
    // From -10^8 to 10^8 exclusive, in one compare.
    if (static_cast<std::uint64_t>(v) + 99'999'999 < 199'999'999)
        return std::to_chars(p, p + 20, v).ptr;
    *p = '-';
    p += v < 0 ? 1 : 0;
    const auto u = static_cast<std::uint64_t>(v);
    return write_many_digits(p, v < 0 ? 0 - u : u);
}

}  // namespace Sylvane::json_tree::detail
