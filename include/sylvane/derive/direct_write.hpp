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

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/detail/routes.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/treeform.hpp>

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

template <>
struct direct_writer<bool, Treeform::yojson_of_bool_fn> {
    static void write(text_sink& out, bool b) { out.boolean(b); }
};

template <>
struct direct_writer<std::string, Treeform::yojson_of_string_fn> {
    static void write(text_sink& out, const std::string& s) { out.string(s); }
};

/// The digits of `Int` or, beyond `std::int64_t`, of `Intlit`: the same text.
template <class T>
struct direct_writer<T, integer_to_tree<T>> {
    static void write(text_sink& out, T n) {
        if constexpr (std::is_signed_v<T>)
            out.integer(static_cast<std::int64_t>(n));
        else
            out.integer(static_cast<std::uint64_t>(n));
    }
};

template <>
struct direct_writer<double, Treeform::yojson_of_float_fn> {
    static void write(text_sink& out, double d) { out.number(d); }
};

template <>
struct direct_writer<float, float_to_tree> {
    // The double of the float's shortest digits, which its tree holds.
    static void write(text_sink& out, float f) { out.number(float32_tree(f).as_float()); }
};

template <class T, class F>
requires std::same_as<F, to_converter_t<T>>
struct direct_writer<std::optional<T>, Treeform::detail::bound<Treeform::yojson_of_option_fn, F>> {
    static void write(text_sink& out, const std::optional<T>& o) {
        if (o)
            write_direct(out, *o);
        else
            out.null();
    }
};

template <class P>
struct direct_writer<P, pointer_to_tree> {
    static void write(text_sink& out, const P& p) {
        if (p)
            write_direct(out, *p);
        else
            out.null();
    }
};

/// The elements of a range as an array, first to last.
template <class Range>
void write_elements(text_sink& out, const Range& r) {
    out.put_char('[');
    bool first = true;
    for (const auto& x : r) {
        if (!first) out.put_char(',');
        first = false;
        write_direct(out, x);
    }
    out.put_char(']');
}

template <class T, class F>
requires std::same_as<F, to_converter_t<T>>
struct direct_writer<std::vector<T>, Treeform::detail::bound<Treeform::yojson_of_list_fn, F>> {
    static void write(text_sink& out, const std::vector<T>& v) { write_elements(out, v); }
};

/// Arrays, deques, lists and sets: their elements in iteration order.
template <class Range>
struct direct_writer<Range, range_to_tree> {
    static void write(text_sink& out, const Range& r) { write_elements(out, r); }
};

/// A dictionary keyed by strings or by integers, whose keys are their decimal text.
template <class Map>
requires std::same_as<typename Map::key_type, std::string> ||
    checked_integer<typename Map::key_type>
struct direct_writer<Map, map_to_tree<Map>> {
    static void write(text_sink& out, const Map& m) {
        using key = typename Map::key_type;
        out.put_char('{');
        bool first = true;
        for (const auto& [k, v] : m) {
            if (!first) out.put_char(',');
            first = false;
            if constexpr (std::same_as<key, std::string>) {
                out.string(k);
            } else {
                out.put_char('"');
                direct_writer<key, integer_to_tree<key>>::write(out, k);
                out.put_char('"');
            }
            out.put_char(':');
            write_direct(out, v);
        }
        out.put_char('}');
    }
};

/// An enumerator as its tag; a value that is no listed enumerator fails as its converter does.
template <class T, class Desc>
requires std::same_as<T, typename Desc::type>
struct direct_writer<T, enum_to_tree<Desc>> {
    static void write(text_sink& out, T value) {
        for (std::size_t i = 0; i < Desc::values.size(); ++i) {
            if (Desc::values[i] == value) return out.string(enum_table<Desc>::tags[i]);
        }
        not_an_enumerator(Desc::name, static_cast<long long>(value));
    }
};

/// A record as an object of its fields in declaration order: skipped fields left out, and
/// empty ones too where they are omitted when empty.
template <class T, class Desc>
requires std::same_as<T, typename Desc::type>
struct direct_writer<T, record_to_tree<Desc>> {
    using table = record_table<Desc>;

    static void write(text_sink& out, const T& value) {
        out.put_char('{');
        bool first = true;
        [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
            (write_field<I>(out, value.*M, first), ...);
        }
        (std::make_index_sequence<table::size>{}, typename table::members{});
        out.put_char('}');
    }

private:
    /// `,"key":` of a plain key.
    template <std::size_t I>
    static constexpr auto key_text = [] {
        constexpr std::string_view key = table::keys[I];
        std::array<char, key.size() + 4> text{};
        text[0] = ',';
        text[1] = '"';
        for (std::size_t i = 0; i < key.size(); ++i) text[i + 2] = key[i];
        text[key.size() + 2] = '"';
        text[key.size() + 3] = ':';
        return text;
    }();

    template <std::size_t I, class F>
    static void write_field(text_sink& out, const F& field, bool& first) {
        if constexpr (!table::skipped(I)) {
            if constexpr (may_be_absent<F> && table::omit_empty(I)) {
                if (is_empty(field)) return;
            }
            if constexpr (table::plain_key(I)) {  // written without escape or check
                // Copies of a constant length, inlined.
                constexpr std::size_t n = key_text<I>.size();
                char* p = out.room(n);
                if (first) {
                    std::memcpy(p, key_text<I>.data() + 1, n - 1);
                    out.advance(p + n - 1);
                } else {
                    std::memcpy(p, key_text<I>.data(), n);
                    out.advance(p + n);
                }
            } else {
                if (!first) out.put_char(',');
                out.string(table::keys[I]);
                out.put_char(':');
            }
            first = false;
            write_direct(out, field);
        }
    }
};

}  // namespace Sylvane::derive::detail
