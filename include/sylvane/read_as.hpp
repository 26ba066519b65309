#pragma once
/// Reading JSON text straight into a type, with failures that say where they are.
///
///     auto t = Sylvane::read_as<timeline>(text);
///
/// The value is read straight from the text, without a tree (`direct_read.hpp`). Only when that
/// stops (text that is not JSON, a value that does not convert) is the text read a second time,
/// as a tree with the places of its nodes: the reader reports text that is not JSON, the tree
/// converter of the value where the direct read stopped reports that value's failure, and the
/// places give where it starts. The failure is a `located_error`, still caught as
/// `Treeform::Of_yojson_error`, whose `what()` ends with the place:
/// "Sylvane__Treeform.Of_yojson_error: int_of_yojson: integer needed (at /statuses/0/id, line 12,
/// column 9)". Converters run once per value; their exceptions other than conversion failures,
/// and `std::bad_alloc`, reach the caller as they are.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/detail/routes.hpp>
#include <sylvane/derive/detail/value_slot.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/nullable_field.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane {

/// A conversion failure of `read_as`, with the JSON Pointer of the offending value in the
/// document and its position in the text. The base part (cause, tree, message) is the
/// original failure's, unchanged.
class SYLVANE_API located_error : public Treeform::Of_yojson_error {
public:
    /// `failure` located at `pointer` and `where`; either may be unknown (a failure whose tree
    /// is not a node of the document, made by a hand-written converter).
    located_error(const Treeform::Of_yojson_error& failure, std::optional<std::string> pointer,
                  std::optional<text_position> where);
    located_error(const located_error&) noexcept = default;
    located_error& operator=(const located_error&) noexcept = default;
    ~located_error() override;

    /// The original `what()`, then what is known of the place and the value: " (at <pointer>,
    /// line <l>, column <c>; met <value>)", and "; expected one of <tags>" before the closing
    /// parenthesis where an enumeration or a variant met a tag it does not list.
    const char* what() const noexcept override;

    /// The JSON Pointer of the offending value ("" for the root); empty if unknown.
    std::optional<std::string_view> pointer() const noexcept;
    /// Where the offending value starts in the text; empty if unknown.
    std::optional<text_position> position() const noexcept;
    /// The line of `position()` (from 1), or 0 if unknown.
    std::size_t line() const noexcept { return has_position_ ? where_.line : 0; }
    /// The column of `position()` (from 1, in bytes), or 0 if unknown.
    std::size_t column() const noexcept { return has_position_ ? where_.column : 0; }
    /// The offending value as compact JSON text, cut after about 64 bytes and then ended by
    /// "...": `null`, `"archived"`, `{"x":3}`.
    std::string_view met() const noexcept;
    /// Where an enumeration or a variant met a tag it does not list (or no tag), the tags
    /// allowed as JSON text, in listing order: `"open", "closed"` or `1, 2`; else empty.
    std::string_view expected() const noexcept;

private:
    // what(), the pointer, the value met and the tags expected, each ended by a NUL; its copy
    // cannot throw.
    std::runtime_error text_;
    std::size_t what_size_ = 0;
    std::size_t pointer_size_ = 0;
    std::size_t met_size_ = 0;
    std::size_t expected_size_ = 0;
    bool has_pointer_ = false;
    bool has_position_ = false;
    text_position where_;
};

namespace derive::detail {

/// Throws `failure` located in `root`, which was read from `text` with `options`.
[[noreturn]] SYLVANE_API void raise_located(std::string_view text, const read_options& options,
                                            const yojson& root,
                                            const Treeform::Of_yojson_error& failure);
/// Throws `failure`, raised by a converter during the direct read of `text` and noted in
/// `fault`, located in the text; a `parse_error` of the text comes first.
[[noreturn]] SYLVANE_API void raise_noted(std::string_view text, const read_options& options,
                                          const json_tree::detail::cursor_fault& fault,
                                          const Treeform::Of_yojson_error& failure);

/// The whole file at `path`; throws `std::system_error` if it cannot be read.
SYLVANE_API std::string file_text(const std::filesystem::path& path);

}  // namespace derive::detail

namespace derive::detail {

/// Reads `text` straight into `out` with `read`, and returns whether it did; otherwise the
/// cursor stopped at `fault`. A converter's failure is raised located. The text's cursor and
/// the failures' handling, compiled once: each type gives its own function only.
/// `padded`: the text is followed by the cursor's `text_padding` readable bytes.
SYLVANE_API bool read_text_value(std::string_view text, const read_options& options, void* out,
                                 void (*read)(json_tree::detail::text_cursor& c, void* out),
                                 json_tree::detail::cursor_fault& fault, bool padded = false);
/// Reads `text` as a tree after the direct read stopped at `fault`, and converts it into `out`
/// with `convert`; a failure is raised located.
SYLVANE_API void read_tree_value(std::string_view text, const read_options& options,
                                 const json_tree::detail::cursor_fault& fault, void* out,
                                 void (*convert)(const yojson& tree, void* out));

/// The value of a `T` read from `c`, made in the `Out` (a `std::optional<T>` or a
/// `value_slot<T>`) at `out`.
template <class T, class Out>
void emplace_read(json_tree::detail::text_cursor& c, void* out) {
    static_cast<Out*>(out)->emplace(direct_value<T>{c});
}
/// The value of a `T` converted from `tree`, made in the `Out` at `out`.
template <class T, class Out>
void emplace_converted(const yojson& tree, void* out) {
    static_cast<Out*>(out)->emplace(convert_after_stop<T>(tree));
}

/// `read_as<T>(text, options)` made in `out` (a `std::optional<T>` or a `value_slot<T>`),
/// without moving it out of a return value: for readers that give many values one at a time.
/// `padded`: the text is followed by the cursor's `text_padding` readable bytes.
template <class T, class Out>
void read_as_into(Out& out, std::string_view text, const read_options& options,
                  bool padded = false);

}  // namespace derive::detail

/// The JSON text `text` as a `T`. Throws `parse_error` for text that is not JSON and
/// `located_error` when the value does not convert.
template <class T>
T read_as(std::string_view text, const read_options& options = {}) {
    if constexpr (std::is_move_constructible_v<T> && !std::is_same_v<T, yojson>) {
        derive::detail::value_slot<T> value;
        derive::detail::read_as_into<T>(value, text, options);
        return value.take();
    } else {
        // A tree is what the reader makes.
        SYLVANE_COUNT_ROUTE(trees_read);
        const yojson root = read(text, options);
        try {
            return of_yojson<T>(root);
        } catch (const Treeform::Of_yojson_error& failure) {
            derive::detail::raise_located(text, options, root, failure);
        }
    }
}

namespace derive::detail {

template <class T, class Out>
void read_as_into(Out& out, std::string_view text, const read_options& options, bool padded) {
    if constexpr (std::is_move_constructible_v<T> && !std::is_same_v<T, yojson>) {
        json_tree::detail::cursor_fault fault;
        if (!read_text_value(text, options, &out, &emplace_read<T, Out>, fault, padded)) {
            SYLVANE_COUNT_ROUTE(trees_read);
            out.reset();
            read_tree_value(text, options, fault, &out, &emplace_converted<T, Out>);
        }
    } else {
        out.emplace(read_as<T>(text, options));
    }
}

}  // namespace derive::detail

/// The JSON file at `path` as a `T`: `read_as` on its text; also throws `std::system_error`
/// if the file cannot be read.
template <class T>
T read_file_as(const std::filesystem::path& path, const read_options& options = {}) {
    return read_as<T>(derive::detail::file_text(path), options);
}

}  // namespace Sylvane
