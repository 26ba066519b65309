#pragma once
/// Converters for a type that cannot be changed (a standard or third-party type): specialise
/// `Sylvane::converter<T>`, outside any namespace of the library, with two static members.
///
///     template <>
///     struct Sylvane::converter<third_party::point> {
///         static Sylvane::yojson to_yojson(const third_party::point& p);
///         static third_party::point of_yojson(const Sylvane::yojson& t);
///     };
///
/// The entry points, the containers and the derived records then find them as any other
/// converters. `of_yojson` reports a tree that does not fit by raising
/// `Sylvane::Treeform::of_yojson_error(message, t)` with that very tree. For a type of your own,
/// `SYLVANE_CONVERTERS` in its namespace does the same.

#include <concepts>

#include <sylvane/derive/hook.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane {

/// The customisation point: empty unless specialised.
template <class T>
struct converter {};

}  // namespace Sylvane

namespace Sylvane::derive {

namespace detail {

/// `Sylvane::converter<T>` is specialised with both conversions.
template <class T>
concept specialised_converter = requires(const T& value, const yojson& tree) {
    { converter<T>::to_yojson(value) } -> std::same_as<yojson>;
    { converter<T>::of_yojson(tree) } -> std::convertible_to<T>;
};

template <class T>
struct specialised_to_tree {
    yojson operator()(const T& value) const { return converter<T>::to_yojson(value); }
};
template <class T>
struct specialised_of_tree {
    T operator()(const yojson& tree) const { return converter<T>::of_yojson(tree); }
};

}  // namespace detail

template <detail::specialised_converter T>
constexpr auto sylvane_converters(type_tag<T>) noexcept {
    return converters{detail::specialised_to_tree<T>{}, detail::specialised_of_tree<T>{}};
}

}  // namespace Sylvane::derive
