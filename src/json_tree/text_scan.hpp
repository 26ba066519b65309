#pragma once
// Byte scanning shared by the reader and the writer; not part of the API.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Sylvane::json_tree::detail {

/// High bit set in every byte of `w` that a string scan stops at: a quote, a backslash, a control
/// byte and, with `NonAscii`, a byte of 0x80 or above. Borrows can flag bytes above a true hit,
/// never below, so the lowest flag is exact.
template <bool NonAscii>
inline std::uint64_t string_stops(std::uint64_t w) noexcept {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t high = 0x8080808080808080u;
    const std::uint64_t q = w ^ (ones * '"');
    const std::uint64_t b = w ^ (ones * '\\');
    std::uint64_t m = ((q - ones) & ~q) | ((b - ones) & ~b) | ((w - ones * 0x20) & ~w);
    if constexpr (NonAscii) m |= w;
    return m & high;
}

#if defined(__SSE2__)
/// Bit k set where byte k of the 16 at `p` stops a string scan, as in `string_stops`.
template <bool NonAscii>
inline unsigned string_stops16(const char* p) noexcept {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Signed, bytes of 0x80 and above are below 0x20 too; unsigned, max(v, 0x1F) == 0x1F finds
    // the control bytes alone.
    const __m128i low =
        NonAscii ? _mm_cmplt_epi8(v, _mm_set1_epi8(0x20))
                 : _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
        low);
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

/// Advances `p` to the first byte at which a string scan stops, or to `end`.
template <bool NonAscii>
inline const char* scan_plain(const char* p, const char* end) noexcept {
#if defined(__SSE2__)
    while (end - p >= 16) {
        if (const unsigned m = string_stops16<NonAscii>(p)) return p + std::countr_zero(m);
        p += 16;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            if (const std::uint64_t m = string_stops<NonAscii>(w))
                return p + std::countr_zero(m) / 8;
            p += 8;
        }
        // The last bytes, gathered without a loop into a word padded with zero bytes, which
        // stop the scan as control bytes do: the first stop is a true one or the end.
        const auto r = static_cast<std::size_t>(end - p);
        if (r == 0) return end;
        std::uint64_t w;
        if (r >= 4) {
            std::uint32_t lo, hi;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, end - 4, 4);
            w = lo | std::uint64_t{hi} << (8 * (r - 4));
        } else {
            const auto byte = [&](std::size_t i) {
                return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
            };
            w = byte(0) | byte(r / 2) | byte(r - 1);
        }
        return p + std::countr_zero(string_stops<NonAscii>(w)) / 8;
    }
    for (; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\' || c < 0x20 || (NonAscii && c >= 0x80)) return p;
    }
    return p;
}

/// As `scan_plain<true>`, with its first 16 bytes inline: most strings of JSON text end there.
[[gnu::always_inline]] inline const char* scan_plain_short(const char* p,
                                                           const char* end) noexcept {
#if defined(__SSE2__)
    if (end - p >= 16) {
        if (const unsigned m = string_stops16<true>(p)) return p + std::countr_zero(m);
        p += 16;
    }
#endif
    return scan_plain<true>(p, end);
}

inline bool is_blank(char c) noexcept {
    constexpr std::uint64_t one = 1;
    constexpr std::uint64_t blanks = one << ' ' | one << '\n' | one << '\r' | one << '\t';
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && (blanks >> u & 1) != 0;
}

#if defined(__SSE2__)
/// How many of the 32 bytes at `p` equal `byte` (the same in every lane) before the first that
/// does not: 32 when all do.
[[gnu::always_inline]] inline int leading_run32(const char* p, __m128i byte) noexcept {
    const auto lo = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), byte)));
    const auto hi = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), byte)));
    return std::countr_one(lo | hi << 16);
}

/// Whether a line whose first `n` bytes were the text's indentation byte, followed by `next`,
/// is indented with the other of space and tab: the text's next lines likely are too, so the
/// caller takes that byte as the text's.
[[gnu::always_inline]] inline bool indented_with_other_byte(int n, char next) noexcept {
    return n == 0 && (next == '\t' || next == ' ');
}

/// How many of the 32 bytes at `p` are spaces before the first that is not one.
[[gnu::always_inline]] inline int leading_spaces32(const char* p) noexcept {
    return leading_run32(p, _mm_set1_epi8(' '));
}
#endif

/// Advances `p` over JSON whitespace (space, line feed, carriage return, tab) to the first other
/// byte or to `end`. With `Lines`, calls `line(q)` with the address `q` after every line feed it
/// steps over, in order.
template <bool Lines, class F>
[[gnu::always_inline]] inline const char* skip_blanks_with(const char* p, const char* end, F line) {
    // A line feed first, as before each line's indentation: the spaces after it are found by
    // the first loop below.
    if (p != end && *p == '\n') {
        ++p;
        if constexpr (Lines) line(p);
    }
#if defined(__SSE2__)
    // Indentation after a line feed is usually spaces: the first byte that is not one is found
    // 32 bytes at a time, and only it is checked for the other blanks.
    while (end - p >= 32) {
        const int spaces = leading_spaces32(p);
        p += spaces;
        if (spaces == 32) continue;
        if (!is_blank(*p)) return p;
        break;  // a line feed, carriage return or tab: any mix of blanks is taken below
    }
    const __m128i space = _mm_set1_epi8(' ');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i lf = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
        const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, space), lf),
                                           _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                                        _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))));
        const auto others = static_cast<unsigned>(~_mm_movemask_epi8(blank)) & 0xFFFFu;
        if constexpr (Lines) {
            auto feeds = static_cast<unsigned>(_mm_movemask_epi8(lf));
            if (others != 0) feeds &= (others & (0u - others)) - 1;  // those before the first other
            for (; feeds != 0; feeds &= feeds - 1) line(p + std::countr_zero(feeds) + 1);
        }
        if (others != 0) return p + std::countr_zero(others);
        p += 16;
    }
#endif
    for (; p != end && is_blank(*p); ++p)
        if (Lines && *p == '\n') line(p + 1);
    return p;
}

/// Advances `p` over JSON whitespace to the first other byte or to `end`; runs of indentation 32
/// bytes at a time.
inline const char* skip_blanks(const char* p, const char* end) noexcept {
    return skip_blanks_with<false>(p, end, [](const char*) {});
}

/// As `skip_blanks`, also calling `line(q)` with the address `q` after every line feed it steps
/// over, in order.
template <class F>
[[gnu::always_inline]] inline const char* skip_blanks_lines(const char* p, const char* end,
                                                            F line) {
    return skip_blanks_with<true>(p, end, line);
}

/// Calls `f` with the offset after every line feed in `[begin, end)`, in order: 16 bytes at a
/// time, so that short lines cost no call each.
template <class F>
inline void each_line_start(const char* begin, const char* end, F f) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        for (auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))); m != 0;
             m &= m - 1)
            f(static_cast<std::size_t>(p - begin) + static_cast<std::size_t>(std::countr_zero(m)) +
              1);
    }
#endif
    for (; p != end; ++p)
        if (*p == '\n') f(static_cast<std::size_t>(p - begin) + 1);
}

/// Copies `n` bytes, at most 32, with a few overlapping moves instead of a call.
inline void copy_short(char* d, const char* s, std::size_t n) noexcept {
    if (n >= 16) {
        std::memcpy(d, s, 16);
        std::memcpy(d + n - 16, s + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(d, s, 8);
        std::memcpy(d + n - 8, s + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(d, s, 4);
        std::memcpy(d + n - 4, s + n - 4, 4);
    } else if (n > 0) {
        d[0] = s[0];
        d[n / 2] = s[n / 2];
        d[n - 1] = s[n - 1];
    }
}

/// Copies `n` bytes; short runs, the usual keys and strings of JSON text, without a call.
inline void copy_bytes(char* d, const char* s, std::size_t n) noexcept {
    if (n <= 32) {
        copy_short(d, s, n);
    } else {
        std::memcpy(d, s, n);
    }
}

/// Whether the `n` bytes at `a` and at `b` are equal; short runs without a call.
inline bool same_bytes(const char* a, const char* b, std::size_t n) noexcept {
    const auto equal = [&](std::size_t at, auto word) {
        decltype(word) x, y;
        std::memcpy(&x, a + at, sizeof x);
        std::memcpy(&y, b + at, sizeof y);
        return x == y;
    };
    if (n >= 8) {
        if (n > 16) return std::memcmp(a, b, n) == 0;
        return equal(0, std::uint64_t{}) && equal(n - 8, std::uint64_t{});
    }
    if (n >= 4) return equal(0, std::uint32_t{}) && equal(n - 4, std::uint32_t{});
    return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
}

/// The end of the well-formed UTF-8 sequence at `p` (whose first byte is not ASCII), or null.
inline const char* utf8_sequence(const char* p, const char* end) noexcept {
    const auto* q = reinterpret_cast<const unsigned char*>(p);
    const unsigned char b0 = q[0];
    std::ptrdiff_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0)
            lo = 0xA0;  // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return nullptr;
    }
    if (end - p < len || q[1] < lo || q[1] > hi) return nullptr;
    for (std::ptrdiff_t k = 2; k < len; ++k)
        if ((q[k] & 0xC0) != 0x80) return nullptr;
    return p + len;
}

}  // namespace Sylvane::json_tree::detail
