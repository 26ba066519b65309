#pragma once
/// Checked converters of the C++ arithmetic types: every integer type (`short` to
/// `unsigned long long`, the `<cstdint>` aliases, `std::size_t`), `float` and `double`.
///
/// Reading never changes a number: an `Int` or `Intlit` is accepted when its value fits the type
/// exactly, and anything else fails on that very tree with a fixed message. Writing gives `Int`
/// when the value fits `std::int64_t`, else `Intlit` with the exact decimal text. A `float` is
/// read from an integer (`Int`, `Intlit`, integer text) rounded once to the nearest float, and
/// from a `Float` (or decimal text, on either route) as its double rounded to the nearest float:
/// the tree keeps only the double, so text is rounded twice there and `read_as` does the same.
/// It is written with the shortest digits that read back to the same float.
///
/// | C++ type | name in messages |
/// |---|---|
/// | signed integers of 8, 16, 32 bits | `int8`, `int16`, `int32` |
/// | signed integers of 64 bits | `int` (the library's `int`) |
/// | unsigned integers of 8 to 64 bits | `uint8`, `uint16`, `uint32`, `uint64` |
/// | `float`, `double` | `float32`, `float` |

#include <concepts>
#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>
#include <utility>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/hook.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>

namespace Sylvane::derive {

namespace detail {

/// The number types, by the name their messages give.
enum class number_type : unsigned char {
    int8,
    int16,
    int32,
    int_,
    uint8,
    uint16,
    uint32,
    uint64,
    float32,
    float_
};

/// What was wrong with a number's tree.
enum class number_fault : unsigned char {
    wrong_kind,    // no integer (or, for floats, no number) at all
    out_of_range,  // a number that the type cannot hold
    malformed,     // an `Intlit` whose text is no decimal integer
};

/// Raises the conversion failure of a number converter on `tree`.
[[noreturn]] SYLVANE_API void reject_number(number_type type, number_fault fault,
                                            const yojson& tree);

/// The value of a whole decimal integer text (an optional minus sign and digits).
enum class integer_text : unsigned char { ok, out_of_range, malformed };
SYLVANE_API integer_text parse_integer(std::string_view text, std::int64_t& out) noexcept;
SYLVANE_API integer_text parse_integer(std::string_view text, std::uint64_t& out) noexcept;

/// An integer beyond `std::int64_t` as an `Intlit` of its decimal text.
SYLVANE_API yojson intlit_of(std::uint64_t n);

/// The double of an `Intlit` text; fails on `tree` with the messages of `type`.
SYLVANE_API double intlit_as_double(number_type type, const yojson& tree);
/// The float nearest to the `Intlit` `tree`, rounded once; fails as `float32`, as
/// `intlit_as_double` does.
SYLVANE_API float intlit_as_float(const yojson& tree);

/// A `Float` holding the shortest decimal form of `f`, so that it is written as such.
SYLVANE_API yojson float32_tree(float f) noexcept;

/// The integer types that convert as numbers: not `bool` and not the character types (`char`
/// is a one-byte string; `signed char` and `unsigned char` are numbers, as `std::int8_t` and
/// `std::uint8_t` are).
template <class T>
concept checked_integer =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
    !std::same_as<T, wchar_t> && !std::same_as<T, char8_t> && !std::same_as<T, char16_t> &&
    !std::same_as<T, char32_t> && sizeof(T) <= 8;

template <checked_integer T>
constexpr number_type number_type_of() noexcept {
    if constexpr (std::is_signed_v<T>) {
        if constexpr (sizeof(T) == 1)
            return number_type::int8;
        else if constexpr (sizeof(T) == 2)
            return number_type::int16;
        else if constexpr (sizeof(T) == 4)
            return number_type::int32;
        else
            return number_type::int_;
    } else {
        if constexpr (sizeof(T) == 1)
            return number_type::uint8;
        else if constexpr (sizeof(T) == 2)
            return number_type::uint16;
        else if constexpr (sizeof(T) == 4)
            return number_type::uint32;
        else
            return number_type::uint64;
    }
}

/// An integer as `Int`, or as `Intlit` when it is beyond `std::int64_t`.
template <checked_integer T>
struct integer_to_tree {
    yojson operator()(T n) const {
        if constexpr (std::is_signed_v<T> || sizeof(T) < 8) {
            return yojson::Int(n);
        } else {
            if (std::in_range<std::int64_t>(n)) return yojson::Int(static_cast<std::int64_t>(n));
            return intlit_of(n);
        }
    }
};

/// An integer from an `Int` or `Intlit` whose value `T` holds exactly.
template <checked_integer T>
struct integer_of_tree {
    T operator()(const yojson& t) const {
        constexpr number_type type = number_type_of<T>();
        if (t.kind() == yojson_kind::Int) {
            const std::int64_t n = t.as_int();
            if (!std::in_range<T>(n)) reject_number(type, number_fault::out_of_range, t);
            return static_cast<T>(n);
        }
        if (t.kind() != yojson_kind::Intlit) reject_number(type, number_fault::wrong_kind, t);
        std::conditional_t<std::is_signed_v<T>, std::int64_t, std::uint64_t> n = 0;
        switch (parse_integer(t.as_intlit(), n)) {
            case integer_text::ok: break;
            case integer_text::out_of_range: reject_number(type, number_fault::out_of_range, t);
            case integer_text::malformed: reject_number(type, number_fault::malformed, t);
        }
        if (!std::in_range<T>(n)) reject_number(type, number_fault::out_of_range, t);
        return static_cast<T>(n);
    }
};

/// A double from `Float`, `Int` (the nearest double) or an `Intlit` (its parse).
struct double_of_tree {
    double operator()(const yojson& t) const {
        switch (t.kind()) {
            case yojson_kind::Float: return t.as_float();
            case yojson_kind::Int: return static_cast<double>(t.as_int());
            case yojson_kind::Intlit: return intlit_as_double(number_type::float_, t);
            default: reject_number(number_type::float_, number_fault::wrong_kind, t);
        }
    }
};

/// Whether the double `d` reads as a float: a finite value that rounds beyond the largest float
/// does not (from halfway between the largest float and 2^128 on, a double rounds to infinity);
/// infinities and NaN do.
constexpr bool fits_float(double d) noexcept {
    constexpr double limit = 0x1.ffffffp127;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    return !(d >= limit || d <= -limit) || d == infinity || d == -infinity;
}

/// A float: an integer rounded to the nearest float once, a `Float`'s double rounded to the
/// nearest float; a finite value that rounds beyond the largest float fails.
struct float_of_tree {
    float operator()(const yojson& t) const {
        double d = 0;
        switch (t.kind()) {
            case yojson_kind::Float: d = t.as_float(); break;
            case yojson_kind::Int: return static_cast<float>(t.as_int());
            case yojson_kind::Intlit: return intlit_as_float(t);
            default: reject_number(number_type::float32, number_fault::wrong_kind, t);
        }
        if (!fits_float(d)) reject_number(number_type::float32, number_fault::out_of_range, t);
        return static_cast<float>(d);
    }
};

struct float_to_tree {
    yojson operator()(float f) const noexcept { return float32_tree(f); }
};

}  // namespace detail

template <detail::checked_integer T>
constexpr auto sylvane_converters(type_tag<T>) noexcept {
    return converters{detail::integer_to_tree<T>{}, detail::integer_of_tree<T>{}};
}
constexpr auto sylvane_converters(type_tag<double>) noexcept {
    return converters{Treeform::yojson_of_float, detail::double_of_tree{}};
}
constexpr auto sylvane_converters(type_tag<float>) noexcept {
    return converters{detail::float_to_tree{}, detail::float_of_tree{}};
}

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

// Numbers read straight from the text and written straight to it, without a tree, as their
// converters would read and write their trees.

template <class T>
struct direct_reader<T, integer_of_tree<T>> {
    static T read(text_cursor& c) {
        const std::int64_t n = c.read_int(&check_as<T>);
        if (!std::in_range<T>(n)) [[unlikely]] {
            c.reject(&check_as<T>);
            return 0;
        }
        return static_cast<T>(n);
    }
};

template <>
struct direct_reader<double, double_of_tree> {
    static double read(text_cursor& c) { return c.read_double(&check_as<double>); }
};

template <>
struct direct_reader<float, float_of_tree> {
    static float read(text_cursor& c) {
        std::int64_t integer = 0;
        bool is_integer = false;
        const double d = c.read_number(&check_as<float>, integer, is_integer);
        if (is_integer) return static_cast<float>(integer);  // once, as the converter rounds it
        if (!fits_float(d)) [[unlikely]] {
            c.reject(&check_as<float>);
            return 0;
        }
        return static_cast<float>(d);
    }
};

/// The digits of `Int` or, beyond `std::int64_t`, of `Intlit`: the same text.
template <class T>
struct direct_writer<T, integer_to_tree<T>> {
    static void write(text_sink& out, T n) {
        if constexpr (std::is_signed_v<T>)
            out.integer(static_cast<std::int64_t>(n));
        else
            out.integer(static_cast<std::uint64_t>(n));
    }
};

template <>
struct direct_writer<double, Treeform::yojson_of_float_fn> {
    static void write(text_sink& out, double d) { out.number(d); }
};

template <>
struct direct_writer<float, float_to_tree> {
    // The double of the float's shortest digits, which its tree holds.
    static void write(text_sink& out, float f) { out.number(float32_tree(f).as_float()); }
};

}  // namespace Sylvane::derive::detail
