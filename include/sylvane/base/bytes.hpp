#pragma once
/// The mutable byte buffer.

#include <cstddef>
#include <string_view>
#include <vector>

namespace Sylvane {

/// A mutable byte buffer, converted to and from a `String` tree by copying.
using bytes = std::vector<std::byte>;

/// A buffer holding a copy of the bytes of `s`.
inline bytes bytes_of_string(std::string_view s) {
    const auto* p = reinterpret_cast<const std::byte*>(s.data());
    return bytes(p, p + s.size());
}

/// The buffer's bytes seen as characters; valid while the buffer is neither changed nor freed.
inline std::string_view string_view_of_bytes(const bytes& b) noexcept {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

}  // namespace Sylvane
