#pragma once
// The one interpreter of JSON text's tokens, shared by every reader of text: the tree reader
// (which also finds where a failure of `read_as` lies) and the cursor behind `read_as`. Blanks
// and comments, literals, numbers, strings with their escapes and UTF-8 checks are read here and
// nowhere else; the readers differ only in structure (stacks that build a tree, pulls driven by
// converters). Not part of the API.
//
// The functions read the state of a host (`begin_`, `p_`, `end_`, `padded_`, `options_`,
// `indentation_`, `indents_`, `short_ints_`: the text's bytes from `begin_` to `end_`, `p_` the
// next to read, whether `padding` readable bytes follow `end_`, the lexer's guesses of
// indentation by depth, which `depth()` gives, and the short integers read in a row) and tell it
// what they meet through two members:
// - `fault(at, code, word)`: the text is not JSON at `at`. The tree reader throws `parse_error`;
//   the cursor records that it cannot go on, moves `p_` to `end_` (so that every read after it
//   stops at once) and returns, and the function then returns a value that its caller ignores.
// - `line_start(q)`: a line starts at `q`, for hosts that count lines (`Host::counts_lines`);
// and through one constant, `Host::inlines_blanks`: whether runs of blanks and comments are
// stepped over inline (the tree reader's one loop) or by a call (the cursor's many reads).
// A host befriends `lexer<Host>`.

#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/read.hpp>

#include "escapes.hpp"
#include "number_text.hpp"
#include "string_text.hpp"
#include "text_scan.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace Sylvane::json_tree::detail {

/// The reason of a failure `code` at `at` in text ending at `end`, as `parse_error` gives it;
/// `word` is the literal of a `bad_literal`, `max_depth` the limit of a `too_deep`.
std::string fault_reason(parse_errc code, const char* at, const char* end, std::string_view word,
                         std::size_t max_depth);

/// What `lexer::number` read.
enum class number_kind : unsigned char {
    integer,  ///< fits an `Int`: its value
    big,      ///< an integer beyond 64 bits: an `Intlit`, its text from the start to `p_`
    decimal,  ///< a `Float`: its value
    failed,   ///< not a number (the host was told)
};

/// A number read: its kind and the bits of its value. Sixteen bytes, so that it comes back from
/// the out-of-line reader in two registers.
struct number_value {
    std::uint64_t bits = 0;
    number_kind kind = number_kind::failed;

    static number_value of(std::int64_t i) noexcept {
        return {std::bit_cast<std::uint64_t>(i), number_kind::integer};
    }
    static number_value of(double d) noexcept {
        return {std::bit_cast<std::uint64_t>(d), number_kind::decimal};
    }
    std::int64_t integer() const noexcept { return std::bit_cast<std::int64_t>(bits); }
    double decimal() const noexcept { return std::bit_cast<double>(bits); }
};

#if defined(__SSE2__)
/// The indentation byte in every lane, however a host keeps it.
[[gnu::always_inline]] inline __m128i lanes_of(__m128i v) noexcept {
    return v;
}
[[gnu::always_inline]] inline __m128i lanes_of(char c) noexcept {
    return _mm_set1_epi8(c);
}
[[gnu::always_inline]] inline void set_lanes(__m128i& v, char c) noexcept {
    v = _mm_set1_epi8(c);
}
[[gnu::always_inline]] inline void set_lanes(char& v, char c) noexcept {
    v = c;
}
#endif

/// The bytes after a padded text (`text_cursor::text_is_padded`) that may be read.
inline constexpr std::size_t padding = text_cursor::text_padding;

template <class Host>
struct lexer {
    static std::size_t offset(const Host& h, const char* p) noexcept {
        return static_cast<std::size_t>(p - h.begin_);
    }

    /// The byte at `p_`, or 0 at the end of the text: no token starts with 0, and a failure
    /// still tells the end from a 0 byte by `p_`.
    [[gnu::always_inline]] static char peek(const Host& h) noexcept {
        return h.p_ != h.end_ ? *h.p_ : '\0';
    }

    // ---- Blanks and comments ----

    /// Steps over blanks and comments and returns the byte after them, as `peek`. Text without
    /// them, the usual case between tokens, costs one compare.
    ///
    /// Indented text indents each line by the depth of its token, a closing bracket one less than
    /// the elements before it, which tells where the token starts. The depth of the elements
    /// where the blanks stand is `h.depth() + Opened` (`Opened`: the host has just opened a
    /// container that it does not count yet), and `Closer` says that the host expects the
    /// innermost container to close there.
    template <bool Comma = false, bool Opened = false, bool Closer = false>
    [[gnu::always_inline]] static char after_space(Host& h) {
        const char c = peek(h);
        if (static_cast<unsigned char>(c) > ' ' && c != '/') return c;
#if defined(__SSE2__)
        // The usual blanks of indented text, a line feed and the next line's indentation of
        // fewer than 32 spaces (or tabs), found with two compares and no call.
        if (c == '\n' && h.end_ - h.p_ > 33) {  // the 32 bytes after the line feed, and one more
            // The line is guessed to be indented as the last line of its depth was: the byte
            // after that indentation is taken at once, and the count of this line's blanks only
            // confirms the guess. The reading goes on from the guess while the count is made,
            // rather than waiting for the count's compares to find where the token starts.
            const std::size_t depth = h.depth() + Opened;
            const int guess = h.indents_[(depth - Closer) % std::size(h.indents_)];
            const char guessed = h.p_[1 + guess];
            const int n = leading_run32(h.p_ + 1, lanes_of(h.indentation_));
            if (n == guess && static_cast<unsigned char>(guessed) > ' ' && guessed != '/') {
                if constexpr (Host::counts_lines) h.line_start(h.p_ + 1);
                h.p_ += 1 + guess;
                return guessed;
            }
            return other_line(h, depth, n);
        }
#endif
        // One space, as writers put after a colon and some after every comma, without a loop
        // (the tree reader steps over the space after a colon itself).
        if ((Comma || !Host::inlines_blanks) && c == ' ' && h.end_ - h.p_ > 1) {
            const char next = h.p_[1];
            if (static_cast<unsigned char>(next) > ' ' && next != '/') {
                ++h.p_;
                return next;
            }
        }
        if constexpr (Host::inlines_blanks) {
            skip_space(h);
            return peek(h);
        } else {
            return other_space(h);
        }
    }

#if defined(__SSE2__)
    /// The rest of `after_space` after a line feed at `p_` whose line was not indented as
    /// guessed: `n` blanks, then its token, learnt as the indentation of its depth; or other
    /// blanks and comments. `depth` is that of the elements where the line stands.
    [[gnu::noinline]] static char other_line(Host& h, std::size_t depth, int n) {
        const char next = h.p_[1 + n];
        if (static_cast<unsigned char>(next) > ' ' && next != '/') {
            const bool closes = next == '}' || next == ']';
            h.indents_[(depth - closes) % std::size(h.indents_)] = static_cast<unsigned char>(n);
            if constexpr (Host::counts_lines) h.line_start(h.p_ + 1);
            h.p_ += 1 + n;
            return next;
        }
        if (indented_with_other_byte(n, next)) set_lanes(h.indentation_, next);
        skip_space(h);
        return peek(h);
    }
#endif

    /// The rest of `after_space`, out of line: for hosts whose every read steps over blanks,
    /// where the whole loop inlined would grow each read.
    [[gnu::noinline]] static char other_space(Host& h) {
        skip_space(h);
        return peek(h);
    }

    [[gnu::always_inline]] static void skip_space(Host& h) {
        while (h.p_ != h.end_) {
            const char c = *h.p_;
            if (is_blank(c)) {
                // Outside strings and comments, line feeds are all in blanks: a host that
                // counts lines counts them as they are skipped.
                if constexpr (Host::counts_lines)
                    h.p_ = skip_blanks_lines(h.p_, h.end_, [&](const char* q) { h.line_start(q); });
                else
                    h.p_ = skip_blanks(h.p_ + 1, h.end_);
                // Blanks end at a byte that is not one: only a comment may follow.
                if (!h.options_.allow_comments) return;
            } else if (c == '/' && h.options_.allow_comments) {
                comment(h);
            } else {
                return;
            }
        }
    }

    [[gnu::always_inline]] static void comment(Host& h) {
        const char* start = h.p_;
        if (h.end_ - h.p_ >= 2 && h.p_[1] == '/') {
            const void* nl = std::memchr(h.p_, '\n', offset(h, h.end_) - offset(h, h.p_));
            h.p_ = nl ? static_cast<const char*>(nl) + 1 : h.end_;
            if constexpr (Host::counts_lines)
                if (nl != nullptr) h.line_start(h.p_);
        } else if (h.end_ - h.p_ >= 2 && h.p_[1] == '*') {
            const char* body = h.p_ + 2;
            const std::string_view rest(body, offset(h, h.end_) - offset(h, body));
            const std::size_t close = rest.find("*/");
            if (close == std::string_view::npos)
                return h.fault(start, parse_errc::unterminated_comment);
            if constexpr (Host::counts_lines)
                each_line_start(body, body + close,
                                [&](std::size_t at) { h.line_start(body + at); });
            h.p_ = body + close + 2;
        } else {
            h.fault(h.p_, parse_errc::unexpected_byte);
        }
    }

    // ---- Literals ----

    /// Steps over `word`, whose length is a constant, so the comparison is inlined; false when
    /// the text has something else (the host was told).
    template <std::size_t N>
    [[gnu::always_inline]] static bool literal(Host& h, const char (&word)[N]) {
        constexpr std::size_t n = N - 1;
        if (static_cast<std::size_t>(h.end_ - h.p_) < n || std::memcmp(h.p_, word, n) != 0)
            [[unlikely]] {
            bad_literal(h, word);
            return false;
        }
        h.p_ += n;
        return true;
    }
    [[gnu::cold, gnu::noinline]] static void bad_literal(Host& h, std::string_view word) {
        const char* q = h.p_;
        for (std::size_t i = 0; q != h.end_ && i < word.size() && *q == word[i]; ++i) ++q;
        h.fault(q, parse_errc::bad_literal, word);
    }

    // ---- Numbers ----

    /// Reads the number at `p_`, which holds a digit or a minus sign. With `NaN`/`Infinity`
    /// allowed, `-Infinity` is one too (`NaN` and `Infinity` are literals, read by the host).
    [[gnu::always_inline]] static number_value number(Host& h) {
        const char* const digits =
            h.p_ + (*h.p_ == '-');  // without a branch: signs come in no order
        const bool negative = digits != h.p_;
        const char* q = digits;
        std::int64_t i;
        double d;
        // In a padded text, the quick read may look at the padding, so that a number near the
        // end (the last of a line) is read at once too; one that it takes past the end, where
        // the padding or a cut line's next bytes stand, is read again by the general parse.
        const char* const readable = h.padded_ ? h.end_ + padding : h.end_;
        const quick_kind kind = quick_number(q, readable, negative, i, d, h.short_ints_);
        if (kind != quick_kind::none && q <= h.end_) [[likely]] {
            h.p_ = q;
            return kind == quick_kind::integer ? number_value::of(i) : number_value::of(d);
        }
        return any_number(h, digits, negative);
    }

    /// The number at `p_`, of any form, or the failure of a text that is not one; `q` is past
    /// its sign.
    [[gnu::noinline]] static number_value any_number(Host& h, const char* q, bool negative) {
        const char* start = h.p_;
        const char* const end = h.end_;
        if (h.options_.allow_nan_infinity && negative && q != end && *q == 'I') {
            h.p_ = q;
            if (!literal(h, "Infinity")) return {};
            return number_value::of(-std::numeric_limits<double>::infinity());
        }
        const char* digits = q;
        if (q == end || !is_digit(*q)) return failed(h, q, parse_errc::bad_number);
        std::uint64_t scanned = 0;  // the digits' value, exact while there are at most 19
        if (*q == '0') {
            ++q;
            if (q != end && is_digit(*q)) return failed(h, start, parse_errc::leading_zero);
        } else {
            q = scan_digits(q, end, scanned);
        }
        const char* int_end = q;
        const char* frac_end = q;
        const char* exp_start = q;
        bool integral = true;
        if (q != end && *q == '.') {
            ++q;
            if (q == end || !is_digit(*q)) return failed(h, q, parse_errc::expected_digit);
            q = scan_digits(q, end, scanned);
            frac_end = exp_start = q;
            integral = false;
        }
        long exponent = 0;  // the exponent part's value, when it has at most 5 digits
        bool short_exponent = true;
        if (q != end && (*q == 'e' || *q == 'E')) {
            ++q;
            exp_start = q;
            const bool minus = q != end && *q == '-';
            if (q != end && (*q == '+' || *q == '-')) ++q;
            if (q == end || !is_digit(*q)) return failed(h, q, parse_errc::expected_digit);
            const char* e = q;
            for (; q != end && is_digit(*q); ++q)
                if (q - e < 5) exponent = exponent * 10 + (*q - '0');
            short_exponent = q - e <= 5;
            if (minus) exponent = -exponent;
            integral = false;
        }
        if (integral) {
            h.p_ = q;
            // More than 19 digits never fit 64 bits; 19 may.
            constexpr std::uint64_t max = std::numeric_limits<std::int64_t>::max();
            if (int_end - digits <= 19 && scanned <= max + (negative ? 1 : 0))
                return number_value::of(negative ? static_cast<std::int64_t>(0 - scanned)
                                                 : static_cast<std::int64_t>(scanned));
            return {0, number_kind::big};
        }
        // The usual decimal has at most 19 digits, all of them in `scanned`.
        const long fraction_digits = frac_end == int_end ? 0 : frac_end - int_end - 1;
        double d = 0;
        if (!((int_end - digits) + fraction_digits <= 19 && short_exponent &&
              short_decimal(scanned, exponent - fraction_digits, negative, d)) &&
            !decimal_value(start, digits, int_end, frac_end, exp_start, q, negative, scanned, d))
            return failed(h, start, parse_errc::number_out_of_range);
        h.p_ = q;
        return number_value::of(d);
    }

    // ---- Strings ----

    /// Reads the string at `p_` (its opening quote) and returns its bytes: a view into the text,
    /// or into `buffer` when it had escapes (valid until the next string decoded there). After
    /// a failure the view is empty.
    [[gnu::always_inline]] static std::string_view string(Host& h, std::string& buffer) {
        const char* start = ++h.p_;
        h.p_ = scan_plain_short(h.p_, h.end_);
        for (;;) {
            if (h.p_ == h.end_) {
                h.fault(start - 1, parse_errc::unterminated_string);
                return {};
            }
            const auto c = static_cast<unsigned char>(*h.p_);
            if (c == '"') {
                std::string_view s(start, static_cast<std::size_t>(h.p_ - start));
                ++h.p_;
                return s;
            }
            if (c == '\\') return escaped(h, start, buffer);
            other_byte(h, c);  // stops where a scan of plain text would
        }
    }

    /// Steps over a control byte (refused) or over the checked text that starts at `p_` with a
    /// byte of 0x80 or above: text in other scripts runs on, so it is checked in blocks, ASCII
    /// included, up to a quote, a backslash, a control byte or the end.
    [[gnu::noinline]] static void other_byte(Host& h, unsigned char c) {
        if (c < 0x20) return h.fault(h.p_, parse_errc::control_in_string);
        for (;;) {
            h.p_ = string_text(h.p_, h.end_);
            if (h.p_ == h.end_ || static_cast<unsigned char>(*h.p_) < 0x80) return;
            if (!h.options_.allow_invalid_utf8) return h.fault(h.p_, parse_errc::invalid_utf8);
            ++h.p_;
        }
    }

    /// The rest of a string that has escapes, decoded into `out`, which is used as a buffer and
    /// written through a pointer. No escape decodes to more bytes than its text (`\uXXXX` to at
    /// most 3, a pair of them to 4), so the text read so far, plus room for one escape, bounds
    /// the bytes decoded.
    [[gnu::noinline]] static std::string_view escaped(Host& h, const char* start,
                                                      std::string& out) {
        std::size_t used = 0;
        const char* run = start;  // the text not decoded yet
        for (;;) {
            // To the next quote or backslash, over plain text and checked non-ASCII runs.
            for (;;) {
                h.p_ = scan_plain<true>(h.p_, h.end_);
                if (h.p_ == h.end_) {
                    h.fault(start - 1, parse_errc::unterminated_string);
                    return {};
                }
                const auto c = static_cast<unsigned char>(*h.p_);
                if (c == '"' || c == '\\') break;
                other_byte(h, c);
            }
            const std::size_t need = offset(h, h.p_) - offset(h, start) + 4;
            if (out.size() < need) out.resize(std::max(need, 2 * out.size()));
            char* to = out.data();
            copy_bytes(to + used, run, static_cast<std::size_t>(h.p_ - run));
            used += static_cast<std::size_t>(h.p_ - run);
            if (*h.p_ == '"') {
                ++h.p_;
                return std::string_view(to, used);
            }
            used += escape(h, to + used, start);
            run = h.p_;
        }
    }

    /// Decodes the escape at `p_` in the string whose text begins at `start` into `to`, which has
    /// room for 4 bytes; returns how many it wrote.
    static std::size_t escape(Host& h, char* to, const char* start) {
        const char* at = h.p_;
        ++h.p_;
        if (h.p_ == h.end_) return failed_escape(h, start - 1, parse_errc::unterminated_string);
        if (const char byte = simple_escape(*h.p_)) {
            *to = byte;
            ++h.p_;
            return 1;
        }
        if (*h.p_ != 'u') return failed_escape(h, at, parse_errc::invalid_escape);
        ++h.p_;
        std::uint32_t cp = 0;
        if (!hex4(h, at, cp)) return 0;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return failed_escape(h, at, parse_errc::lone_surrogate);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (h.end_ - h.p_ < 2 || h.p_[0] != '\\' || h.p_[1] != 'u')
                return failed_escape(h, at, parse_errc::lone_surrogate);
            h.p_ += 2;
            std::uint32_t lo = 0;
            if (!hex4(h, at, lo)) return 0;
            if (lo < 0xDC00 || lo > 0xDFFF) return failed_escape(h, at, parse_errc::lone_surrogate);
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        }
        return put_utf8(to, cp);
    }

    /// Four hex digits at `p_` into `cp`, for the escape at `at`.
    static bool hex4(Host& h, const char* at, std::uint32_t& cp) {
        const std::int32_t v = h.end_ - h.p_ < 4 ? -1 : hex4_value(h.p_);
        if (v < 0) {
            failed_escape(h, at, parse_errc::invalid_unicode_escape);
            return false;
        }
        h.p_ += 4;
        cp = static_cast<std::uint32_t>(v);
        return true;
    }

private:
    static number_value failed(Host& h, const char* at, parse_errc code) {
        h.fault(at, code);
        return {};
    }
    /// After a failure in an escape: the host has moved `p_` to the end, so the decoding loop
    /// stops there.
    static std::size_t failed_escape(Host& h, const char* at, parse_errc code) {
        h.fault(at, code);
        return 0;
    }
};

}  // namespace Sylvane::json_tree::detail
