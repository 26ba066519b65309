#pragma once
/// The unit type: one value, carrying no information.

#include <compare>

namespace Sylvane {

/// The one-value type; its value is `Sylvane::unit{}`.
struct unit {
    friend constexpr bool operator==(unit, unit) noexcept { return true; }
    friend constexpr std::strong_ordering operator<=>(unit, unit) noexcept {
        return std::strong_ordering::equal;
    }
};

}  // namespace Sylvane
