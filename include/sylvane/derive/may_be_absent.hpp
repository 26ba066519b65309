#pragma once
/// Which field types a record reads as empty when their key is absent: `std::optional`,
/// `std::unique_ptr`, `std::shared_ptr` and `nullable_field`; whether a value of one is empty,
/// so that it may be left out when writing; and which are always left out when empty.

#include <memory>
#include <optional>

#include <sylvane/base/nullable_field.hpp>

namespace Sylvane::derive::detail {

template <class T>
inline constexpr bool may_be_absent = false;
template <class T>
inline constexpr bool may_be_absent<std::optional<T>> = true;
template <class T, class D>
inline constexpr bool may_be_absent<std::unique_ptr<T, D>> = true;
template <class T>
inline constexpr bool may_be_absent<std::shared_ptr<T>> = true;
template <class T>
inline constexpr bool may_be_absent<nullable_field<T>> = true;

/// Whether an empty `T` is left out of its record whatever the options: a `nullable_field`
/// writes `null` only when null.
template <class T>
inline constexpr bool absent_when_empty = false;
template <class T>
inline constexpr bool absent_when_empty<nullable_field<T>> = true;

/// Whether `v` holds nothing.
template <class T>
constexpr bool is_empty(const std::optional<T>& v) noexcept {
    return !v.has_value();
}
template <class T, class D>
bool is_empty(const std::unique_ptr<T, D>& p) noexcept {
    return p == nullptr;
}
template <class T>
bool is_empty(const std::shared_ptr<T>& p) noexcept {
    return p == nullptr;
}
template <class T>
constexpr bool is_empty(const nullable_field<T>& f) noexcept {
    return f.is_absent();
}

}  // namespace Sylvane::derive::detail
