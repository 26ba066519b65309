#pragma once
/// Reading a value straight from JSON text, without a tree: what `read_as` tries first.
///
/// Each type is read as its own converter would read its tree, chosen by that converter's
/// type, so that a type read here is one whose tree rules are known: the primitive types and
/// checked numbers, the standard sequences, options, owning pointers, dictionaries with string
/// or integer keys, derived records, enumerations and internally tagged variants whose tag comes
/// first. Any other type (other variants, hand-written converters, tuples, sets, the library's
/// containers) reads its value as a tree and converts it. A value that the tree converter would
/// refuse, or would read in a way not mirrored here, stops the cursor at that value, naming its
/// type's tree converter (`check_as<T>`), which `read_as` then runs on that value's tree for the
/// exact failure. Nothing here throws to give up; the failures of converters run on trees propagate
/// as they are, noted with their place.
///
/// This header is the generic part. The reader of each kind of type is with its converters
/// (mapping.hpp, numbers.hpp, pointers.hpp, std_containers.hpp, record.hpp, sum.hpp), which
/// include this header; `read_as.hpp` includes them all, so that every reader is declared
/// before `read_direct` is instantiated.

#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/detail/convert.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>

namespace Sylvane::derive::detail {

using json_tree::detail::text_cursor;
using json_tree::detail::tree_check;

/// The type of `T`'s tree-to-value converter.
template <class T>
using of_converter_t = std::remove_cvref_t<decltype(converters_of<T>().of)>;

/// `of_yojson<T>(tree)` where a direct read stopped: the same value or failure, by the
/// converter's field table where it has one (a record's `read_by_table`), so that these rare
/// reads do not make each record's converter be compiled a second time, unrolled.
template <class T>
T convert_after_stop(const yojson& tree) {
    if constexpr (requires { of_converter_t<T>::read_by_table(tree, std::string_view{}); })
        return of_converter_t<T>::read_by_table(tree, {});
    else
        return of_yojson<T>(tree);
}

/// Runs `T`'s tree converter on `tree`, for its failure.
template <class T>
void check_as(const yojson& tree) {
    (void)convert_after_stop<T>(tree);
}

/// The indexes (list items or object entries) that lead from `root` to the node at `address`;
/// nothing if no node is there.
SYLVANE_API std::optional<std::vector<std::size_t>> path_to(const yojson& root,
                                                            const yojson* address);

/// Thrown only where a value must be returned after the cursor stopped and its type has no
/// value to stand in for it (a type read as a tree that cannot be default-constructed).
struct cursor_stopped {};

/// A stand-in for the value of a read that did not happen: the cursor has stopped, and the
/// whole read will be discarded.
template <class T>
T placeholder() {
    if constexpr (std::is_default_constructible_v<T>) {
        return T{};
    } else {
        throw cursor_stopped{};
    }
}

/// The next value of `c` read as a tree and converted to a `T`. A failure of the converter is
/// noted with its place in the value, and goes on.
template <class T>
T read_as_tree(text_cursor& c) {
    // A tree is the value itself: moved out, rather than copied by its converter (a copy takes
    // a reference to the tree's memory and the drop gives it back, two atomic operations a
    // value, which were a tenth of reading an array's items as trees).
    if constexpr (std::is_same_v<T, yojson>) {
        return c.read_tree();
    } else {
        const yojson tree = c.read_tree();
        if (c.failed()) [[unlikely]]
            return placeholder<T>();
        try {
            return of_yojson<T>(tree);
        } catch (const Treeform::Of_yojson_error& failure) {
            c.note_raised(c.value_start(), path_to(tree, failure.tree_address()));
            throw;
        }
    }
}

/// Reads a `T` whose tree converter is `Of`. By default: the value as a tree, converted.
template <class T, class Of>
struct direct_reader {
    static constexpr bool through_tree = true;
    static T read(text_cursor& c) { return read_as_tree<T>(c); }
};

/// Whether a `T` is read as a tree and converted, rather than straight from the text.
template <class T>
inline constexpr bool read_through_tree = requires {
    direct_reader<T, of_converter_t<T>>::through_tree;
};

/// The next value of `c` as a `T`.
template <class T>
T read_direct(text_cursor& c) {
    return direct_reader<T, of_converter_t<T>>::read(c);
}

/// The next value of `c` as a `T`, made where it is converted to: `opt.emplace(direct_value<T>{c})`
/// reads the value straight into the optional, without moving it there.
template <class T>
struct direct_value {
    text_cursor& c;
    operator T() const { return read_direct<T>(c); }
};

/// `T` read from `c`'s text without a tree; nothing when the cursor stopped (its `fault()`
/// says where). A converter's failure propagates, noted in `c`.
template <class T>
std::optional<T> read_direct_text(text_cursor& c) {
    try {
        std::optional<T> value(std::in_place, read_direct<T>(c));
        c.finish();
        if (!c.failed()) return value;
    } catch (const cursor_stopped&) {
        // Stopped where no value could stand in: the fault is recorded all the same.
    }
    return std::nullopt;
}

}  // namespace Sylvane::derive::detail
