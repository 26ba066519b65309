#include <sylvane/json_tree/read.hpp>

#include "arena.hpp"
#include "escapes.hpp"
#include "flat_stack.hpp"
#include "known_keys.hpp"
#include "number_text.hpp"
#include "shared_strings.hpp"
#include "string_text.hpp"
#include "text_scan.hpp"
#include "whole_text.hpp"
#include "wide_positions.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>

namespace Sylvane::json_tree {

namespace detail {
namespace {

/// How a byte is shown in a reason: 'x' when printable, 0xNN otherwise.
std::string show(const char* p, const char* end) {
    if (p == end) return "end of input";
    const auto c = static_cast<unsigned char>(*p);
    if (c > 0x20 && c < 0x7f) return std::string("character '") + static_cast<char>(c) + '\'';
    static constexpr char hex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 0xf];
}

}  // namespace

/// The reader: one pass over the text with an explicit stack of open containers. Every node goes
/// into one arena. Elements of open containers wait on one value stack (keys, already in the
/// arena, on a key stack) and move into their container's node when it closes. With `Track`, it
/// also records where every node starts, in offsets of type `Offset`.
template <bool Track, class Offset = std::uint32_t>
class parser {
public:
    parser(std::string_view text, const read_options& options, locator* positions)
        : begin_(text.data()),
          p_(text.data()),
          end_(text.data() + text.size()),
          options_(options),
          positions_(positions) {
        if constexpr (Track) positions_->wide_ = !std::is_same_v<Offset, std::uint32_t>;
    }
    parser(const parser&) = delete;
    parser& operator=(const parser&) = delete;
    /// Lets go of the arena: the root holds it now, or nothing does and it is freed.
    ~parser() {
        if (arena_ != nullptr) release_arena(arena_);
    }

    yojson run() {
        skip_space();
        if constexpr (Track) positions_->root_offset_ = offset(p_);
        // Every way into this loop has stepped over the blanks before the value, whose first
        // byte is `c`.
        char c = peek();
        for (;;) {
            if (!value(c)) {  // a container opened: its first element follows
                c = peek();
                continue;
            }
            // A value is complete: close containers until one expects another element.
            for (;;) {
                if (frames_.empty()) {
                    skip_space();
                    if (p_ != end_) fail_unexpected(p_, " after the value");
                    yojson root = tree_access::counted(values_.back());
                    if constexpr (Track) {
                        tables().texts.seal();
                        tables().containers.seal();
                    }
                    return root;
                }
                const bool object = frames_.back().object;
                const char closer = object ? '}' : ']';
                c = after_space();
                if (c == ',') {
                    ++p_;
                    c = after_space<true>();
                    if (options_.allow_trailing_commas && c == closer) {
                        ++p_;
                        close();
                        continue;
                    }
                    if (object) {
                        c = key();
                    } else if (is_digit(c) || c == '-') {
                        // The usual element of an array of numbers, read without the dispatch
                        // of `value`.
                        const char* start = p_;
                        push(number(), start);
                        continue;
                    }
                    break;
                }
                if (c == closer) {
                    ++p_;
                    close();
                    continue;
                }
                fail_unexpected(p_, object ? ", expected ',' or '}'" : ", expected ',' or ']'");
            }
        }
    }

private:
    struct frame {
        std::size_t values_begin;
        std::size_t keys_begin;
        std::size_t offset;  // of the opening bracket, for positions and errors
        bool object;
    };

    std::size_t offset(const char* p) const noexcept {
        return static_cast<std::size_t>(p - begin_);
    }

    // The failures are out of line and cold: the reading paths only pass them pointers, and so
    // stay small enough to be inlined into the loop of `run`.
    [[noreturn, gnu::cold, gnu::noinline]] void fail(const char* at, std::string reason) const {
        throw parse_error(position_in(std::string_view(begin_, offset(end_)), offset(at)),
                          std::move(reason));
    }
    [[noreturn, gnu::cold, gnu::noinline]] void fail(const char* at, const char* reason) const {
        fail(at, std::string(reason));
    }
    /// Fails with "unexpected <the byte at `at`>" followed by `context`.
    [[noreturn, gnu::cold, gnu::noinline]] void fail_unexpected(const char* at,
                                                                const char* context = "") const {
        fail(at, "unexpected " + show(at, end_) + context);
    }
    [[noreturn, gnu::cold, gnu::noinline]] void fail_too_deep() const {
        fail(p_, "nesting deeper than " + std::to_string(options_.max_depth));
    }
    [[noreturn, gnu::cold, gnu::noinline]] void fail_control() const {
        fail(p_, "unescaped control " + show(p_, end_) + " in string");
    }

    arena& memory() {
        // A small text's tree takes a few times its bytes (node headers, 32-byte entries): its
        // first chunk is sized to hold all of it. Chunks are capped, so a large text's is not.
        if (arena_ == nullptr) arena_ = arena::create(offset(end_) * 4 + 512);
        return *arena_;
    }

    void push(raw_tree v, const char* start) {
        values_.push_back(v);
        if constexpr (Track) offsets_.push_back(static_cast<Offset>(offset(start)));
    }

    /// A `String` or `Intlit` node over a copy of `s`, in the arena, for the text at `start`.
    raw_tree text_node(yojson_kind kind, std::string_view s, const char* start) {
        string_node* node = memory().text(s);
        if constexpr (Track) record_text(node, offset(start));
        return tree_access::raw_of(kind, node);
    }

    /// The `String` node of `s`, read at `start`. Without Track, a short string equal to one
    /// read before in this document gets that string's node: documents repeat their short values
    /// (tags, names of states, colours), and a shared node costs neither memory nor a copy. With
    /// Track every node is its own, since positions are looked up by node.
    raw_tree string_value(std::string_view s, const char* start) {
        if constexpr (!Track) {
            if (s.size() <= short_string_max)
                return tree_access::raw_of(yojson_kind::String, shared_strings_.shared(s, [&] {
                    return memory().text(s);
                }));
        }
        return text_node(yojson_kind::String, s, start);
    }

    /// Reads the value at `p_`, whose first byte is `c` (as `peek`). Returns false when it opened
    /// a container that has elements: `p_` then stands at the first one (after the first key
    /// for an object).
    [[gnu::always_inline]] bool value(char c) {
        const char* start = p_;
        switch (c) {
            case '{':
            case '[': {
                if (frames_.size() >= options_.max_depth) fail_too_deep();
                const bool object = c == '{';
                ++p_;
                if (after_space() == (object ? '}' : ']')) {
                    ++p_;
                    push(empty_container(object, start), start);
                    return true;
                }
                std::size_t values_begin = values_.size();
#if defined(__GNUC__)
                // Kept out of a vector register: g++ would load it with the stack's capacity in
                // one 16-byte load, which waits for the 8-byte store of the last push to retire.
                asm("" : "+r"(values_begin));
#endif
                frames_.push_back({values_begin, keys_.size(), offset(start), object});
                if (object) key();
                return false;
            }
            case '"': push(string_value(string(), start), start); return true;
            case 't':
                literal("true");
                push(tree_access::raw_bool(true), start);
                return true;
            case 'f':
                literal("false");
                push(tree_access::raw_bool(false), start);
                return true;
            case 'n':
                literal("null");
                push(tree_access::raw_null(), start);
                return true;
            case 'N':
                if (!options_.allow_nan_infinity) break;
                literal("NaN");
                push(tree_access::raw_float(std::numeric_limits<double>::quiet_NaN()), start);
                return true;
            case 'I':
                if (!options_.allow_nan_infinity) break;
                literal("Infinity");
                push(tree_access::raw_float(std::numeric_limits<double>::infinity()), start);
                return true;
            case '-':
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9': push(number(), start); return true;
            default: break;
        }
        fail_unexpected(p_);
    }

    /// Reads `"key" :` and the space after it, and returns the byte after them, as `peek`.
    [[gnu::always_inline]] char key() {
        if (peek() != '"') fail_unexpected(p_, ", expected a string key");
        known_keys::key& cached =
            known_keys_.at(frames_.size(), values_.size() - frames_.back().values_begin);
        const std::size_t n = cached.size;
        if (known_keys_.known(cached) && same_key(cached.text, n)) {
            p_ += n + 2;
            keys_.push_back(std::string_view(cached.stored, n));
        } else {
            const char* raw = p_ + 1;
            const std::string_view k = string();
            char* chars = memory().chars(k.size());
            copy_bytes(chars, k.data(), k.size());
            const std::string_view stored(chars, k.size());
            keys_.push_back(stored);
            // No escapes: its bytes in the text are the key.
            if (k.data() == raw) known_keys_.remember(cached, raw, chars, k.size());
        }
        // The usual `": "` without a loop; anything else through `skip_space`.
        if (after_space() != ':') fail_unexpected(p_, ", expected ':'");
        ++p_;
        if (peek() == ' ') ++p_;
        return after_space();
    }

    /// Whether the key at `p_` is the `n` bytes at `known`, an earlier key of the text that a
    /// quote ends.
    [[gnu::always_inline]] bool same_key(const char* known, std::size_t n) const noexcept {
#if defined(__SSE2__)
        const auto equal16 = [](const char* a, const char* b) {
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)))));
        };
        // The key and its quote in one compare, or in two overlapping ones up to 32 bytes.
        // `known` lies before `p_`, so 16 bytes from either are in the text.
        if (n < 16 && end_ - p_ > 16) {
            const unsigned want = (2u << n) - 1;
            return (equal16(p_ + 1, known) & want) == want;
        }
        if (n >= 16 && n < 32 && end_ - p_ > static_cast<std::ptrdiff_t>(n + 1))
            return (equal16(p_ + 1, known) & equal16(p_ + n - 14, known + n - 15)) == 0xFFFF;
#endif
        return static_cast<std::size_t>(end_ - p_) > n + 1 && p_[n + 1] == '"' &&
               same_bytes(p_ + 1, known, n);
    }

    /// An empty list or object, read at `start`. Without Track, all the empty ones of a
    /// document are one node, as equal short strings are: documents are full of empty lists,
    /// and the shared node costs neither memory nor a stack frame. With Track each has its own,
    /// since positions are looked up by node.
    raw_tree empty_container(bool object, const char* start) {
        if constexpr (!Track) {
            raw_tree& shared = object ? empty_assoc_ : empty_list_;
            if (shared.kind == yojson_kind::Null) shared = new_empty_container(object, start);
            return shared;
        }
        return new_empty_container(object, start);
    }
    raw_tree new_empty_container(bool object, const char* start) {
        if (object) {
            assoc_node* node = memory().assoc(0, 0);
            if constexpr (Track) record_container(node, true, offset(start), 0, values_.size());
            return tree_access::raw_of(node);
        }
        list_node* node = memory().list(0);
        if constexpr (Track) record_container(node, false, offset(start), 0, values_.size());
        return tree_access::raw_of(node);
    }

    /// Builds the innermost open container from its waiting elements and pushes it.
    void close() {
        const frame f = frames_.back();
        frames_.pop_back();
        const std::size_t n = values_.size() - f.values_begin;
        const raw_tree* first = values_.data() + f.values_begin;
        raw_tree t;
        if (!f.object) {
            list_node* node = memory().list(n);
            yojson* items = node->items();
            for (std::size_t i = 0; i < n; ++i) tree_access::place(items + i, first[i]);
            node->size = n;
            if constexpr (Track) record_container(node, false, f.offset, n, f.values_begin);
            t = tree_access::raw_of(node);
        } else {
            assoc_node* node = memory().assoc(n, 0);  // its keys are in the arena already
            yojson::entry* entries = node->entries();
            const std::string_view* keys = keys_.data() + f.keys_begin;
            for (std::size_t i = 0; i < n; ++i)
                tree_access::place_entry(entries + i, keys[i], first[i]);
            node->size = n;
            keys_.resize(f.keys_begin);
            if constexpr (Track) record_container(node, true, f.offset, n, f.values_begin);
            t = tree_access::raw_of(node);
        }
        values_.resize(f.values_begin);
        if constexpr (Track) offsets_.resize(f.values_begin);
        push(t, begin_ + f.offset);
    }

    // Containers are recorded as they close, texts as they are made: both in the order the
    // arena hands out memory, so each table gets a run of ascending addresses for each chunk.
    locator::tables<Offset>& tables() noexcept {
        return positions_->tables_of<Offset>();
    }
    /// Records the container `node` that opened at `at`, and the offsets of its `n` elements,
    /// which wait on `offsets_` from `waiting` on.
    void record_container(const payload_node* node, bool assoc, std::size_t at, std::size_t n,
                          std::size_t waiting) {
        auto& t = tables();
        const Offset distance = distance_in(t.containers, container_chunk_, node);
        t.containers.push_back({static_cast<Offset>(distance | Offset{assoc}),
                                static_cast<Offset>(at), static_cast<Offset>(t.offsets.size()),
                                static_cast<Offset>(n)});
        // The usual few offsets without a call.
        if (Offset* to = t.offsets.extend(n))
            copy_bytes(reinterpret_cast<char*>(to),
                       reinterpret_cast<const char*>(offsets_.data() + waiting),
                       n * sizeof(Offset));
        else
            t.offsets.append(offsets_.data() + waiting, n);
    }
    void record_text(const payload_node* node, std::size_t at) {
        auto& t = tables();
        t.texts.push_back({distance_in(t.texts, text_chunk_, node), static_cast<Offset>(at)});
    }
    /// The distance of `node` from the base of its run in `table`, which starts a run when the
    /// arena has moved to another chunk since `seen` or the node is too far from the run's base.
    template <class Table>
    Offset distance_in(Table& table, const void*& seen, const payload_node* node) {
        const auto address = reinterpret_cast<std::uintptr_t>(node);
        if (const void* c = arena_->chunk_in_use(); c != seen || !table.fits(address))
            [[unlikely]] {
            seen = c;
            table.start(address);
        }
        return table.distance(address);
    }

    /// With Track, records that a line starts at `q`.
    void line_start(const char* q) {
        if constexpr (Track) tables().line_starts.push_back(static_cast<Offset>(offset(q)));
    }

    /// Steps over `word`; its length is a constant, so the comparison is inlined.
    template <std::size_t N>
    void literal(const char (&word)[N]) {
        constexpr std::size_t n = N - 1;
        if (static_cast<std::size_t>(end_ - p_) < n || std::memcmp(p_, word, n) != 0)
            bad_literal(word);
        p_ += n;
    }
    [[noreturn, gnu::cold, gnu::noinline]] void bad_literal(std::string_view word) const {
        const char* q = p_;
        for (std::size_t i = 0; q != end_ && i < word.size() && *q == word[i]; ++i) ++q;
        fail(q, "unexpected " + show(q, end_) + " in literal '" + std::string(word) + "'");
    }

    /// The byte at `p_`, or 0 at the end of the text: no token starts with 0, and a failure
    /// still tells the end from a 0 byte by `p_`.
    [[gnu::always_inline]] char peek() const noexcept {
        return p_ != end_ ? *p_ : '\0';
    }

    /// Steps over blanks and comments and returns the byte after them, as `peek`. Text without
    /// them, the usual case between tokens, costs one compare.
    template <bool Comma = false>
    [[gnu::always_inline]] char after_space() {
        const char c = peek();
        if (static_cast<unsigned char>(c) > ' ' && c != '/') return c;
#if defined(__SSE2__)
        // The usual blanks of indented text, a line feed and the next line's indentation of
        // fewer than 32 spaces (or tabs), found with two compares and no call.
        if (c == '\n' && end_ - p_ > 33) {  // the 32 bytes after the line feed, and one more
            const int n = leading_run32(p_ + 1, indentation_);
            const char next = p_[1 + n];
            if (static_cast<unsigned char>(next) > ' ' && next != '/') {
                line_start(p_ + 1);
                p_ += 1 + n;
                return next;
            }
            if (indented_with_other_byte(n, next)) indentation_ = _mm_set1_epi8(next);
        }
#endif
        // One space, as some writers put after every comma, without a loop.
        if (Comma && c == ' ' && end_ - p_ > 1) {
            const char next = p_[1];
            if (static_cast<unsigned char>(next) > ' ' && next != '/') {
                ++p_;
                return next;
            }
        }
        skip_space();
        return peek();
    }

    [[gnu::always_inline]] void skip_space() {
        while (p_ != end_) {
            const char c = *p_;
            if (is_blank(c)) {
                // Outside strings and comments, line feeds are all in blanks: with Track, the
                // lines are counted as they are skipped.
                if constexpr (Track)
                    p_ = skip_blanks_lines(p_, end_, [&](const char* q) { line_start(q); });
                else
                    p_ = skip_blanks(p_ + 1, end_);
                // Blanks end at a byte that is not one: only a comment may follow.
                if (!options_.allow_comments) return;
            } else if (c == '/' && options_.allow_comments) {
                comment();
            } else {
                return;
            }
        }
    }

    void comment() {
        const char* start = p_;
        if (end_ - p_ >= 2 && p_[1] == '/') {
            const void* nl = std::memchr(p_, '\n', offset(end_) - offset(p_));
            p_ = nl ? static_cast<const char*>(nl) + 1 : end_;
            if (nl != nullptr) line_start(p_);
        } else if (end_ - p_ >= 2 && p_[1] == '*') {
            const char* body = p_ + 2;
            const std::string_view rest(body, offset(end_) - offset(body));
            const std::size_t close = rest.find("*/");
            if (close == std::string_view::npos) fail(start, "unterminated comment");
            if constexpr (Track)
                each_line_start(body, body + close, [&](std::size_t at) { line_start(body + at); });
            p_ = body + close + 2;
        } else {
            fail_unexpected(p_);
        }
    }

    /// Reads the string at `p_` (its opening quote) and returns its bytes: a view into the text,
    /// or into the scratch buffer when it had escapes (valid until the next string is read).
    [[gnu::always_inline]] std::string_view string() {
        const char* start = ++p_;
        p_ = scan_plain_short(p_, end_);
        for (;;) {
            if (p_ == end_) fail(start - 1, "unterminated string");
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                std::string_view s(start, static_cast<std::size_t>(p_ - start));
                ++p_;
                return s;
            }
            if (c == '\\') return escaped(start);
            other_byte(c);  // stops where a scan of plain text would
        }
    }

    /// Steps over a control byte (refused) or over the checked text that starts at `p_` with a
    /// byte of 0x80 or above: text in other scripts runs on, so it is checked in blocks, ASCII
    /// included, up to a quote, a backslash, a control byte or the end.
    [[gnu::noinline]] void other_byte(unsigned char c) {
        if (c < 0x20) fail_control();
        for (;;) {
            p_ = string_text(p_, end_);
            if (p_ == end_ || static_cast<unsigned char>(*p_) < 0x80) return;
            if (!options_.allow_invalid_utf8) fail(p_, "invalid UTF-8 in string");
            ++p_;
        }
    }

    /// The rest of a string that has escapes, decoded into the scratch string, which is used as
    /// a buffer and written through a pointer. No escape decodes to more bytes than its text
    /// (`\uXXXX` to at most 3, a pair of them to 4), so the text read so far, plus room for one
    /// escape, bounds the bytes decoded.
    [[gnu::noinline]] std::string_view escaped(const char* start) {
        std::string& out = scratch_.text;
        std::size_t used = 0;
        const char* run = start;  // the text not decoded yet
        for (;;) {
            // To the next quote or backslash, over plain text and checked non-ASCII runs.
            for (;;) {
                p_ = scan_plain<true>(p_, end_);
                if (p_ == end_) fail(start - 1, "unterminated string");
                const auto c = static_cast<unsigned char>(*p_);
                if (c == '"' || c == '\\') break;
                other_byte(c);
            }
            const std::size_t need = offset(p_) - offset(start) + 4;
            if (out.size() < need) out.resize(std::max(need, 2 * out.size()));
            char* to = out.data();
            copy_bytes(to + used, run, static_cast<std::size_t>(p_ - run));
            used += static_cast<std::size_t>(p_ - run);
            if (*p_ == '"') {
                ++p_;
                return std::string_view(to, used);
            }
            used += escape(to + used, start);
            run = p_;
        }
    }

    /// Decodes the escape at `p_` in the string whose text begins at `start` into `to`, which has
    /// room for 4 bytes; returns how many it wrote.
    std::size_t escape(char* to, const char* start) {
        const char* at = p_;
        ++p_;
        if (p_ == end_) fail(start - 1, "unterminated string");
        if (const char byte = simple_escape(*p_)) {
            *to = byte;
            ++p_;
            return 1;
        }
        if (*p_ != 'u') {
            const auto c = static_cast<unsigned char>(*p_);
            if (c > 0x20 && c < 0x7f) fail(at, "invalid escape '\\" + std::string(1, *p_) + "'");
            fail(at, "invalid escape: " + show(p_, end_) + " after '\\'");
        }
        ++p_;
        std::uint32_t cp = hex4(at);
        if (cp >= 0xDC00 && cp <= 0xDFFF) fail(at, "lone surrogate in \\u escape");
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
                fail(at, "lone surrogate in \\u escape");
            p_ += 2;
            const std::uint32_t lo = hex4(p_ - 2);
            if (lo < 0xDC00 || lo > 0xDFFF) fail(at, "lone surrogate in \\u escape");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        }
        return put_utf8(to, cp);
    }

    /// Four hex digits at `p_`, for the escape at `at`.
    std::uint32_t hex4(const char* at) {
        const std::int32_t v = end_ - p_ < 4 ? -1 : hex4_value(p_);
        if (v < 0) fail(at, "invalid \\u escape");
        p_ += 4;
        return static_cast<std::uint32_t>(v);
    }

    [[gnu::always_inline]] raw_tree number() {
        const char* start = p_;
        const char* q = p_;
        const bool negative = *q == '-';
        q += negative;  // without a branch: signs come in no order
        std::int64_t i;
        double d;
        switch (quick_number(q, end_, negative, i, d)) {
            case quick_kind::integer: p_ = q; return tree_access::raw_int(i);
            case quick_kind::decimal: p_ = q; return tree_access::raw_float(d);
            case quick_kind::none: break;
        }
        return any_number(start, q, negative);
    }

    /// The number at `start`, of any form, or the failure of a text that is not one; `q` is past
    /// its sign.
    [[gnu::noinline]] raw_tree any_number(const char* start, const char* q, bool negative) {
        if (options_.allow_nan_infinity && negative && q != end_ && *q == 'I') {
            p_ = q;
            literal("Infinity");
            return tree_access::raw_float(-std::numeric_limits<double>::infinity());
        }
        const char* digits = q;
        if (q == end_ || !is_digit(*q)) fail_unexpected(q, " in number");
        std::uint64_t scanned = 0;  // the digits' value, exact while there are at most 19
        if (*q == '0') {
            ++q;
            if (q != end_ && is_digit(*q)) fail(start, "leading zero in number");
        } else {
            q = scan_digits(q, end_, scanned);
        }
        const char* int_end = q;
        const char* frac_end = q;
        const char* exp_start = q;
        bool integral = true;
        if (q != end_ && *q == '.') {
            ++q;
            if (q == end_ || !is_digit(*q)) fail_unexpected(q, " in number, expected a digit");
            q = scan_digits(q, end_, scanned);
            frac_end = exp_start = q;
            integral = false;
        }
        long exponent = 0;  // the exponent part's value, when it has at most 5 digits
        bool short_exponent = true;
        if (q != end_ && (*q == 'e' || *q == 'E')) {
            ++q;
            exp_start = q;
            const bool minus = q != end_ && *q == '-';
            if (q != end_ && (*q == '+' || *q == '-')) ++q;
            if (q == end_ || !is_digit(*q)) fail_unexpected(q, " in number, expected a digit");
            const char* e = q;
            for (; q != end_ && is_digit(*q); ++q)
                if (q - e < 5) exponent = exponent * 10 + (*q - '0');
            short_exponent = q - e <= 5;
            if (minus) exponent = -exponent;
            integral = false;
        }
        p_ = q;
        if (integral) {
            // More than 19 digits never fit 64 bits; 19 may.
            constexpr std::uint64_t max = std::numeric_limits<std::int64_t>::max();
            if (int_end - digits <= 19 && scanned <= max + (negative ? 1 : 0))
                return tree_access::raw_int(negative ? static_cast<std::int64_t>(0 - scanned)
                                                     : static_cast<std::int64_t>(scanned));
            return text_node(yojson_kind::Intlit,
                             std::string_view(start, static_cast<std::size_t>(q - start)), start);
        }
        double d = 0;
        // The usual decimal has at most 19 digits, all of them in `scanned`.
        const long fraction_digits = frac_end == int_end ? 0 : frac_end - int_end - 1;
        if ((int_end - digits) + fraction_digits <= 19 && short_exponent &&
            short_decimal(scanned, exponent - fraction_digits, negative, d))
            return tree_access::raw_float(d);
        if (!decimal_value(start, digits, int_end, frac_end, exp_start, q, negative, scanned, d))
            fail(start, "number out of range of a double");
        return tree_access::raw_float(d);
    }

    const char* const begin_;
    const char* p_;
    const char* const end_;
    const read_options options_;  // a copy: one load less for each option tested
    locator* positions_;
    arena* arena_ = nullptr;
    known_keys known_keys_;
    /// Short strings read so far in this document, by their bytes (without Track).
    shared_string_table shared_strings_;
    /// Without Track, every empty list and every empty object, once one is read (`Null` before).
    raw_tree empty_list_ = tree_access::raw_null();
    raw_tree empty_assoc_ = tree_access::raw_null();
#if defined(__SSE2__)
    // The byte that indents the text's lines, in every lane: spaces, until a line starts with
    // a tab.
    __m128i indentation_ = _mm_set1_epi8(' ');
#endif
    flat_stack<frame> frames_;
    flat_stack<raw_tree> values_;
    flat_stack<std::string_view> keys_;
    flat_stack<Offset> offsets_;  // with Track: where each waiting value starts
    // With Track: the chunk that each table's last record lies in.
    const void* container_chunk_ = nullptr;
    const void* text_chunk_ = nullptr;
    kept_string scratch_;
};

template <class Offset>
positioned read_positioned(std::string_view text, const read_options& options) {
    positioned result;
    result.tree = parser<true, Offset>(text, options, &result.positions).run();
    return result;
}

positioned read_with_wide_positions(std::string_view text, const read_options& options) {
    return read_positioned<std::uint64_t>(text, options);
}

}  // namespace detail

yojson read(std::string_view text, const read_options& options) {
    return detail::parser<false>(text, options, nullptr).run();
}

positioned read_with_positions(std::string_view text, const read_options& options) {
    // Offsets and node counts stay below the text's size: 32 bits hold them for most texts.
    if (text.size() <= std::numeric_limits<std::uint32_t>::max())
        return detail::read_positioned<std::uint32_t>(text, options);
    return detail::read_positioned<std::uint64_t>(text, options);
}

yojson read(std::istream& in, const read_options& options) {
    return read(detail::stream_text(in), options);
}

yojson read_file(const std::filesystem::path& path, const read_options& options) {
    return read(detail::file_text(path), options);
}
}  // namespace Sylvane::json_tree
