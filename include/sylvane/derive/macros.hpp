#pragma once
/// The macros that derive converters for a user type. Each is written in the type's namespace,
/// after the type's definition, and defines `yojson_of_T`, `T_of_yojson` and the hook that lets
/// `Sylvane::yojson_of`, `Sylvane::of_yojson<T>` and every container find them.
///
///     namespace geo {
///     struct point { double x; double y; };
///     SYLVANE_RECORD(point, x, y)
///     enum class color { red, green };
///     SYLVANE_ENUM(color, red, green)
///     struct circle { double r; };
///     struct empty {};
///     using shape = std::variant<circle, empty>;
///     SYLVANE_VARIANT(shape, (circle, "Circle"), (empty, "Empty"))
///     }
///
/// The name written first is the type's name in every failure message ("point_of_yojson: ...").

#include <array>
#include <string_view>
#include <tuple>

#include <sylvane/derive/record.hpp>
#include <sylvane/derive/sum.hpp>

// A for-each over the arguments: each step is re-expanded by SYLVANE_PP_EXPAND, whose nesting
// bounds how many arguments it takes.
#define SYLVANE_PP_EXPAND(...) \
    SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND3(...) \
    SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND2(...) \
    SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND1(...) __VA_ARGS__
#define SYLVANE_PP_PARENS ()
/// `m(ctx, a)` for each argument `a`.
#define SYLVANE_PP_FOR_EACH(m, ctx, ...) \
    __VA_OPT__(SYLVANE_PP_EXPAND(SYLVANE_PP_FOR_EACH_STEP(m, ctx, __VA_ARGS__)))
#define SYLVANE_PP_FOR_EACH_STEP(m, ctx, a, ...) \
    m(ctx, a) __VA_OPT__(SYLVANE_PP_FOR_EACH_AGAIN SYLVANE_PP_PARENS(m, ctx, __VA_ARGS__))
#define SYLVANE_PP_FOR_EACH_AGAIN() SYLVANE_PP_FOR_EACH_STEP

#define SYLVANE_DETAIL_ONE(ctx, a) +1
#define SYLVANE_DETAIL_NAME(ctx, a) #a,
#define SYLVANE_DETAIL_MEMBER(T, a) &T::a,
#define SYLVANE_DETAIL_ENUMERATOR(T, a) T::a,
#define SYLVANE_DETAIL_ALTERNATIVE(ctx, p) SYLVANE_DETAIL_ALTERNATIVE_ p,
#define SYLVANE_DETAIL_ALTERNATIVE_(A, tag) \
    ::Sylvane::derive::alternative<A> {     \
        tag                                 \
    }

/// Defines the hook of type `T` from two converters already defined: `to` from a `const T&`
/// to a tree, `of` from a tree to a `T`. For hand-written converters.
#define SYLVANE_CONVERTERS(T, to, of)                                                             \
    [[maybe_unused]] constexpr auto sylvane_converters(::Sylvane::derive::type_tag<T>) noexcept { \
        return ::Sylvane::derive::converters{to, of};                                             \
    }

/// Converters of the record (struct) `T` as a JSON object with the listed fields, in order.
/// `T` must be default-constructible; a `std::optional` field may be absent from the object.
#define SYLVANE_RECORD(T, ...)                                                                   \
    struct sylvane_record_##T {                                                                  \
        using type = T;                                                                          \
        static constexpr ::std::string_view name = #T;                                           \
        static constexpr ::std::array<::std::string_view,                                        \
                                      0 SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ONE, T, __VA_ARGS__)> \
            names{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_NAME, T, __VA_ARGS__)};                     \
        static constexpr auto members =                                                          \
            ::std::tuple{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_MEMBER, T, __VA_ARGS__)};            \
    };                                                                                           \
    inline constexpr ::Sylvane::derive::record_to_tree<sylvane_record_##T> yojson_of_##T{};      \
    inline constexpr ::Sylvane::derive::record_of_tree<sylvane_record_##T> T##_of_yojson{};      \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)

/// Converters of the enumeration `T` with the listed enumerators, each tagged by its name.
#define SYLVANE_ENUM(T, ...)                                                                     \
    struct sylvane_enum_##T {                                                                    \
        using type = T;                                                                          \
        static constexpr ::std::string_view name = #T;                                           \
        static constexpr ::std::array<T,                                                         \
                                      0 SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ONE, T, __VA_ARGS__)> \
            values{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ENUMERATOR, T, __VA_ARGS__)};              \
        static constexpr ::std::array<::std::string_view,                                        \
                                      0 SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ONE, T, __VA_ARGS__)> \
            tags{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_NAME, T, __VA_ARGS__)};                      \
    };                                                                                           \
    inline constexpr ::Sylvane::derive::enum_to_tree<sylvane_enum_##T> yojson_of_##T{};          \
    inline constexpr ::Sylvane::derive::enum_of_tree<sylvane_enum_##T> T##_of_yojson{};          \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)

/// Converters of `T`, a `std::variant` (or a class derived from one that inherits its
/// constructors) of distinct alternative types, each listed once as `(type, "Tag")`.
/// ADL finds the converters through the namespaces of `T`'s alternatives when `T` is an alias
/// of `std::variant`; when no alternative is a type of this namespace, derive a class instead.
#define SYLVANE_VARIANT(T, ...)                                                               \
    struct sylvane_variant_##T {                                                              \
        using type = T;                                                                       \
        static constexpr ::std::string_view name = #T;                                        \
        static constexpr auto alternatives =                                                  \
            ::std::tuple{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ALTERNATIVE, T, __VA_ARGS__)};    \
    };                                                                                        \
    inline constexpr ::Sylvane::derive::variant_to_tree<sylvane_variant_##T> yojson_of_##T{}; \
    inline constexpr ::Sylvane::derive::variant_of_tree<sylvane_variant_##T> T##_of_yojson{}; \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)
