#pragma once
// A pull cursor over JSON text, for converters that read values straight from the text without
// building a tree; not part of the API.
//
// It accepts exactly what the reader accepts, and reads every number as the reader would
// classify it. Where it meets anything it does not read (text the reader refuses, an `Intlit`,
// a value of another kind than asked for), it throws `cursor_gave_up`: the caller then reads
// the text with the reader, which reports the failure.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// Thrown where a `text_cursor` stops; carries nothing, the reader says what was wrong.
struct cursor_gave_up {};

/// Reads JSON text token by token. Containers are read with `begin_array`/`next_element` and
/// `begin_object`/`key`/`next_entry`; a value may be skipped, or read as a tree.
class SYLVANE_API text_cursor {
public:
    /// The kind of a value, told by its first byte.
    enum class kind : unsigned char { null, boolean, number, string, array, object, other };

    /// Whether the cursor reads text under `options`: comments and the NaN and Infinity
    /// literals are left to the reader.
    static bool handles(const read_options& options) noexcept {
        return !options.allow_comments && !options.allow_nan_infinity;
    }

    text_cursor(std::string_view text, const read_options& options) noexcept
        : p_(text.data()), end_(text.data() + text.size()), options_(options) {}
    text_cursor(const text_cursor&) = delete;
    text_cursor& operator=(const text_cursor&) = delete;

    /// Throws `cursor_gave_up`.
    [[noreturn]] static void give_up();

    /// The kind of the next value (after white space), without reading it.
    kind peek() noexcept {
        space();
        if (p_ == end_) return kind::other;
        switch (*p_) {
            case 'n': return kind::null;
            case 't':
            case 'f': return kind::boolean;
            case '"': return kind::string;
            case '[': return kind::array;
            case '{': return kind::object;
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
            case '9': return kind::number;
            default: return kind::other;
        }
    }

    /// Reads `null` if it is next; false, reading nothing, for any other value.
    bool read_null();
    bool read_bool();
    /// A number that the reader makes an `Int`.
    std::int64_t read_int();
    /// A number as a double: a `Float`'s value or an `Int` converted, as the tree's converter
    /// gives them (so `-0` is 0.0); an `Intlit` gives up.
    double read_double();
    /// A string, decoded into `out`.
    void read_string(std::string& out);
    /// A string, decoded: a view into the text, or into a buffer that the next string reuses.
    std::string_view read_string_view();

    /// Steps into an array; false when it is empty (and then already closed).
    bool begin_array();
    /// After an element: true when another follows, false when the array closes here.
    bool next_element() {
        space();
        if (p_ != end_ && *p_ == ',') {
            ++p_;
            // The next value's read steps over the white space before it.
            if (options_.allow_trailing_commas) [[unlikely]]
                return !closes_after_comma(']');
            return true;
        }
        if (p_ != end_ && *p_ == ']') return close();
        give_up();
    }
    /// Steps into an object; false when it is empty (and then already closed).
    bool begin_object();
    /// The next key and its colon, after any white space; the view lasts until the next
    /// string is read.
    std::string_view key();
    /// Reads the next key and its colon if the key is `expected`, whose bytes must stand for
    /// themselves in a string (printable ASCII, no quote, no backslash); false, reading nothing,
    /// if the text has another key or writes this one otherwise. Objects whose keys come as
    /// expected are read without scanning their keys.
    bool key_is(std::string_view expected);
    /// After an entry's value: true when another entry follows, false when the object closes.
    bool next_entry() {
        space();
        if (p_ != end_ && *p_ == ',') {
            ++p_;
            // `key` and `key_is` step over the white space before the key.
            if (options_.allow_trailing_commas) [[unlikely]]
                return !closes_after_comma('}');
            return true;
        }
        if (p_ != end_ && *p_ == '}') return close();
        give_up();
    }

    /// Steps over the next value, checking it as the reader would.
    void skip();
    /// The next value as a tree, read by the reader.
    yojson read_tree();
    /// Checks that only white space is left.
    void finish();

private:
    /// Steps over white space; text without any between tokens costs one comparison, every
    /// byte that may start white space goes out of line.
    void space() noexcept {
        if (p_ != end_ && static_cast<unsigned char>(*p_) <= ' ') more_space();
    }
    void more_space() noexcept;
    /// As `space`, inlined into the cursor's own reads.
    void step_space() noexcept;
    /// After a comma that trailing commas may follow: whether `closer` follows it, closing.
    bool closes_after_comma(char closer);
    /// The colon after a key, past white space; true, or gives up.
    bool colon_after_space();
    bool close() noexcept {
        ++p_;
        --depth_;
        return false;
    }
    void open();

    /// The number at `p_`: its kind and value (an `Intlit` gives only its kind).
    yojson_kind number(std::int64_t& i, double& d);
    std::string_view string(std::string& buffer);
    void escape(std::string& out);
    std::uint32_t hex4();

    const char* p_;
    const char* end_;
    const read_options& options_;
    std::size_t depth_ = 0;  // containers open
    // The byte that indents the text's lines: spaces, until a line starts with a tab.
    char indentation_ = ' ';
    std::string scratch_;
};

}  // namespace Sylvane::json_tree::detail
