// The cursor's reads: tokens by the reader's lexer, structure by the converters' pulls.

#include <sylvane/json_tree/detail/text_cursor.hpp>

#include <sylvane/json_tree/detail/document_reader.hpp>

#include "arena.hpp"
#include "block_cache.hpp"
#include "lexer.hpp"
#include "read_value.hpp"

#include <limits>
#include <new>
#include <utility>

namespace Sylvane::json_tree::detail {

using lex = lexer<text_cursor>;

namespace {

/// The thread's spare stack of staged elements: null while a cursor uses it, or before the
/// first. Trivially destructible: the thread's kept memory frees it (`release_spare_stage`).
constinit thread_local char* spare_stage = nullptr;

void release_spare_stage() noexcept {
    if (spare_stage == nullptr) return;
    unkeep(text_cursor::stage_bytes);
    ::operator delete(std::exchange(spare_stage, nullptr));
}

}  // namespace

text_cursor::~text_cursor() {
    if (trees_ != nullptr) release_arena(trees_);
    if (stage_begin_ != nullptr) {
        // Kept for the thread's next cursor, within the thread's limit on kept memory.
        if (spare_stage == nullptr && on_release(&release_spare_stage) && keep(stage_bytes))
            spare_stage = stage_begin_;
        else
            ::operator delete(stage_begin_);
    }
}

void* text_cursor::stage_first(std::size_t bytes) {
    if (stage_begin_ != nullptr || bytes > stage_bytes) return nullptr;  // full
    if (spare_stage != nullptr) {
        unkeep(stage_bytes);
        stage_begin_ = std::exchange(spare_stage, nullptr);
    } else {
        stage_begin_ = static_cast<char*>(::operator new(stage_bytes));
    }
    stage_top_ = stage_begin_;
    stage_end_ = stage_begin_ + stage_bytes;
    return stage(bytes);
}

void text_cursor::fault(const char* at, parse_errc code, std::string_view word) noexcept {
    if (failed_) return;
    reject_at(static_cast<std::size_t>(at - begin_), nullptr);
    fault_.code = code;
    fault_.word = word;
}

void text_cursor::reject_at(std::size_t at, tree_check check) noexcept {
    if (failed_) return;
    failed_ = true;
    fault_.at = at;
    fault_.check = check;
    // Every read after this one meets the end of the text and returns at once.
    p_ = end_;
}

void text_cursor::note_raised(std::size_t at,
                              std::optional<std::vector<std::size_t>> path) noexcept {
    failed_ = true;
    fault_.at = at;
    fault_.check = nullptr;
    fault_.path = std::move(path);
    fault_.raised = true;
    p_ = end_;
}

char text_cursor::more_space() {
    return lex::after_space<false, false, true>(*this);
}

text_cursor::kind text_cursor::peek() {
    const char c = lex::after_space(*this);
    if (c == '-' || is_digit(c)) return kind::number;
    switch (c) {
        case 'n': return kind::null;
        case 't':
        case 'f': return kind::boolean;
        case '"': return kind::string;
        case '[': return kind::array;
        case '{': return kind::object;
        case 'N':
        case 'I': return options_.allow_nan_infinity ? kind::number : kind::other;
        default: return kind::other;
    }
}

[[gnu::always_inline]] inline char text_cursor::begin_value() {
    const char c = lex::after_space(*this);
    mark_ = p_;
    return c;
}

std::size_t text_cursor::next_value_start() {
    begin_value();
    return value_start();
}

bool text_cursor::read_null() {
    if (begin_value() != 'n') return false;
    return lex::literal(*this, "null");
}

bool text_cursor::read_bool(tree_check check) {
    const char c = begin_value();
    if (c == 't') return lex::literal(*this, "true");
    if (c == 'f') {
        lex::literal(*this, "false");
    } else {
        reject(check);
    }
    return false;
}

// Inlined into each caller: the integers of a long array are read one call each.
[[gnu::always_inline]] inline double text_cursor::number_as_double(tree_check check,
                                                                   std::int64_t* integer,
                                                                   bool* is_integer) {
    const char c = begin_value();
    if (c == '-' || is_digit(c)) {
        const number_value n = lex::number(*this);
        switch (n.kind) {
            case number_kind::integer:
                if (integer != nullptr) *integer = n.integer();
                if (is_integer != nullptr) *is_integer = true;
                return static_cast<double>(n.integer());
            case number_kind::decimal:
                if (integer == nullptr || is_integer != nullptr) return n.decimal();
                break;
            case number_kind::big: break;
            case number_kind::failed: return 0;
        }
    } else if ((integer == nullptr || is_integer != nullptr) && options_.allow_nan_infinity &&
               (c == 'N' || c == 'I')) {
        if (c == 'N')
            return lex::literal(*this, "NaN") ? std::numeric_limits<double>::quiet_NaN() : 0;
        return lex::literal(*this, "Infinity") ? std::numeric_limits<double>::infinity() : 0;
    }
    reject(check);
    return 0;
}

std::int64_t text_cursor::read_int(tree_check check) {
    std::int64_t i = 0;
    number_as_double(check, &i, nullptr);
    return i;
}

double text_cursor::read_double(tree_check check) {
    return number_as_double(check, nullptr, nullptr);
}

double text_cursor::read_number(tree_check check, std::int64_t& integer, bool& is_integer) {
    is_integer = false;
    return number_as_double(check, &integer, &is_integer);
}

void text_cursor::read_string(std::string& out, tree_check check) {
    if (begin_value() != '"') return reject(check);
    const std::string_view s = lex::string(*this, out);
    // Decoded into `out` when it had escapes; its bytes in the text otherwise.
    if (s.data() == out.data()) {
        out.resize(s.size());
    } else {
        out.assign(s);
    }
}

std::string_view text_cursor::read_string_view(tree_check check) {
    if (begin_value() != '"') {
        reject(check);
        return {};
    }
    return lex::string(*this, scratch_);
}

[[gnu::always_inline]] inline bool text_cursor::open(char closer) {
    if (depth_ >= options_.max_depth) {
        fault(p_, parse_errc::too_deep);
        return false;
    }
    ++depth_;
    ++p_;
    if (lex::after_space(*this) == closer) return close();
    return true;
}

bool text_cursor::begin_array(tree_check check) {
    if (begin_value() == '[') return open(']');
    reject(check);
    return false;
}

bool text_cursor::begin_object(tree_check check) {
    if (begin_value() == '{') return open('}');
    reject(check);
    return false;
}

std::string_view text_cursor::key() {
    if (lex::after_space(*this) != '"') {
        fault(p_, parse_errc::expected_key);
        return {};
    }
    const std::string_view k = lex::string(*this, scratch_);
    colon();
    return k;
}

bool text_cursor::key_is(std::string_view expected) {
    lex::after_space(*this);  // indented text has a line feed and the indentation before each key
    const std::size_t n = expected.size();
    if (static_cast<std::size_t>(end_ - p_) < n + 3 || *p_ != '"' || p_[n + 1] != '"' ||
        !same_bytes(p_ + 1, expected.data(), n))
        return false;
    p_ += n + 2;
    if (*p_ == ':') {
        ++p_;  // the value's read steps over the white space before it
    } else {
        colon();
    }
    return true;
}

bool text_cursor::key_is(const quoted_key& expected) {
#if defined(__SSE2__)
    const std::size_t n = expected.size;
    // The bytes the text must hold here: the two blocks and the colon's place, or, where the
    // blocks may run into the padding, the quoted key and the colon's place.
    static_assert(sizeof expected.text <= text_padding);
    const std::size_t needed = padded_ ? n + 1 : sizeof expected.text + 1;
    if (n != 0 && static_cast<std::size_t>(end_ - p_) >= needed) {
        if (static_cast<unsigned char>(*p_) <= ' ' || *p_ == '/') {
            lex::after_space(*this);
            if (static_cast<std::size_t>(end_ - p_) < needed) return key_is_slow(expected);
        }
        const auto equal16 = [](const char* a, const char* b) {
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                               _mm_load_si128(reinterpret_cast<const __m128i*>(b)))));
        };
        // The quoted key's bytes, in the first block or in both.
        const unsigned equal =
            n <= 16 ? equal16(p_, expected.text) | 0xFFFF0000u
                    : equal16(p_, expected.text) | equal16(p_ + 16, expected.text + 16) << 16;
        const std::uint32_t want = n == 32 ? ~0u : (1u << n) - 1;
        if ((equal & want) != want) return false;
        p_ += n;
        if (*p_ == ':') {
            ++p_;  // the value's read steps over the white space before it
        } else {
            colon();
        }
        return true;
    }
#endif
    return key_is_slow(expected);
}

bool text_cursor::key_is_slow(const quoted_key& expected) {
    if (expected.size == 0) return false;
    return key_is(std::string_view(expected.text + 1, expected.size - 2));
}

void text_cursor::colon() {
    if (lex::after_space(*this) == ':') {
        ++p_;
    } else {
        fault(p_, parse_errc::expected_colon);
    }
}

bool text_cursor::closes_after_comma(char closer) {
    if (lex::after_space(*this) != closer) return false;
    close();
    return true;
}

void text_cursor::skip() {
    // The containers opened here, by their closing bytes; the reader's checks on each token.
    std::string closers;
    do {
        const char c = begin_value();
        if (c == '[' || c == '{') {
            const char closer = c == '[' ? ']' : '}';
            if (open(closer)) {
                closers += closer;
                if (closer == '}') key();
                continue;
            }
        } else if (c == '"') {
            lex::string(*this, scratch_);
        } else if (c == 't') {
            lex::literal(*this, "true");
        } else if (c == 'f') {
            lex::literal(*this, "false");
        } else if (c == 'n') {
            lex::literal(*this, "null");
        } else if (c == '-' || is_digit(c)) {
            lex::number(*this);
        } else if (c == 'N' && options_.allow_nan_infinity) {
            lex::literal(*this, "NaN");
        } else if (c == 'I' && options_.allow_nan_infinity) {
            lex::literal(*this, "Infinity");
        } else {
            fault(p_, parse_errc::unexpected_byte);
        }
        // A value is complete: close containers until one expects another element.
        while (!closers.empty()) {
            const bool object = closers.back() == '}';
            if (!(object ? next_entry() : next_element())) {
                closers.pop_back();
                continue;
            }
            if (object) key();
            break;
        }
    } while (!closers.empty() && !failed_);
}

yojson text_cursor::read_tree() {
    begin_value();
    if (failed_) return yojson();
    const std::string_view text(begin_, static_cast<std::size_t>(end_ - begin_));
    std::size_t at = static_cast<std::size_t>(p_ - begin_);
    yojson value = tree_reader_ != nullptr ? tree_reader_->read_value(text, at, depth_, padded_)
                                           : read_value_at(text, at, depth_, options_, trees_);
    p_ = begin_ + at;
    return value;
}

void text_cursor::finish() {
    if (p_ == end_) return;  // the usual document, with nothing after it
    if (lex::after_space(*this) != '\0' || p_ != end_) fault(p_, parse_errc::text_after_value);
}

}  // namespace Sylvane::json_tree::detail
