#pragma once
/// The converters of each C++ type, and the generic entry points `yojson_of` and `of_yojson<T>`
/// (from detail/convert.hpp).
///
/// This header maps the primitive types; `containers.hpp` adds the standard and library
/// containers. User types join through the hook of `hook.hpp`.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/base/bytes.hpp>
#include <sylvane/base/unit.hpp>
#include <sylvane/derive/converter.hpp>
#include <sylvane/derive/detail/convert.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/hook.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/treeform_error.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

// The primitive types, each with the library's pair of converters. The numbers are checked
// (numbers.hpp): `std::int64_t` is the library's `int`, and no number changes on its way.

constexpr auto sylvane_converters(type_tag<unit>) noexcept {
    return converters{Treeform::yojson_of_unit, Treeform::unit_of_yojson};
}
constexpr auto sylvane_converters(type_tag<bool>) noexcept {
    return converters{Treeform::yojson_of_bool, Treeform::bool_of_yojson};
}
constexpr auto sylvane_converters(type_tag<std::string>) noexcept {
    return converters{Treeform::yojson_of_string, Treeform::string_of_yojson};
}
constexpr auto sylvane_converters(type_tag<bytes>) noexcept {
    return converters{Treeform::yojson_of_bytes, Treeform::bytes_of_yojson};
}
constexpr auto sylvane_converters(type_tag<char>) noexcept {
    return converters{Treeform::yojson_of_char, Treeform::char_of_yojson};
}

namespace detail {

using Treeform::detail::is_optional;

/// The type name that tuples other than pairs and triples give in messages.
inline constexpr std::string_view tuple_type_name = "tuple";

/// A `std::tuple` of any size but 2 and 3 as a `List` of its components, the last converted
/// first as for pairs and triples.
template <class... A>
struct tuple_to_tree {
    yojson operator()(const std::tuple<A...>& t) const {
        constexpr std::size_t n = sizeof...(A);
        list_builder items(n);
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (items.emplace([&] { return tree_of(std::get<n - 1 - I>(t)); }), ...);
        }
        (std::index_sequence_for<A...>{});
        items.reverse();
        return std::move(items).finish();
    }
};

/// A `List` of exactly as many trees as the tuple has components, converted first to last.
template <class... A>
struct tuple_of_tree {
    std::tuple<A...> operator()(const yojson& t) const {
        constexpr std::size_t n = sizeof...(A);
        if (t.kind() != yojson_kind::List || t.as_list().size() != n) {
            Treeform_error::tuple_of_size_n_expected(tuple_type_name, static_cast<int>(n), t);
        }
        const auto items = t.as_list();
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return std::tuple<A...>{of_yojson<A>(items[I])...};  // braces: left to right
        }
        (std::index_sequence_for<A...>{});
    }
};

}  // namespace detail

/// Tuples of any size but 2 and 3 (those use the pair and triple converters).
template <class... A>
requires(sizeof...(A) != 2 && sizeof...(A) != 3 &&
         (Yojsonable_intf::yojsonable<A> &&
          ...)) constexpr auto sylvane_converters(type_tag<std::tuple<A...>>) noexcept {
    return converters{detail::tuple_to_tree<A...>{}, detail::tuple_of_tree<A...>{}};
}

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

// `bool` and `std::string` read straight from the text and written straight to it, without a
// tree, as their converters above would read and write their trees.

template <>
struct direct_reader<bool, Treeform::bool_of_yojson_fn> {
    static bool read(text_cursor& c) { return c.read_bool(&check_as<bool>); }
};

template <>
struct direct_reader<std::string, Treeform::string_of_yojson_fn> {
    static std::string read(text_cursor& c) {
        std::string s;
        c.read_string(s, &check_as<std::string>);
        return s;
    }
};

template <>
struct direct_writer<bool, Treeform::yojson_of_bool_fn> {
    static void write(text_sink& out, bool b) { out.boolean(b); }
};

template <>
struct direct_writer<std::string, Treeform::yojson_of_string_fn> {
    static void write(text_sink& out, const std::string& s) { out.string(s); }
};

}  // namespace Sylvane::derive::detail
