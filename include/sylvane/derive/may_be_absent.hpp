#pragma once
/// Which field types a record reads as empty when their key is absent: `std::optional`,
/// `std::unique_ptr` and `std::shared_ptr`.

#include <memory>
#include <optional>

namespace Sylvane::derive::detail {

template <class T>
inline constexpr bool may_be_absent = false;
template <class T>
inline constexpr bool may_be_absent<std::optional<T>> = true;
template <class T, class D>
inline constexpr bool may_be_absent<std::unique_ptr<T, D>> = true;
template <class T>
inline constexpr bool may_be_absent<std::shared_ptr<T>> = true;

}  // namespace Sylvane::derive::detail
