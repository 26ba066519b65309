#pragma once
// How the tree writer and the text sink write numbers and strings, so that both give the same
// bytes and the same failures; not part of the API.
//
// `Out` gives `char* room(n)` (at least `n` free bytes, `n` a few dozen at most), `advance(p)`
// (the bytes up to `p` are written), `put(s, n)` and `put_char(c)`.

#include <sylvane/json_tree/write.hpp>
#include "shortest_double.hpp"
#include "text_scan.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace Sylvane::json_tree::detail {

/// Whether `text` is a JSON integer: an optional '-', then 0 or digits without a leading zero.
inline bool json_integer(std::string_view text) noexcept {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    if (text[i] == '0') return i + 1 == text.size();
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

/// A `Float`: its shortest digits, kept a float by ".0" when they would read as an integer;
/// NaN and infinities only when allowed.
template <class Out>
void put_float(Out& out, double d, bool allow_nan_infinity) {
    if (!std::isfinite(d)) {
        if (!allow_nan_infinity)
            throw write_error(std::isnan(d) ? "NaN has no JSON text"
                                            : "an infinite Float has no JSON text");
        if (std::isnan(d))
            out.put("NaN", 3);
        else
            d > 0 ? out.put("Infinity", 8) : out.put("-Infinity", 9);
        return;
    }
    out.advance(write_shortest(out.room(shortest_room), d, true));
}

/// A string in quotes with '"', '\\' and control bytes escaped; with `Check`, one that is not
/// UTF-8 is refused. Out of line: strings needing no escape take the callers' short paths.
template <bool Check, class Out>
[[gnu::noinline]] void put_string_escaped(Out& out, std::string_view s) {
    static constexpr char hex[] = "0123456789abcdef";
    const char* p = s.data();
    const char* const end = p + s.size();
    out.put_char('"');
    for (;;) {
        const char* run = p;
        p = scan_plain<Check>(p, end);
        out.put(run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        const auto c = static_cast<unsigned char>(*p);
        if (Check && c >= 0x80) {
            const char* next = utf8_sequence(p, end);
            if (!next)
                throw write_error("a string is not UTF-8 (byte " + std::to_string(p - s.data()) +
                                  ')');
            out.put(p, static_cast<std::size_t>(next - p));
            p = next;
            continue;
        }
        char* o = out.room(6);
        o[0] = '\\';
        std::size_t n = 2;
        switch (c) {
            case '"': o[1] = '"'; break;
            case '\\': o[1] = '\\'; break;
            case '\b': o[1] = 'b'; break;
            case '\f': o[1] = 'f'; break;
            case '\n': o[1] = 'n'; break;
            case '\r': o[1] = 'r'; break;
            case '\t': o[1] = 't'; break;
            default:
                std::memcpy(o + 1, "u00", 3);
                o[4] = hex[c >> 4];
                o[5] = hex[c & 0xf];
                n = 6;
        }
        out.advance(o + n);
        ++p;
    }
    out.put_char('"');
}

/// A string in quotes: a short one needing no escape is copied at once, inline; any other
/// goes to `put_string_escaped`.
template <bool Check, class Out>
void put_string(Out& out, std::string_view s) {
    const char* p = s.data();
    const char* const end = p + s.size();
    if (s.size() <= 32 && scan_plain<Check>(p, end) == end) {
        char* o = out.room(34);
        *o = '"';
        copy_short(o + 1, p, s.size());
        o[s.size() + 1] = '"';
        out.advance(o + s.size() + 2);
        return;
    }
    put_string_escaped<Check>(out, s);
}

}  // namespace Sylvane::json_tree::detail
