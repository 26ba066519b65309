// The cursor's out-of-line reads. Each step mirrors the reader's (read.cpp), with its scanning
// helpers, so that the cursor accepts no text that the reader refuses; where the reader would
// fail, the cursor gives up instead.

#include <sylvane/json_tree/detail/text_cursor.hpp>

#include "escapes.hpp"
#include "number_text.hpp"
#include "string_text.hpp"
#include "text_scan.hpp"

#include <cstring>
#include <limits>

namespace Sylvane::json_tree::detail {

void text_cursor::give_up() {
    throw cursor_gave_up{};
}

void text_cursor::more_space() noexcept {
    p_ = skip_blanks(p_, end_);
}

// The reads below step over white space with this, inlined, as the reader does: the one space
// after a colon or a comma and a line feed with the next line's indentation (spaces or tabs),
// the usual blanks of spaced and indented text, cost a few compares and no call.
[[gnu::always_inline]] inline void text_cursor::step_space() noexcept {
    const char* p = p_;
    if (p == end_ || static_cast<unsigned char>(*p) > ' ') return;
    if (end_ - p > 33) {  // the 32 bytes after the blank, and one more
        if (*p == ' ' && static_cast<unsigned char>(p[1]) > ' ') {
            p_ = p + 1;
            return;
        }
#if defined(__SSE2__)
        if (*p == '\n') {
            const int n = leading_run32(p + 1, _mm_set1_epi8(indentation_));
            const char next = p[1 + n];
            if (static_cast<unsigned char>(next) > ' ') {
                p_ = p + 1 + n;
                return;
            }
            if (indented_with_other_byte(n, next)) indentation_ = next;
        }
#endif
    }
    p_ = skip_blanks(p, end_);
}

// Inlined into each caller: the integers of a long array are read one call each.
[[gnu::always_inline]] inline yojson_kind text_cursor::number(std::int64_t& i, double& d) {
    const char* start = p_;
    const char* q = p_;
    const bool negative = q != end_ && *q == '-';
    if (negative) ++q;
    switch (quick_number(q, end_, negative, i, d)) {
        case quick_kind::integer: p_ = q; return yojson_kind::Int;
        case quick_kind::decimal: p_ = q; return yojson_kind::Float;
        case quick_kind::none: break;
    }
    const char* digits = q;
    if (q == end_ || !is_digit(*q)) give_up();
    std::uint64_t scanned = 0;  // the digits' value, exact while there are at most 19
    if (*q == '0') {
        ++q;
        if (q != end_ && is_digit(*q)) give_up();
    } else {
        q = scan_digits(q, end_, scanned);
    }
    const char* int_end = q;
    const char* frac_end = q;
    const char* exp_start = q;
    bool integral = true;
    if (q != end_ && *q == '.') {
        ++q;
        if (q == end_ || !is_digit(*q)) give_up();
        q = scan_digits(q, end_, scanned);
        frac_end = exp_start = q;
        integral = false;
    }
    if (q != end_ && (*q == 'e' || *q == 'E')) {
        ++q;
        exp_start = q;
        if (q != end_ && (*q == '+' || *q == '-')) ++q;
        if (q == end_ || !is_digit(*q)) give_up();
        while (q != end_ && is_digit(*q)) ++q;
        integral = false;
    }
    p_ = q;
    if (integral) {
        constexpr std::uint64_t max = std::numeric_limits<std::int64_t>::max();
        if (int_end - digits <= 19 && scanned <= max + (negative ? 1 : 0)) {
            i = negative ? static_cast<std::int64_t>(0 - scanned)
                         : static_cast<std::int64_t>(scanned);
            return yojson_kind::Int;
        }
        return yojson_kind::Intlit;
    }
    if (!decimal_value(start, digits, int_end, frac_end, exp_start, q, negative, scanned, d))
        give_up();
    return yojson_kind::Float;
}

bool text_cursor::read_null() {
    step_space();
    if (p_ == end_ || *p_ != 'n') return false;
    if (end_ - p_ < 4 || std::memcmp(p_, "null", 4) != 0) give_up();
    p_ += 4;
    return true;
}

bool text_cursor::read_bool() {
    step_space();
    if (end_ - p_ >= 4 && std::memcmp(p_, "true", 4) == 0) {
        p_ += 4;
        return true;
    }
    if (end_ - p_ >= 5 && std::memcmp(p_, "false", 5) == 0) {
        p_ += 5;
        return false;
    }
    give_up();
}

std::int64_t text_cursor::read_int() {
    step_space();
    std::int64_t i = 0;
    double d = 0;
    if (number(i, d) != yojson_kind::Int) give_up();
    return i;
}

double text_cursor::read_double() {
    step_space();
    std::int64_t i = 0;
    double d = 0;
    switch (number(i, d)) {
        case yojson_kind::Int: return static_cast<double>(i);
        case yojson_kind::Float: return d;
        default: give_up();
    }
}

void text_cursor::read_string(std::string& out) {
    step_space();
    if (p_ == end_ || *p_ != '"') give_up();
    const std::string_view s = string(out);
    if (s.data() != out.data()) out.assign(s);
}

std::string_view text_cursor::read_string_view() {
    step_space();
    if (p_ == end_ || *p_ != '"') give_up();
    return string(scratch_);
}

void text_cursor::open() {
    if (depth_ >= options_.max_depth) give_up();
    ++depth_;
    ++p_;
}

bool text_cursor::begin_array() {
    step_space();
    if (p_ == end_ || *p_ != '[') give_up();
    open();
    step_space();
    if (p_ != end_ && *p_ == ']') return close();
    return true;
}

bool text_cursor::begin_object() {
    step_space();
    if (p_ == end_ || *p_ != '{') give_up();
    open();
    step_space();
    if (p_ != end_ && *p_ == '}') return close();
    return true;
}

std::string_view text_cursor::key() {
    step_space();
    if (p_ == end_ || *p_ != '"') give_up();
    const std::string_view k = string(scratch_);
    colon_after_space();
    return k;
}

bool text_cursor::key_is(std::string_view expected) {
    step_space();  // indented text has a line feed and the indentation before each key
    const std::size_t n = expected.size();
    if (static_cast<std::size_t>(end_ - p_) < n + 3 || *p_ != '"' || p_[n + 1] != '"' ||
        !same_bytes(p_ + 1, expected.data(), n))
        return false;
    p_ += n + 2;
    if (*p_ != ':') return colon_after_space();
    ++p_;  // the value's read steps over the white space before it
    return true;
}

bool text_cursor::colon_after_space() {
    step_space();
    if (p_ == end_ || *p_ != ':') give_up();
    ++p_;
    return true;
}

bool text_cursor::closes_after_comma(char closer) {
    step_space();
    if (p_ == end_ || *p_ != closer) return false;
    close();
    return true;
}

void text_cursor::skip() {
    // The containers opened here, by their closing bytes.
    std::string closers;
    for (;;) {
        step_space();
        if (p_ == end_) give_up();
        const char c = *p_;
        if (c == '[' || c == '{') {
            open();
            step_space();
            const char closer = c == '[' ? ']' : '}';
            if (p_ != end_ && *p_ == closer) {
                close();
            } else {
                closers += closer;
                if (closer == '}') key();
                continue;
            }
        } else if (c == '"') {
            string(scratch_);
        } else if (c == 't' || c == 'f') {
            read_bool();
        } else if (c == 'n') {
            read_null();
        } else {
            std::int64_t i = 0;
            double d = 0;
            number(i, d);
        }
        // A value is complete: close containers until one expects another element.
        for (;;) {
            if (closers.empty()) return;
            const char closer = closers.back();
            step_space();
            if (p_ != end_ && *p_ == ',') {
                ++p_;
                step_space();
                if (options_.allow_trailing_commas && p_ != end_ && *p_ == closer) {
                    close();
                    closers.pop_back();
                    continue;
                }
                if (closer == '}') key();
                break;
            }
            if (p_ != end_ && *p_ == closer) {
                close();
                closers.pop_back();
                continue;
            }
            give_up();
        }
    }
}

yojson text_cursor::read_tree() {
    step_space();
    const char* start = p_;
    // The value's extent, found without checking it: the reader checks it. Were it not valid
    // JSON the reader would refuse it; if it is, it is the value that the text holds here, for
    // a value ends where its extent does (a scalar's at a delimiter).
    std::size_t open = 0;  // brackets opened and not closed yet
    while (p_ != end_) {
        const char c = *p_;
        if (c == '"') {
            for (++p_; p_ != end_ && *p_ != '"'; ++p_) {
                if (*p_ == '\\' && end_ - p_ > 1) ++p_;
            }
            if (p_ != end_) ++p_;
            if (open == 0) break;
        } else if (c == '[' || c == '{') {
            ++open;
            ++p_;
        } else if (c == ']' || c == '}') {
            if (open == 0) break;  // after a scalar
            ++p_;
            if (--open == 0) break;
        } else if (open == 0 && (c == ',' || c == ':' || is_blank(c))) {
            break;  // after a scalar
        } else {
            ++p_;
        }
    }
    // It nests within what is already open, so its containers have that much less room.
    read_options inner = options_;
    inner.max_depth = options_.max_depth - depth_;
    return read(std::string_view(start, static_cast<std::size_t>(p_ - start)), inner);
}

void text_cursor::finish() {
    step_space();
    if (p_ != end_) give_up();
}

std::string_view text_cursor::string(std::string& buffer) {
    const char* start = ++p_;
    // A control byte gives up; text in other scripts is checked in blocks, ASCII included, up
    // to a quote, a backslash, a control byte or the end, as the reader checks it.
    const auto other_byte = [&](unsigned char c) {
        if (c < 0x20) give_up();
        for (;;) {
            p_ = string_text(p_, end_);
            if (p_ == end_ || static_cast<unsigned char>(*p_) < 0x80) return;
            if (!options_.allow_invalid_utf8) give_up();
            ++p_;
        }
    };
    p_ = scan_plain_short(p_, end_);
    for (;;) {
        if (p_ == end_) give_up();
        const auto c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            const std::string_view s(start, static_cast<std::size_t>(p_ - start));
            ++p_;
            return s;
        }
        if (c == '\\') break;
        other_byte(c);
    }
    // Escapes: the string is decoded into `buffer`.
    buffer.assign(start, p_);
    for (;;) {
        const char* run = p_;
        p_ = scan_plain<true>(p_, end_);
        buffer.append(run, p_);
        if (p_ == end_) give_up();
        const auto c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return buffer;
        }
        if (c == '\\') {
            escape(buffer);
        } else {
            run = p_;
            other_byte(c);
            buffer.append(run, p_);
        }
    }
}

void text_cursor::escape(std::string& out) {
    ++p_;
    if (p_ == end_) give_up();
    if (const char byte = simple_escape(*p_)) {
        out += byte;
        ++p_;
        return;
    }
    if (*p_ != 'u') give_up();
    ++p_;
    std::uint32_t cp = hex4();
    if (cp >= 0xDC00 && cp <= 0xDFFF) give_up();
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') give_up();
        p_ += 2;
        const std::uint32_t lo = hex4();
        if (lo < 0xDC00 || lo > 0xDFFF) give_up();
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
    }
    append_utf8(out, cp);
}

std::uint32_t text_cursor::hex4() {
    const std::int32_t v = end_ - p_ < 4 ? -1 : hex4_value(p_);
    if (v < 0) give_up();
    p_ += 4;
    return static_cast<std::uint32_t>(v);
}

}  // namespace Sylvane::json_tree::detail
