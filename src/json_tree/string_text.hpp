#pragma once
// The checked text of strings, non-ASCII runs included, a block at a time; not part of the API.

#include "text_scan.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SYLVANE_STRING_TEXT_AVX2
#include <immintrin.h>
#endif

namespace Sylvane::json_tree::detail {

/// The end of the run at `p` of string bytes that need no other look: valid UTF-8 without a
/// quote, a backslash or a control byte. It stops at the first such byte, at the first byte of an
/// ill-formed sequence (one cut by `end` too) or at `end`. `p` must start a sequence.
inline const char* string_text_scalar(const char* p, const char* end) noexcept {
    for (;;) {
        p = scan_plain<true>(p, end);
        if (p == end || static_cast<unsigned char>(*p) < 0x80) return p;
        const char* next = utf8_sequence(p, end);
        if (next == nullptr) return p;
        p = next;
    }
}

#if defined(SYLVANE_STRING_TEXT_AVX2)

namespace utf8_check {

// The flags of the byte-pair check: a pair (previous byte, byte) is ill-formed when the three
// tables, looked up by the previous byte's high and low nibbles and the byte's high nibble, share
// a flag. A continuation that a three- or four-byte sequence needs is not an error: the pair
// check flags it as `two_conts`, and the check of the lead two or three bytes back clears it.
inline constexpr unsigned char too_short = 1 << 0;   // a lead, then no continuation
inline constexpr unsigned char too_long = 1 << 1;    // ASCII, then a continuation
inline constexpr unsigned char overlong_3 = 1 << 2;  // E0 80..9F
inline constexpr unsigned char too_large = 1 << 3;   // F4 90..BF, F5..FF 90..BF
inline constexpr unsigned char surrogate = 1 << 4;   // ED A0..BF
inline constexpr unsigned char overlong_2 = 1 << 5;  // C0 and C1, then a continuation
inline constexpr unsigned char high_8x = 1 << 6;     // F0 80..8F (overlong), F5..FF 80..8F
inline constexpr unsigned char two_conts = 1 << 7;   // a continuation, then another
inline constexpr unsigned char carry = too_short | too_long | two_conts;

inline constexpr unsigned char previous_high[16] = {too_long,
                                                    too_long,
                                                    too_long,
                                                    too_long,
                                                    too_long,
                                                    too_long,
                                                    too_long,
                                                    too_long,
                                                    two_conts,
                                                    two_conts,
                                                    two_conts,
                                                    two_conts,
                                                    too_short | overlong_2,
                                                    too_short,
                                                    too_short | overlong_3 | surrogate,
                                                    too_short | too_large | high_8x};
inline constexpr unsigned char previous_low[16] = {carry | overlong_3 | overlong_2 | high_8x,
                                                   carry | overlong_2,
                                                   carry,
                                                   carry,
                                                   carry | too_large,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x | surrogate,
                                                   carry | too_large | high_8x,
                                                   carry | too_large | high_8x};
inline constexpr unsigned char current_high[16] = {
    too_short,
    too_short,
    too_short,
    too_short,
    too_short,
    too_short,
    too_short,
    too_short,
    too_long | overlong_2 | two_conts | overlong_3 | high_8x,
    too_long | overlong_2 | two_conts | overlong_3 | too_large,
    too_long | overlong_2 | two_conts | surrogate | too_large,
    too_long | overlong_2 | two_conts | surrogate | too_large,
    too_short,
    too_short,
    too_short,
    too_short};

[[gnu::target("avx2")]] inline __m256i table(const unsigned char (&t)[16]) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}

/// The block `v` shifted by `n` bytes towards its end, zero (ASCII) bytes coming in.
template <int N>
[[gnu::target("avx2")]] inline __m256i earlier(__m256i v) noexcept {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 16 - N);
}

/// A bit for every byte of `v` at which its UTF-8 is ill-formed, ASCII assumed before it.
[[gnu::target("avx2")]] inline unsigned errors(__m256i v) noexcept {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = earlier<1>(v);
    const __m256i pairs = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(table(previous_high),
                                             _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
                         _mm256_shuffle_epi8(table(previous_low), _mm256_and_si256(prev1, nibble))),
        _mm256_shuffle_epi8(table(current_high),
                            _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    // 0x80 where the byte two after a lead of three or four bytes, or three after a lead of
    // four, must be a continuation.
    const __m256i third = _mm256_subs_epu8(earlier<2>(v), _mm256_set1_epi8(0xE0 - 0x80));
    const __m256i fourth = _mm256_subs_epu8(earlier<3>(v), _mm256_set1_epi8(0xF0 - 0x80));
    const __m256i needed =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    const __m256i bad = _mm256_xor_si256(pairs, needed);
    return ~static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bad, _mm256_setzero_si256())));
}

}  // namespace utf8_check

/// As `string_text_scalar`, 32 bytes at a time with AVX2; the caller checks that the CPU has it.
[[gnu::target("avx2")]] inline const char* string_text_avx2(const char* p,
                                                            const char* end) noexcept {
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        // Unsigned, max(v, 0x1F) == 0x1F finds the control bytes.
        const __m256i control =
            _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(0x1F)), _mm256_set1_epi8(0x1F));
        const __m256i stop =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')),
                                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\\'))),
                            control);
        const auto stops = static_cast<unsigned>(_mm256_movemask_epi8(stop));
        const auto high = static_cast<unsigned>(_mm256_movemask_epi8(v));
        // The bytes up to the first stop (that one included: a sequence it cuts short shows
        // there) must be well-formed.
        const unsigned checked = stops == 0 ? ~0u : stops ^ (stops - 1);
        if (high != 0 && (utf8_check::errors(v) & checked) != 0) {
            // Ill-formed: the exact place, sequence by sequence from this block's start.
            return string_text_scalar(p, end);
        }
        if (stops != 0) return p + std::countr_zero(stops);
        // A sequence that the block's end cuts is read whole with the next block.
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        if (b[31] >= 0xC0) {
            p += 31;
        } else if (b[30] >= 0xE0) {
            p += 30;
        } else if (b[29] >= 0xF0) {
            p += 29;
        } else {
            p += 32;
        }
    }
    return string_text_scalar(p, end);
}

/// Whether the CPU running the program has AVX2.
inline bool has_avx2() noexcept {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

#endif

/// `string_text_scalar`, with the fastest kernel that the CPU has.
inline const char* string_text(const char* p, const char* end) noexcept {
#if defined(SYLVANE_STRING_TEXT_AVX2)
    if (has_avx2()) return string_text_avx2(p, end);
#endif
    return string_text_scalar(p, end);
}

}  // namespace Sylvane::json_tree::detail
