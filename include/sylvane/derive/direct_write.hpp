#pragma once
/// Writing a value straight to JSON text, without a tree: what `write(value)` does first.
///
/// Each type is written as its own converter would make its tree and `write` would write it,
/// chosen by that converter's type, so that a type written here is one whose tree rules are
/// known: the primitive types and checked numbers, the standard sequences and sets, options,
/// owning pointers, dictionaries with string or integer keys, derived records and enumerations.
/// Any other type (variants, hand-written converters, tuples, the library's containers, trees)
/// makes its own tree, which is written in place.
///
/// Failures are those of `write(yojson_of(value))`. A converter's failure (an enumeration's
/// value that is no enumerator, anything a hand-written converter throws) propagates as it is
/// thrown, the value's parts being converted in the order its tree's are. A piece that has no
/// text under the options is kept by the sink, and the rest of the value still converted, so
/// that a converter failing later wins as it does when the tree is made before it is written;
/// then `text_sink::finish` throws the piece's `write_error`. Each part is converted once.
///
/// This header is the generic part. The writer of each kind of type is with its converters
/// (mapping.hpp, numbers.hpp, pointers.hpp, std_containers.hpp, record.hpp, sum.hpp), which
/// include this header; `write_value.hpp` includes them all, so that every writer is
/// declared before `write_direct` is instantiated.

#include <type_traits>

#include <sylvane/derive/detail/convert.hpp>
#include <sylvane/derive/detail/routes.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>

namespace Sylvane::derive::detail {

using json_tree::detail::text_sink;

/// The type of `T`'s value-to-tree converter.
template <class T>
using to_converter_t = std::remove_cvref_t<decltype(converters_of<T>().to)>;

/// Writes a `T` whose tree converter is `To`. By default: the value's tree, written.
template <class T, class To>
struct direct_writer {
    static constexpr bool through_tree = true;
    static void write(text_sink& out, const T& value) {
        SYLVANE_COUNT_ROUTE(trees_written);
        out.tree(tree_of(value));
    }
};

/// Whether a `T` is written through its tree rather than straight to the text.
template <class T>
inline constexpr bool written_through_tree = requires {
    direct_writer<T, to_converter_t<T>>::through_tree;
};

/// Writes `value` to `out`.
template <class T>
void write_direct(text_sink& out, const T& value) {
    direct_writer<T, to_converter_t<T>>::write(out, value);
}

/// Writes the `F` at `field`: out of line, one function for every record with a field of type
/// `F` (and for `write` of an `F`), so that a record's writer is a call per field rather than
/// each field's writer inlined.
template <class F>
[[gnu::noinline]] void write_text_field(text_sink& out, const void* field) {
    write_direct(out, *static_cast<const F*>(field));
}

}  // namespace Sylvane::derive::detail
