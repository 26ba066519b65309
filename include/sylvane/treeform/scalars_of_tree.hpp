#pragma once
/// Converters from trees to primitive values. Each accepts exactly its own constructors and
/// raises `Of_yojson_error` with a fixed message and the very tree it was given otherwise.

#include <cstdint>
#include <string>
#include <string_view>

#include <sylvane/base/bytes.hpp>
#include <sylvane/base/export.hpp>
#include <sylvane/base/unit.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane::Treeform {

namespace detail {

/// The scalar converters from the tree, naming the message each raises.
enum class scalar_need : unsigned char {
    unit,
    bool_,
    string,
    bytes,
    char_not_string,
    char_length,
    int_,
    float_,
    int32,
    int64,
    nativeint,
};

/// Raises the conversion failure of a scalar converter: out of line, so converters stay small.
[[noreturn]] SYLVANE_API void reject_scalar(scalar_need which, const yojson& tree);

// The standard text-to-number parses: the whole text must be an optional minus sign and
// digits (or, for doubles, any `std::from_chars` form). They throw `std::invalid_argument`
// for text that is no number and `std::out_of_range` for a value beyond the type.
SYLVANE_API std::int32_t parse_int32(std::string_view text);
SYLVANE_API std::int64_t parse_int64(std::string_view text);
SYLVANE_API std::intptr_t parse_nativeint(std::string_view text);
SYLVANE_API double parse_float(std::string_view text);

}  // namespace detail

/// `Null` gives the unit value.
inline constexpr struct unit_of_yojson_fn {
    unit operator()(const yojson& t) const {
        if (!t.is_null()) detail::reject_scalar(detail::scalar_need::unit, t);
        return {};
    }
} unit_of_yojson{};

/// `Bool b` gives b.
inline constexpr struct bool_of_yojson_fn {
    bool operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::Bool) detail::reject_scalar(detail::scalar_need::bool_, t);
        return t.as_bool();
    }
} bool_of_yojson{};

/// `String s` gives s. The tree's string is immutable and shared; C++ returns it by value,
/// since a reference into a temporary tree would dangle.
inline constexpr struct string_of_yojson_fn {
    std::string operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::String) detail::reject_scalar(detail::scalar_need::string, t);
        return std::string(t.as_string());
    }
} string_of_yojson{};

/// `String s` gives a fresh buffer holding a copy of s.
inline constexpr struct bytes_of_yojson_fn {
    bytes operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::String) detail::reject_scalar(detail::scalar_need::bytes, t);
        return bytes_of_string(t.as_string());
    }
} bytes_of_yojson{};

/// A `String` of exactly one byte gives that byte.
inline constexpr struct char_of_yojson_fn {
    char operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::String)
            detail::reject_scalar(detail::scalar_need::char_not_string, t);
        std::string_view s = t.as_string();
        if (s.size() != 1) detail::reject_scalar(detail::scalar_need::char_length, t);
        return s[0];
    }
} char_of_yojson{};

/// `Int n` gives n; an `Intlit` or a whole `Float` is refused.
inline constexpr struct int_of_yojson_fn {
    std::int64_t operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::Int) detail::reject_scalar(detail::scalar_need::int_, t);
        return t.as_int();
    }
} int_of_yojson{};

/// `Float d` gives d, `Int n` the nearest double, `Intlit t` the parse of t.
inline constexpr struct float_of_yojson_fn {
    double operator()(const yojson& t) const {
        switch (t.kind()) {
            case yojson_kind::Float: return t.as_float();
            case yojson_kind::Int: return static_cast<double>(t.as_int());
            case yojson_kind::Intlit: return detail::parse_float(t.as_intlit());
            default: detail::reject_scalar(detail::scalar_need::float_, t);
        }
    }
} float_of_yojson{};

/// `Int n` gives the low 32 bits of n (wrapping, no range test); `Intlit t` the parse of t,
/// which refuses a value outside the 32-bit range.
inline constexpr struct int32_of_yojson_fn {
    std::int32_t operator()(const yojson& t) const {
        switch (t.kind()) {
            case yojson_kind::Int:
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(t.as_int()));
            case yojson_kind::Intlit: return detail::parse_int32(t.as_intlit());
            default: detail::reject_scalar(detail::scalar_need::int32, t);
        }
    }
} int32_of_yojson{};

/// `Int n` gives n; `Intlit t` the parse of t.
inline constexpr struct int64_of_yojson_fn {
    std::int64_t operator()(const yojson& t) const {
        switch (t.kind()) {
            case yojson_kind::Int: return t.as_int();
            case yojson_kind::Intlit: return detail::parse_int64(t.as_intlit());
            default: detail::reject_scalar(detail::scalar_need::int64, t);
        }
    }
} int64_of_yojson{};

/// `Int n` gives n; `Intlit t` the parse of t as a machine-word integer.
inline constexpr struct nativeint_of_yojson_fn {
    std::intptr_t operator()(const yojson& t) const {
        switch (t.kind()) {
            case yojson_kind::Int: return static_cast<std::intptr_t>(t.as_int());
            case yojson_kind::Intlit: return detail::parse_nativeint(t.as_intlit());
            default: detail::reject_scalar(detail::scalar_need::nativeint, t);
        }
    }
} nativeint_of_yojson{};

}  // namespace Sylvane::Treeform
