#pragma once
/// `nullable_field<T>`: a value that is absent, `null`, or a `T`, for JSON members whose absence
/// and `null` mean different things (in a PATCH body, "leave it as it is" and "clear it").

#include <optional>
#include <type_traits>
#include <utility>

namespace Sylvane {

/// Absent, null, or a `T`. In a derived record, an absent field is left out of the object and
/// a missing key reads as absent; `null` is written and read as `null`; a value as the `T`.
/// Outside a record (in a list, say) absent has no text and is written `null`.
///
///     struct patch { Sylvane::nullable_field<std::string> ref; };
///     SYLVANE_RECORD(patch, ref)
///     // {} -> ref.is_absent(); {"ref": null} -> ref.is_null(); {"ref": "main"} -> *ref == "main"
template <class T>
class nullable_field {
    static_assert(std::is_object_v<T> && !std::is_const_v<T>,
                  "a nullable_field holds a mutable object");

public:
    /// Absent.
    constexpr nullable_field() noexcept = default;
    /// A value.
    template <class U = T>
    requires(
        std::is_constructible_v<T, U&&> &&
        !std::is_same_v<std::remove_cvref_t<U>, nullable_field>) constexpr nullable_field(U&& value)
        : value_(std::forward<U>(value)) {}

    static constexpr nullable_field absent() noexcept { return nullable_field(); }
    static constexpr nullable_field null() noexcept {
        nullable_field f;
        f.null_ = true;
        return f;
    }

    constexpr bool is_absent() const noexcept { return !null_ && !value_.has_value(); }
    constexpr bool is_null() const noexcept { return null_; }
    constexpr bool has_value() const noexcept { return value_.has_value(); }

    /// The value; throws `std::bad_optional_access` when absent or null.
    constexpr T& value() & { return value_.value(); }
    constexpr const T& value() const& { return value_.value(); }
    constexpr T&& value() && { return std::move(value_).value(); }
    /// The value, which must be there.
    constexpr T& operator*() & noexcept { return *value_; }
    constexpr const T& operator*() const& noexcept { return *value_; }
    constexpr T* operator->() noexcept { return &*value_; }
    constexpr const T* operator->() const noexcept { return &*value_; }

    /// Makes a value in place, from `args`.
    template <class... Args>
    constexpr T& emplace(Args&&... args) {
        null_ = false;
        return value_.emplace(std::forward<Args>(args)...);
    }
    /// Makes the field absent.
    constexpr void reset() noexcept {
        value_.reset();
        null_ = false;
    }
    /// Makes the field null.
    constexpr void set_null() noexcept {
        value_.reset();
        null_ = true;
    }

    friend constexpr bool operator==(const nullable_field&, const nullable_field&) = default;

private:
    std::optional<T> value_;
    bool null_ = false;  // never set with a value
};

}  // namespace Sylvane
