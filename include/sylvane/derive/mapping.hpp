#pragma once
/// The converters of each C++ type, and the generic entry points `yojson_of` and `of_yojson<T>`.
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
#include <sylvane/derive/hook.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/builders.hpp>
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

template <class T>
inline constexpr bool always_false = false;

/// The element types of a container that the library maps, as a `std::tuple`; none for the rest.
template <class T>
struct element_types {
    using type = std::tuple<>;
};
template <class... A>
struct element_types<std::tuple<A...>> {
    using type = std::tuple<A...>;
};

/// The innermost type of `T` that lacks converters, so that the diagnostic names the culprit
/// (`std::map<int, int>`, not the `std::vector` of them that holds it).
template <class T, class Elements = typename element_types<T>::type>
struct culprit {
    using type = T;
};
template <class T, class Head, class... Rest>
struct culprit<T, std::tuple<Head, Rest...>> {
    using type = std::conditional_t<Yojsonable_intf::yojsonable<Head>,
                                    typename culprit<T, std::tuple<Rest...>>::type,
                                    typename culprit<Head>::type>;
};

/// Whether `T` is a dictionary whose keys have no text form (std_containers.hpp says which).
template <class T>
inline constexpr bool map_key_without_text = false;

/// Instantiated only for a type without converters: the compiler names `T` in the error.
template <class T>
constexpr void no_json_converter_for() {
    static_assert(!map_key_without_text<T>,
                  "Sylvane: a std::map or std::unordered_map is a JSON object, whose keys are "
                  "text: give it std::string, integer or SYLVANE_ENUM keys, or use a "
                  "std::vector<std::pair<K, V>> for other keys");
    static_assert(always_false<T>,
                  "Sylvane: no JSON converters for this type (the T of 'no_json_converter_for<T>'"
                  "); give it SYLVANE_RECORD, SYLVANE_ENUM, SYLVANE_VARIANT or "
                  "SYLVANE_CONVERTERS in the namespace where it is defined, or, for a "
                  "standard or third-party type, specialise Sylvane::converter<T> with "
                  "static to_yojson and of_yojson");
}

/// Whether `T` has converters; reports the culprit at compile time when it has none.
template <class T>
constexpr void require_converters() {
    if constexpr (!Yojsonable_intf::yojsonable<T>) {
        no_json_converter_for<typename culprit<T>::type>();
    }
}

}  // namespace detail

/// The converters of `T`; a compile error naming the type if it has none.
template <class T>
constexpr auto converters_of() {
    static_assert(!std::is_reference_v<T> && !std::is_const_v<T>,
                  "Sylvane: convert a plain object type, without const or reference");
    detail::require_converters<T>();
    if constexpr (Yojsonable_intf::yojsonable<T>) return sylvane_converters(type_tag<T>{});
}

namespace detail {
/// The tree of `value`, its nodes made wherever this thread makes nodes now: how converters
/// convert their parts, so that one conversion opens at most one arena.
template <class T>
yojson tree_of(const T& value) {
    require_converters<T>();
    if constexpr (Yojsonable_intf::yojsonable<T>) {
        return sylvane_converters(type_tag<T>{}).to(value);
    } else {
        return yojson();
    }
}

/// Whether the tree of a `T` is a scalar or one string, which needs no arena.
template <class T>
inline constexpr bool scalar_tree =
    std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_same_v<T, std::string> ||
    std::is_same_v<T, bytes> || std::is_same_v<T, unit> || std::is_same_v<T, yojson>;
}  // namespace detail

/// Converts any value whose type has converters to a tree. Unless this thread is in an
/// `arena_scope` (or in another `yojson_of`), the tree's nodes go into one arena of their own,
/// made with the first node, which the tree and its parts keep while any of them lives.
///
///     Sylvane::yojson_of(std::vector<std::int64_t>{1, 2});  // List [Int 1; Int 2]
inline constexpr struct yojson_of_fn {
    template <class T>
    yojson operator()(const T& value) const {
        if constexpr (detail::scalar_tree<T>) {
            return detail::tree_of(value);
        } else {
            // Nodes one by one on the heap cost an allocation each to make and to free; one
            // arena for the whole result costs a few.
            const json_tree::detail::conversion_scope scope;
            return detail::tree_of(value);
        }
    }
} yojson_of{};

/// Converts a tree to a `T`; raises `Treeform::Of_yojson_error` when the tree does not fit.
template <class T>
struct of_yojson_fn {
    static_assert(!std::is_reference_v<T> && !std::is_const_v<T>,
                  "Sylvane: convert to a plain object type, without const or reference");
    T operator()(const yojson& tree) const {
        detail::require_converters<T>();
        if constexpr (Yojsonable_intf::yojsonable<T>) {
            return sylvane_converters(type_tag<T>{}).of(tree);
        } else {
            std::terminate();  // unreachable: the assertion above has stopped the build
        }
    }
};

/// `of_yojson<T>(tree)`: the tree as a `T`.
///
///     auto v = Sylvane::of_yojson<std::vector<std::int64_t>>(tree);
template <class T>
inline constexpr of_yojson_fn<T> of_yojson{};

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

namespace Sylvane {
using derive::of_yojson;
using derive::yojson_of;
}  // namespace Sylvane
