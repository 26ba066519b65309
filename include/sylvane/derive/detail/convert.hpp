#pragma once
/// The generic entry points `yojson_of` and `of_yojson<T>`, with `converters_of<T>` and the
/// diagnostic for a type without converters. The converters themselves are found through the
/// hook of hook.hpp; mapping.hpp and the headers beside it give the library's own. Kept apart
/// from them so that the generic parts of the direct readers and writers can include it before
/// any type's converters.

#include <exception>
#include <string>
#include <tuple>
#include <type_traits>

#include <sylvane/base/bytes.hpp>
#include <sylvane/base/unit.hpp>
#include <sylvane/derive/hook.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

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

}  // namespace Sylvane::derive

namespace Sylvane {
using derive::of_yojson;
using derive::yojson_of;
}  // namespace Sylvane
