#pragma once
/// The converters of the standard and library containers, built from their elements'
/// converters with the library's container converters.
///
/// | C++ type | tree |
/// |---|---|
/// | `std::optional<T>` | `Null`, or the element's tree |
/// | `std::vector<T>` | `List` (the list converters) |
/// | `std::pair<A, B>`, `std::tuple<A, B>` | `List` of 2 (the pair converters) |
/// | `std::tuple<A, B, C>` | `List` of 3 (the triple converters) |
/// | `Sylvane::ref<T>`, `Sylvane::lazy<T>` | the content's tree |
/// | `Sylvane::hashtbl<K, V>` | `List` of `[key, value]` entries |

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

namespace detail {

template <class T>
struct element_types<std::optional<T>> {
    using type = std::tuple<T>;
};
template <class T, class Alloc>
struct element_types<std::vector<T, Alloc>> {
    using type = std::tuple<T>;
};
template <class A, class B>
struct element_types<std::pair<A, B>> {
    using type = std::tuple<A, B>;
};
template <class T>
struct element_types<ref<T>> {
    using type = std::tuple<T>;
};
template <class T>
struct element_types<lazy<T>> {
    using type = std::tuple<T>;
};
template <class K, class V, class H, class E>
struct element_types<hashtbl<K, V, H, E>> {
    using type = std::tuple<K, V>;
};

/// Reads a two-component `std::tuple` through the pair converter.
template <class F1, class F2>
struct tuple2_of_tree {
    [[no_unique_address]] F1 f1;
    [[no_unique_address]] F2 f2;
    auto operator()(const yojson& t) const {
        auto p = Treeform::pair_of_yojson(f1, f2, t);
        return std::tuple<decltype(p.first), decltype(p.second)>(std::move(p.first),
                                                                 std::move(p.second));
    }
};

}  // namespace detail

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<std::optional<T>>) noexcept {
    const auto c = converters_of<T>();
    return converters{Treeform::yojson_of_option(c.to), Treeform::option_of_yojson(c.of)};
}

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<std::vector<T>>) noexcept {
    const auto c = converters_of<T>();
    return converters{Treeform::yojson_of_list(c.to), Treeform::list_of_yojson(c.of)};
}

template <Yojsonable_intf::yojsonable A, Yojsonable_intf::yojsonable B>
constexpr auto sylvane_converters(type_tag<std::pair<A, B>>) noexcept {
    const auto a = converters_of<A>();
    const auto b = converters_of<B>();
    return converters{Treeform::yojson_of_pair(a.to, b.to), Treeform::pair_of_yojson(a.of, b.of)};
}

template <Yojsonable_intf::yojsonable A, Yojsonable_intf::yojsonable B>
constexpr auto sylvane_converters(type_tag<std::tuple<A, B>>) noexcept {
    const auto a = converters_of<A>();
    const auto b = converters_of<B>();
    return converters{Treeform::yojson_of_pair(a.to, b.to),
                      detail::tuple2_of_tree<decltype(a.of), decltype(b.of)>{a.of, b.of}};
}

template <Yojsonable_intf::yojsonable A, Yojsonable_intf::yojsonable B,
          Yojsonable_intf::yojsonable C>
constexpr auto sylvane_converters(type_tag<std::tuple<A, B, C>>) noexcept {
    const auto a = converters_of<A>();
    const auto b = converters_of<B>();
    const auto c = converters_of<C>();
    return converters{Treeform::yojson_of_triple(a.to, b.to, c.to),
                      Treeform::triple_of_yojson(a.of, b.of, c.of)};
}

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<ref<T>>) noexcept {
    const auto c = converters_of<T>();
    return converters{Treeform::yojson_of_ref(c.to), Treeform::ref_of_yojson(c.of)};
}

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<lazy<T>>) noexcept {
    const auto c = converters_of<T>();
    return converters{Treeform::yojson_of_lazy_t(c.to), Treeform::lazy_t_of_yojson(c.of)};
}

template <Yojsonable_intf::yojsonable K, Yojsonable_intf::yojsonable V>
constexpr auto sylvane_converters(type_tag<hashtbl<K, V>>) noexcept {
    const auto k = converters_of<K>();
    const auto v = converters_of<V>();
    return converters{Treeform::yojson_of_hashtbl(k.to, v.to),
                      Treeform::hashtbl_of_yojson(k.of, v.of)};
}

}  // namespace Sylvane::derive
