#pragma once
// A pull cursor over JSON text, for converters that read values straight from the text without
// building a tree; not part of the API.
//
// It reads tokens with the reader's own lexer, under every `read_options` setting, so it accepts
// exactly the text that the reader accepts. Where it cannot go on, it says so as a value, never
// by throwing: `failed()` turns true and stays so, every read after it returns at once with a
// placeholder, and `fault()` tells where it stopped. There are two reasons to stop: text that
// is not JSON (the reader, reading the text again, reports it) and a value that the caller
// cannot convert straight from the text (its type's tree converter, given that value's tree,
// reports it); the caller names that converter to each read as a `tree_check`.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

template <class Host>
struct lexer;
class arena;
class document_reader;

/// Runs a type's tree converter on a value's tree, for its failure.
using tree_check = void (*)(const yojson&);

/// Where and why a cursor stopped.
struct cursor_fault {
    /// The offset of the value that could not be read (for a failure of the text, where the
    /// cursor met it).
    std::size_t at = 0;
    /// The tree converter that reports the value's failure; none for a failure of the text.
    tree_check check = nullptr;
    /// For a failure raised by a converter of a value read as a tree: the indexes that lead
    /// from that value to the failure's node (none when the node is not in the value).
    std::optional<std::vector<std::size_t>> path;
    /// Whether a converter raised the failure (then `path` applies and `check` is none).
    bool raised = false;
    /// For a failure of the text: the reader's reason, and the literal of a `bad_literal`.
    parse_errc code = parse_errc::other;
    std::string_view word;
};

/// A key as it stands in a text that writes it plainly: `"key"`, quotes included, padded with
/// zeros to 32 bytes so that it is compared with the text in whole blocks.
struct quoted_key {
    alignas(16) char text[32] = {};
    std::size_t size = 0;  // of the quoted key

    constexpr quoted_key() = default;
    /// `key`, whose bytes stand for themselves in a string (printable ASCII, no quote, no
    /// backslash); a key of 30 bytes or more is kept empty and never matches by block.
    constexpr explicit quoted_key(std::string_view key) {
        if (key.size() + 2 > sizeof text) return;
        text[0] = '"';
        for (std::size_t i = 0; i < key.size(); ++i) text[i + 1] = key[i];
        text[key.size() + 1] = '"';
        size = key.size() + 2;
    }
};

/// Reads JSON text token by token. Containers are read with `begin_array`/`next_element` and
/// `begin_object`/`key`/`next_entry`; a value may be skipped, or read as a tree.
class SYLVANE_API text_cursor {
public:
    /// The kind of a value, told by its first byte.
    enum class kind : unsigned char { null, boolean, number, string, array, object, other };

    /// A cursor at the start of `text`, a value inside `depth` open containers (of a larger
    /// text that is read piece by piece).
    text_cursor(std::string_view text, const read_options& options, std::size_t depth = 0) noexcept
        : begin_(text.data()),
          p_(text.data()),
          end_(text.data() + text.size()),
          mark_(text.data()),
          options_(options),
          depth_(depth) {}
    text_cursor(const text_cursor&) = delete;
    text_cursor& operator=(const text_cursor&) = delete;
    /// Lets go of the arena of the values read as trees, which those trees keep.
    ~text_cursor();
    /// Values read as trees are read by `trees`, which outlives the cursor, rather than each by
    /// a reader of its own: for a reader of many values one after another.
    void read_trees_with(document_reader& trees) noexcept { tree_reader_ = &trees; }
    /// The `text_padding` bytes after the text may be read (they are allocated and set, and
    /// nothing depends on them): keys near the end of a short text are then matched in blocks
    /// too. For the readers of lines, whose texts stand in buffers of their own.
    void text_is_padded() noexcept { padded_ = true; }
    static constexpr std::size_t text_padding = 32;

    /// Where the cursor stands, to come back to.
    struct state {
        const char* p;
        std::size_t depth;
    };
    state save() const noexcept { return {p_, depth_}; }
    /// Goes back to `s`, unless the cursor has stopped since.
    void restore(const state& s) noexcept {
        if (failed_) return;
        p_ = s.p;
        depth_ = s.depth;
    }

    /// Whether the cursor has stopped; every read after that returns at once.
    bool failed() const noexcept { return failed_; }
    const cursor_fault& fault() const noexcept { return fault_; }

    /// The kind of the next value (after white space), without reading it.
    kind peek();

    /// Reads `null` if it is next; false, reading nothing, for any other value.
    bool read_null();
    bool read_bool(tree_check check);
    /// A number that the reader makes an `Int`.
    std::int64_t read_int(tree_check check);
    /// A number as a double: a `Float`'s value or an `Int` converted, as the tree's converter
    /// gives them (so `-0` is 0.0).
    double read_double(tree_check check);
    /// A number as `read_double` reads it; one that the reader makes an `Int` is also given
    /// exactly, in `integer`, with `is_integer` set.
    double read_number(tree_check check, std::int64_t& integer, bool& is_integer);
    /// A string, decoded into `out`.
    void read_string(std::string& out, tree_check check);
    /// A string, decoded: a view into the text, or into a buffer that the next string reuses.
    std::string_view read_string_view(tree_check check);

    /// Steps into an array; false when it is empty (and then already closed) or not one.
    bool begin_array(tree_check check);
    /// After an element: true when another follows, false when the array closes here.
    bool next_element() {
        if (space() == ',') {
            ++p_;
            // The next value's read steps over the white space before it.
            if (options_.allow_trailing_commas) [[unlikely]]
                return !closes_after_comma(']');
            return true;
        }
        return closes(']', parse_errc::expected_comma_or_bracket);
    }
    /// Steps into an object; false when it is empty (and then already closed) or not one.
    bool begin_object(tree_check check);
    /// The next key and its colon, after any white space; the view lasts until the next
    /// string is read.
    std::string_view key();
    /// Reads the next key and its colon if the key is `expected`, whose bytes must stand for
    /// themselves in a string (printable ASCII, no quote, no backslash); false, reading nothing,
    /// if the text has another key or writes this one otherwise. Objects whose keys come as
    /// expected are read without scanning their keys.
    bool key_is(std::string_view expected);
    /// As `key_is`, for a key kept quoted and padded: matched with one or two block compares.
    bool key_is(const quoted_key& expected);
    /// After an entry's value: true when another entry follows, false when the object closes.
    [[gnu::always_inline]] bool next_entry() {
        if (space() == ',') {
            ++p_;
            // `key` and `key_is` step over the white space before the key.
            if (options_.allow_trailing_commas) [[unlikely]]
                return !closes_after_comma('}');
            return true;
        }
        return closes('}', parse_errc::expected_comma_or_brace);
    }

    /// Steps over the next value, checking it as the reader would.
    void skip();
    /// The next value as a tree, read by the reader in place (its failures are the reader's,
    /// thrown as `parse_error`); `Null` once the cursor has stopped. The trees read by one
    /// cursor share one arena.
    yojson read_tree();
    /// Checks that only white space is left.
    void finish();

    /// The offset of the next byte to read.
    std::size_t offset() const noexcept { return static_cast<std::size_t>(p_ - begin_); }
    /// The bytes of text after the cursor.
    std::size_t bytes_left() const noexcept { return static_cast<std::size_t>(end_ - p_); }
    /// Whether the one container open is the text's value itself, nothing around it: what
    /// follows it in the text is then its own rest.
    bool in_outermost() const noexcept { return depth_ == 1; }
    /// Steps over white space to the next value, and returns its offset.
    std::size_t next_value_start();
    /// The offset of the value that the last read began.
    std::size_t value_start() const noexcept { return static_cast<std::size_t>(mark_ - begin_); }
    /// Stops at the value that the last read began, which `check` reports.
    void reject(tree_check check) { reject_at(value_start(), check); }
    /// Stops at the value at offset `at`, which `check` reports; once stopped, nothing changes.
    void reject_at(std::size_t at, tree_check check) noexcept;
    /// Lays a failure met inside the value at offset `at` (an element's) on that value, which
    /// `check` reports: for containers whose converter checks the whole before its parts.
    void blame(std::size_t at, tree_check check) noexcept {
        if (!failed_ || fault_.raised) return;
        fault_.at = at;
        fault_.check = check;
    }
    /// Records that a converter, given the tree of the value at offset `at`, raised a failure
    /// at `path` within it; the caller then lets the failure go on.
    void note_raised(std::size_t at, std::optional<std::vector<std::size_t>> path) noexcept;

    /// The most that the stack of staged elements holds at once.
    static constexpr std::size_t stage_bytes = std::size_t{16} << 10;
    /// Room for `bytes`, a multiple of 16, on the cursor's stack of staged elements, aligned as
    /// `operator new` aligns: where the first elements of an array are made before their
    /// count is known. Null when the stack has no room left (the caller then does without).
    /// Given back last in, first out, by `unstage`.
    void* stage(std::size_t bytes) {
        if (static_cast<std::size_t>(stage_end_ - stage_top_) < bytes) return stage_first(bytes);
        void* room = stage_top_;
        stage_top_ += bytes;
        return room;
    }
    void unstage(std::size_t bytes) noexcept { stage_top_ -= bytes; }

private:
    friend struct lexer<text_cursor>;
    /// Containers open, for the lexer's guess of a line's indentation.
    std::size_t depth() const noexcept { return depth_; }
    static constexpr bool counts_lines = false;
    static constexpr bool inlines_blanks = false;
    void line_start(const char*) noexcept {}
    /// The lexer's report of text that is not JSON: the cursor stops.
    void fault(const char* at, parse_errc code, std::string_view word = {}) noexcept;

    /// Steps over the white space after a value and returns the next byte (0 at the end); text
    /// without any between tokens costs one comparison, every byte that may start white space
    /// goes out of line. A comma follows a value on its line, so a line feed here is guessed to
    /// lead to the container's closing bracket.
    char space() {
        if (p_ != end_ && static_cast<unsigned char>(*p_) > ' ' && *p_ != '/') return *p_;
        return more_space();
    }
    char more_space();
    /// Steps over white space to the next value, marks its start, and returns its first byte.
    char begin_value();
    /// Whether the container closes with `closer` here (closing it), or fails with `code`.
    bool closes(char closer, parse_errc code) {
        if (p_ != end_ && *p_ == closer) return close();
        fault(p_, code);
        return false;
    }
    /// After a comma that trailing commas may follow: whether `closer` follows it, closing.
    bool closes_after_comma(char closer);
    bool key_is_slow(const quoted_key& expected);
    /// `stage` where the stack is full, or not taken yet: takes it on the first call.
    void* stage_first(std::size_t bytes);
    /// The colon after a key, past white space.
    void colon();
    bool close() noexcept {
        ++p_;
        --depth_;
        return false;
    }
    /// Steps into the container whose opening byte is at `p_`; false when it is empty.
    bool open(char closer);
    /// The number at `p_`, checked as a number whatever the caller wants of it: an integer
    /// only when `integer` is given without `is_integer`.
    double number_as_double(tree_check check, std::int64_t* integer, bool* is_integer);

    const char* begin_;
    const char* p_;
    const char* end_;
    const char* mark_;  // where the last read began its value
    read_options options_;
    std::size_t depth_ = 0;  // containers open
    // The byte that indents the text's lines: spaces, until a line starts with a tab.
    char indentation_ = ' ';
    // The blanks (up to 32) that began the last line whose token was at each depth, modulo 8.
    unsigned char indents_[8] = {};
    bool failed_ = false;
    bool padded_ = false;
    unsigned char short_ints_ = 0;  // short integers read in a row, up to 2
    cursor_fault fault_;
    std::string scratch_;
    // The stack of staged elements: the thread's spare one, taken at the first `stage`.
    char* stage_begin_ = nullptr;
    char* stage_top_ = nullptr;
    char* stage_end_ = nullptr;
    arena* trees_ = nullptr;                  // holds the values read as trees; one reference
    document_reader* tree_reader_ = nullptr;  // reads them instead, when set
};

}  // namespace Sylvane::json_tree::detail
