#pragma once
/// Converters from primitive values to trees. None of them fails.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <sylvane/base/bytes.hpp>
#include <sylvane/base/unit.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::Treeform {

namespace detail {
/// `Intlit` holding the decimal text of `n`: a minus sign when negative, then the digits.
template <class Integer>
yojson intlit_of(Integer n) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, n).ptr;
    return yojson::Intlit(std::string_view(buf, static_cast<std::size_t>(end - buf)));
}
}  // namespace detail

/// `Null`; the same constant tree on every call.
inline constexpr struct yojson_of_unit_fn {
    yojson operator()(unit) const noexcept { return yojson::Null(); }
} yojson_of_unit{};

/// `Bool b`.
inline constexpr struct yojson_of_bool_fn {
    yojson operator()(bool b) const noexcept { return yojson::Bool(b); }
} yojson_of_bool{};

/// `String s`. A moved-in string (`std::move(s)`) is placed in the tree itself, in constant
/// time; any other argument is copied once, together with the tree's node.
inline constexpr struct yojson_of_string_fn {
    yojson operator()(std::string&& s) const { return yojson::String(std::move(s)); }
    yojson operator()(const std::string& s) const { return yojson::String(s); }
    yojson operator()(std::string_view s) const { return yojson::String(s); }
    yojson operator()(const char* s) const { return yojson::String(s); }
} yojson_of_string{};

/// `String` holding a copy of the buffer's bytes, taken at the call.
inline constexpr struct yojson_of_bytes_fn {
    yojson operator()(const bytes& b) const { return yojson::String(string_view_of_bytes(b)); }
} yojson_of_bytes{};

/// `String` of the one byte `c`.
inline constexpr struct yojson_of_char_fn {
    yojson operator()(char c) const { return yojson::String(std::string_view(&c, 1)); }
} yojson_of_char{};

/// `Int n`, never `Intlit`.
inline constexpr struct yojson_of_int_fn {
    yojson operator()(std::int64_t n) const noexcept { return yojson::Int(n); }
} yojson_of_int{};

/// `Float d`, unchanged (NaN, infinities and -0.0 included).
inline constexpr struct yojson_of_float_fn {
    yojson operator()(double d) const noexcept { return yojson::Float(d); }
} yojson_of_float{};

/// `Intlit` with the decimal text of `n`, whatever its size ("0" for zero).
inline constexpr struct yojson_of_int32_fn {
    yojson operator()(std::int32_t n) const { return detail::intlit_of(n); }
} yojson_of_int32{};

/// `Intlit` with the decimal text of `n`.
inline constexpr struct yojson_of_int64_fn {
    yojson operator()(std::int64_t n) const { return detail::intlit_of(n); }
} yojson_of_int64{};

/// `Intlit` with the decimal text of the machine-word integer `n`.
inline constexpr struct yojson_of_nativeint_fn {
    yojson operator()(std::intptr_t n) const { return detail::intlit_of(n); }
} yojson_of_nativeint{};

}  // namespace Sylvane::Treeform
