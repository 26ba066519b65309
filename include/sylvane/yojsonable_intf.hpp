#pragma once
/// The unit `Yojsonable_intf`: what it means for a type to have JSON converters, as concepts.
/// It has no run-time content. Use the concepts to constrain templates:
///
///     template <Sylvane::Yojsonable_intf::yojsonable T>
///     std::vector<T> read_all(const Sylvane::yojson& t);

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>

#include <sylvane/derive/hook.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::Yojsonable_intf {

/// `F` turns a `const T&` into a tree.
template <class F, class T>
concept converter_to = std::invocable<const F&, const T&> &&
    std::same_as<std::invoke_result_t<const F&, const T&>, yojson>;

/// `F` turns a tree into a `T` (or never returns, as `opaque_of_yojson` does).
template <class F, class T>
concept converter_of = std::invocable<const F&, const yojson&> &&
    std::convertible_to<std::invoke_result_t<const F&, const yojson&>, T>;

/// `C` holds converters for `T` in both directions, as members `to` and `of`.
template <class C, class T>
concept converters_for = requires(const C& c) {
    requires converter_to<decltype(c.to), T>;
    requires converter_of<decltype(c.of), T>;
};

/// `T` has converters in both directions: the hook `sylvane_converters`, found by
/// argument-dependent lookup, gives them. Every type the library maps and every type given
/// `SYLVANE_RECORD`, `SYLVANE_ENUM`, `SYLVANE_VARIANT` or `SYLVANE_CONVERTERS` satisfies it.
template <class T>
concept S = std::same_as<T, std::remove_cvref_t<T>> && requires {
    { sylvane_converters(derive::type_tag<T>{}) } -> converters_for<T>;
};

/// The readable name of `S`.
template <class T>
concept yojsonable = S<T>;

/// A one-parameter container template whose instances have converters when the element does
/// (checked with `std::int64_t` elements): `S1<std::vector>`, `S1<std::optional>`.
template <template <class...> class C>
concept S1 = S<C<std::int64_t>>;

/// A two-parameter container template, checked with string keys and integer values.
template <template <class...> class C>
concept S2 = S<C<std::string, std::int64_t>>;

/// A three-parameter container template, checked with integer, string and double elements.
template <template <class...> class C>
concept S3 = S<C<std::int64_t, std::string, double>>;

}  // namespace Sylvane::Yojsonable_intf
