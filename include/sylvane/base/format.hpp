#pragma once
/// Formatted printing into a new `std::string` with the directives "%s", "%d" and "%S".

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include <sylvane/base/export.hpp>

namespace Sylvane {

/// Thrown when a format's directives do not match its arguments. Only `runtime_sprintf` can
/// throw it: `sprintf` rejects the same formats at compile time. It is a `std::logic_error`,
/// never a `std::runtime_error`, so it cannot pass for a conversion failure's cause.
class SYLVANE_API format_error : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
    ~format_error() override;
};

namespace detail {

/// The kind of argument a directive takes.
enum class format_kind : unsigned char { integer, string };

/// The integer types that "%d" prints: every integer type of at most 64 bits but `bool`.
template <class T>
concept format_integer = std::integral<T> && !std::same_as<T, bool> && sizeof(T) <= 8;

template <class T>
inline constexpr bool format_unsupported = false;

template <class T>
consteval format_kind format_kind_of() {
    using U = std::remove_cvref_t<T>;
    if constexpr (format_integer<U>) {
        return format_kind::integer;
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return format_kind::string;
    } else {
        static_assert(format_unsupported<T>,
                      "sprintf: an argument must be an integer (for %d) or convertible to "
                      "std::string_view (for %s and %S)");
        return format_kind::string;
    }
}

/// One argument with its type erased: an integer as sign and magnitude (so that every value of
/// every integer type fits), or a string.
struct format_arg {
    format_kind kind;
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::string_view text;
};

constexpr format_kind format_kind_of_item(format_kind kind) noexcept {
    return kind;
}
constexpr format_kind format_kind_of_item(const format_arg& arg) noexcept {
    return arg.kind;
}

/// Checks that every directive is "%s", "%d" or "%S" and that the directives take, from left
/// to right, exactly the arguments in `items` (kinds, or the arguments themselves). At compile
/// time a throw is a compile error whose note shows the offending line below.
template <class Item>
constexpr void check_format(std::string_view format, std::span<const Item> items) {
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i == format.size()) throw format_error("sprintf: the format ends in a lone '%'");
        format_kind wanted{};
        switch (format[i]) {
            case 'd': wanted = format_kind::integer; break;
            case 's':
            case 'S': wanted = format_kind::string; break;
            default: throw format_error("sprintf: unknown directive (only %s, %d and %S exist)");
        }
        if (next == items.size()) throw format_error("sprintf: more directives than arguments");
        if (format_kind_of_item(items[next++]) != wanted) {
            throw format_error("sprintf: a directive does not match its argument's type");
        }
    }
    if (next != items.size()) throw format_error("sprintf: more arguments than directives");
}

template <class T>
format_arg make_format_arg(const T& value) {
    if constexpr (format_kind_of<T>() == format_kind::integer) {
        // Unsigned negation gives the magnitude of every negative value, the minimum included.
        const auto bits = static_cast<std::uint64_t>(value);
        if constexpr (std::is_signed_v<T>) {
            if (value < 0) return {format_kind::integer, true, 0 - bits, {}};
        }
        return {format_kind::integer, false, bits, {}};
    } else {
        if constexpr (std::is_pointer_v<T>) {
            if (value == nullptr) throw format_error("sprintf: a null pointer given as a string");
        }
        return {format_kind::string, false, 0, std::string_view(value)};
    }
}

/// Fills `format` with `args`; throws `format_error` on any mismatch, so that it never reads an
/// argument that is not there or of another kind.
SYLVANE_API std::string vsprintf(std::string_view format, std::span<const format_arg> args);

}  // namespace detail

/// A format whose directives are checked against the argument types at compile time: "%s" and
/// "%S" take anything convertible to `std::string_view`, "%d" any integer type but `bool`.
/// "%%", any other directive and a lone "%" at the end are compile errors.
template <class... Args>
class basic_format_string {
public:
    template <class S>
    requires std::convertible_to<const S&, std::string_view>
    consteval basic_format_string(const S& format) : text_(format) {
        constexpr std::array<detail::format_kind, sizeof...(Args)> kinds{
            detail::format_kind_of<Args>()...};
        detail::check_format(text_, std::span<const detail::format_kind>(kinds));
    }
    constexpr std::string_view get() const noexcept { return text_; }

private:
    std::string_view text_;
};

/// The format type of `sprintf`; its arguments are not deduced from it.
template <class... Args>
using format_string = basic_format_string<std::type_identity_t<Args>...>;

/// Formats into a new string. Every character of the format but the directives is copied
/// unchanged; the arguments fill the directives from left to right:
/// - "%s": the bytes unchanged (NUL bytes included);
/// - "%d": decimal digits, with "-" before a negative value; no width, fill or leading zeros;
/// - "%S": the quoted form: between double quotes, `"` and `\` escaped by a backslash, line
///   feed, tab, carriage return and backspace as \n, \t, \r and \b, the other bytes from 32 to
///   126 unchanged, and every other byte as a backslash and exactly three decimal digits.
///
///     Sylvane::sprintf("%s_of_yojson: tag %S, size %d", "t", "\"A\"", -2);
///     // t_of_yojson: tag "\"A\"", size -2
template <class... Args>
std::string sprintf(format_string<Args...> format, const Args&... args) {
    const std::array<detail::format_arg, sizeof...(Args)> erased{detail::make_format_arg(args)...};
    return detail::vsprintf(format.get(), erased);
}

/// `sprintf` with a format known only at run time: a format that does not match the arguments
/// throws `format_error` instead of failing to compile.
template <class... Args>
std::string runtime_sprintf(std::string_view format, const Args&... args) {
    const std::array<detail::format_arg, sizeof...(Args)> erased{detail::make_format_arg(args)...};
    return detail::vsprintf(format, erased);
}

}  // namespace Sylvane
