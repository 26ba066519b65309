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
/// The `_WITH` forms take a parenthesised option list second (see `options.hpp`); a field or an
/// enumerator is a name, or a parenthesised name and its options:
///
///     SYLVANE_RECORD_WITH(user, (rename_all(camel_case), ignore_unknown_keys),
///                         (id, key("id_str")), screen_name, (retries, with_default))
///     SYLVANE_ENUM(color, red, (green, "GREEN"))
///
/// A type may list at most 256 fields, enumerators or alternatives.

#include <array>
#include <string_view>
#include <tuple>

#include <sylvane/derive/options.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/record_template.hpp>
#include <sylvane/derive/sum.hpp>

// A for-each over up to 256 arguments (a little more, so that 257 reaches the size check):
// each step is re-expanded by SYLVANE_PP_EXPAND. Every scan copies the text being expanded, so a
// list of up to 16 or up to 64 arguments takes a shorter expansion (64 or 256 scans, at three
// an argument) rather than the 1024 scans that 257 need.
#define SYLVANE_PP_EXPAND(...) \
    SYLVANE_PP_EXPAND4(SYLVANE_PP_EXPAND4(SYLVANE_PP_EXPAND4(SYLVANE_PP_EXPAND4(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND4(...) \
    SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(SYLVANE_PP_EXPAND3(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND3(...) \
    SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(SYLVANE_PP_EXPAND2(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND2(...) \
    SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(SYLVANE_PP_EXPAND1(__VA_ARGS__))))
#define SYLVANE_PP_EXPAND1(...) __VA_ARGS__
#define SYLVANE_PP_PARENS ()
/// `m(ctx, a)` for each argument `a`.
#define SYLVANE_PP_FOR_EACH(m, ctx, ...) \
    __VA_OPT__(SYLVANE_PP_EXPANDER(__VA_ARGS__)(SYLVANE_PP_FOR_EACH_STEP(m, ctx, __VA_ARGS__)))
#define SYLVANE_PP_FOR_EACH_STEP(m, ctx, a, ...) \
    m(ctx, a) __VA_OPT__(SYLVANE_PP_FOR_EACH_AGAIN SYLVANE_PP_PARENS(m, ctx, __VA_ARGS__))
#define SYLVANE_PP_FOR_EACH_AGAIN() SYLVANE_PP_FOR_EACH_STEP
// The expansion for a list: its 65th argument is a filler, `~, EXPANDn`, only where the list
// is shorter (the last 16 fillers for a list of up to 16), and the second of what the filler
// makes is EXPANDn; else SYLVANE_PP_EXPAND.
#define SYLVANE_PP_EXPANDER(...)                                                                  \
    SYLVANE_PP_SECOND(                                                                            \
        SYLVANE_PP_ARG65(                                                                         \
            __VA_ARGS__, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,      \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64,  \
            SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO64, SYLVANE_PP_TO16,  \
            SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16,  \
            SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16,  \
            SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16, SYLVANE_PP_TO16), \
        SYLVANE_PP_EXPAND)
#define SYLVANE_PP_TO16 ~, SYLVANE_PP_EXPAND3
#define SYLVANE_PP_TO64 ~, SYLVANE_PP_EXPAND4
#define SYLVANE_PP_ARG65(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, \
                         _17, _18, _19, _20, _21, _22, _23, _24, _25, _26, _27, _28, _29, _30,  \
                         _31, _32, _33, _34, _35, _36, _37, _38, _39, _40, _41, _42, _43, _44,  \
                         _45, _46, _47, _48, _49, _50, _51, _52, _53, _54, _55, _56, _57, _58,  \
                         _59, _60, _61, _62, _63, _64, x, ...)                                  \
    x
#define SYLVANE_PP_SECOND(...) SYLVANE_PP_SECOND_(__VA_ARGS__)
#define SYLVANE_PP_SECOND_(a, b, ...) b

// `(a, b)` -> `a, b`; `a` -> `a`.
#define SYLVANE_PP_DEPAREN(x) SYLVANE_PP_DEPAREN_ESC(SYLVANE_PP_DEPAREN_ISH x)
#define SYLVANE_PP_DEPAREN_ISH(...) SYLVANE_PP_DEPAREN_ISH __VA_ARGS__
#define SYLVANE_PP_DEPAREN_ESC(...) SYLVANE_PP_DEPAREN_ESC_(__VA_ARGS__)
#define SYLVANE_PP_DEPAREN_ESC_(...) SYLVANE_PP_DEPAREN_VAN##__VA_ARGS__
#define SYLVANE_PP_DEPAREN_VANSYLVANE_PP_DEPAREN_ISH
// `(o1, o2)` -> `, o1, o2`; `()` -> nothing.
#define SYLVANE_PP_COMMA_LIST(...) __VA_OPT__(, ) __VA_ARGS__

#define SYLVANE_DETAIL_ONE(ctx, a) +1
#define SYLVANE_DETAIL_ALTERNATIVE(ctx, p) SYLVANE_DETAIL_ALTERNATIVE_ p,
#define SYLVANE_DETAIL_ALTERNATIVE_(A, ...) \
    ::Sylvane::derive::alternative<A> {     \
        __VA_ARGS__                         \
    }
// A field or enumerator `a` or `(a, options...)`: its member, its settings.
#define SYLVANE_DETAIL_MEMBER(T, f) SYLVANE_DETAIL_MEMBER_(T, SYLVANE_PP_DEPAREN(f))
#define SYLVANE_DETAIL_MEMBER_(T, ...) SYLVANE_DETAIL_MEMBER__(T, __VA_ARGS__)
#define SYLVANE_DETAIL_MEMBER__(T, m, ...) , &T::m
#define SYLVANE_DETAIL_FIELD(T, f) SYLVANE_DETAIL_FIELD_(SYLVANE_PP_DEPAREN(f))
#define SYLVANE_DETAIL_FIELD_(...) SYLVANE_DETAIL_FIELD__(__VA_ARGS__)
#define SYLVANE_DETAIL_FIELD__(m, ...) \
    ::Sylvane::derive::detail::make_field(#m __VA_OPT__(, ) __VA_ARGS__),
#define SYLVANE_DETAIL_ENUMERATOR(T, e) SYLVANE_DETAIL_ENUMERATOR_(T, SYLVANE_PP_DEPAREN(e))
#define SYLVANE_DETAIL_ENUMERATOR_(T, ...) SYLVANE_DETAIL_ENUMERATOR__(T, __VA_ARGS__)
#define SYLVANE_DETAIL_ENUMERATOR__(T, e, ...) T::e,
#define SYLVANE_DETAIL_TAG(T, e) SYLVANE_DETAIL_TAG_(SYLVANE_PP_DEPAREN(e))
#define SYLVANE_DETAIL_TAG_(...) SYLVANE_DETAIL_TAG__(__VA_ARGS__)
#define SYLVANE_DETAIL_TAG__(e, ...) \
    ::Sylvane::derive::detail::make_tag(#e __VA_OPT__(, ) __VA_ARGS__),
#define SYLVANE_DETAIL_COUNT(...) (0 SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ONE, ~, __VA_ARGS__))

// The option names, in scope where options are written (block scope, so that they hide, and
// are not hidden by, names of the user's namespace).
#define SYLVANE_DETAIL_USING_OPTIONS                                                             \
    using ::Sylvane::derive::options::as_is, ::Sylvane::derive::options::camel_case,             \
        ::Sylvane::derive::options::pascal_case, ::Sylvane::derive::options::kebab_case,         \
        ::Sylvane::derive::options::screaming_snake_case, ::Sylvane::derive::options::key,       \
        ::Sylvane::derive::options::skip, ::Sylvane::derive::options::with_default,              \
        ::Sylvane::derive::options::omit_empty, ::Sylvane::derive::options::rename_all,          \
        ::Sylvane::derive::options::flatten, ::Sylvane::derive::options::extra_keys,             \
        ::Sylvane::derive::options::ignore_unknown_keys,                                         \
        ::Sylvane::derive::options::deny_unknown_keys, ::Sylvane::derive::options::external_tag, \
        ::Sylvane::derive::options::internal_tag, ::Sylvane::derive::options::adjacent_tag,      \
        ::Sylvane::derive::options::untagged, ::Sylvane::derive::options::as_integer
#define SYLVANE_DETAIL_SETTINGS(Settings, opts)                                                  \
    [] {                                                                                         \
        SYLVANE_DETAIL_USING_OPTIONS;                                                            \
        return ::Sylvane::derive::detail::make_settings(Settings {} SYLVANE_PP_COMMA_LIST opts); \
    }()

/// Defines the hook of type `T` from two converters already defined: `to` from a `const T&`
/// to a tree, `of` from a tree to a `T`. For hand-written converters.
#define SYLVANE_CONVERTERS(T, to, of)                                                             \
    [[maybe_unused]] constexpr auto sylvane_converters(::Sylvane::derive::type_tag<T>) noexcept { \
        return ::Sylvane::derive::converters{to, of};                                             \
    }

// The description of record `T` (named `D`).
#define SYLVANE_DETAIL_RECORD_DESC(D, T, opts, ...)                                 \
    struct D {                                                                      \
        using type = T;                                                             \
        static constexpr ::std::string_view name = #T;                              \
        static constexpr ::Sylvane::derive::record_settings settings =              \
            SYLVANE_DETAIL_SETTINGS(::Sylvane::derive::record_settings, opts);      \
        static constexpr ::std::array<::Sylvane::derive::field_settings,            \
                                      SYLVANE_DETAIL_COUNT(__VA_ARGS__)>            \
            fields = [] {                                                           \
                SYLVANE_DETAIL_USING_OPTIONS;                                       \
                return ::std::array<::Sylvane::derive::field_settings,              \
                                    SYLVANE_DETAIL_COUNT(__VA_ARGS__)>{             \
                    SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_FIELD, T, __VA_ARGS__)};     \
            }();                                                                    \
        using members = ::Sylvane::derive::member_list<nullptr SYLVANE_PP_FOR_EACH( \
            SYLVANE_DETAIL_MEMBER, T, __VA_ARGS__)>;                                \
    }

/// Converters of the record (struct) `T` as a JSON object with the listed fields, in order.
/// `T` must be default-constructible; a `std::optional` field may be absent from the object.
/// A field is `member` or `(member, options...)`: `key("json key")`, `skip`, `with_default`,
/// `omit_empty`.
#define SYLVANE_RECORD(T, ...) SYLVANE_RECORD_WITH(T, (), __VA_ARGS__)

/// `SYLVANE_RECORD` with record options: `(rename_all(camel_case), with_default, omit_empty,
/// ignore_unknown_keys)`, or `deny_unknown_keys`.
#define SYLVANE_RECORD_WITH(T, opts, ...)                                                   \
    SYLVANE_DETAIL_RECORD_DESC(sylvane_record_##T, T, opts, __VA_ARGS__);                   \
    inline constexpr ::Sylvane::derive::record_to_tree<sylvane_record_##T> yojson_of_##T{}; \
    inline constexpr ::Sylvane::derive::record_of_tree<sylvane_record_##T> T##_of_yojson{}; \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)

/// Converters of every instantiation of the class template record `T`, whose template
/// parameters are `params`; written once, after the template, in its namespace. Messages name
/// the template alone ("box_of_yojson: ..."). `T` is written in parentheses when it has commas.
///
///     template <class T> struct box { T value; std::string label; };
///     SYLVANE_RECORD_TEMPLATE((class T), (box<T>), value, label)
///     template <class K, std::size_t N> struct keyed { std::array<K, N> keys; };
///     SYLVANE_RECORD_TEMPLATE((class K, std::size_t N), (keyed<K, N>), keys)
#define SYLVANE_RECORD_TEMPLATE(params, T, ...) \
    SYLVANE_RECORD_TEMPLATE_WITH(params, T, (), __VA_ARGS__)

/// `SYLVANE_RECORD_TEMPLATE` with record options.
#define SYLVANE_RECORD_TEMPLATE_WITH(params, T, opts, ...)                                \
    template <SYLVANE_PP_DEPAREN(params)>                                                 \
    [[maybe_unused]] constexpr auto sylvane_converters(                                   \
        ::Sylvane::derive::type_tag<SYLVANE_PP_DEPAREN(T)>) noexcept {                    \
        struct local {                                                                    \
            using type = SYLVANE_PP_DEPAREN(T);                                           \
            static constexpr ::std::string_view name() {                                  \
                return ::Sylvane::derive::detail::template_name(#T);                      \
            }                                                                             \
            static constexpr ::Sylvane::derive::record_settings settings() {              \
                return SYLVANE_DETAIL_SETTINGS(::Sylvane::derive::record_settings, opts); \
            }                                                                             \
            static constexpr auto fields() {                                              \
                SYLVANE_DETAIL_USING_OPTIONS;                                             \
                return ::std::array<::Sylvane::derive::field_settings,                    \
                                    SYLVANE_DETAIL_COUNT(__VA_ARGS__)>{                   \
                    SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_FIELD, type, __VA_ARGS__)};        \
            }                                                                             \
            static constexpr auto members() {                                             \
                return ::Sylvane::derive::member_list<nullptr SYLVANE_PP_FOR_EACH(        \
                    SYLVANE_DETAIL_MEMBER, type, __VA_ARGS__)>{};                         \
            }                                                                             \
        };                                                                                \
        using desc = ::Sylvane::derive::local_record<local>;                              \
        return ::Sylvane::derive::converters{::Sylvane::derive::record_to_tree<desc>{},   \
                                             ::Sylvane::derive::record_of_tree<desc>{}};  \
    }

/// `SYLVANE_RECORD` written inside the class `T` itself: its fields may be private, and `T`
/// may be nested in another class.
#define SYLVANE_INTRUSIVE_RECORD(T, ...) SYLVANE_INTRUSIVE_RECORD_WITH(T, (), __VA_ARGS__)

/// `SYLVANE_RECORD_WITH` written inside the class `T` itself.
#define SYLVANE_INTRUSIVE_RECORD_WITH(T, opts, ...)                                                \
    SYLVANE_DETAIL_RECORD_DESC(sylvane_record, T, opts, __VA_ARGS__);                              \
    [[maybe_unused]] friend constexpr auto sylvane_converters(                                     \
        ::Sylvane::derive::type_tag<T>) noexcept {                                                 \
        return ::Sylvane::derive::converters{::Sylvane::derive::record_to_tree<sylvane_record>{},  \
                                             ::Sylvane::derive::record_of_tree<sylvane_record>{}}; \
    }

// The description of enumeration `T` (named `D`).
#define SYLVANE_DETAIL_ENUM_DESC(D, T, opts, ...)                                   \
    struct D {                                                                      \
        using type = T;                                                             \
        static constexpr ::std::string_view name = #T;                              \
        static constexpr ::Sylvane::derive::enum_settings settings =                \
            SYLVANE_DETAIL_SETTINGS(::Sylvane::derive::enum_settings, opts);        \
        static constexpr ::std::array<T, SYLVANE_DETAIL_COUNT(__VA_ARGS__)> values{ \
            SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ENUMERATOR, T, __VA_ARGS__)};        \
        static constexpr ::std::array<::Sylvane::derive::tag_settings,              \
                                      SYLVANE_DETAIL_COUNT(__VA_ARGS__)>            \
            tag_settings{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_TAG, T, __VA_ARGS__)};  \
    }

/// Converters of the enumeration `T` with the listed enumerators, each written as the string
/// of its tag: its name, or `(enumerator, "tag")`; or as an integer code: `(enumerator, 7)`
/// for each, or the option `as_integer` for the enumerators' values.
#define SYLVANE_ENUM(T, ...) SYLVANE_ENUM_WITH(T, (), __VA_ARGS__)

/// `SYLVANE_ENUM` with options: `(rename_all(screaming_snake_case))`.
#define SYLVANE_ENUM_WITH(T, opts, ...)                                                 \
    SYLVANE_DETAIL_ENUM_DESC(sylvane_enum_##T, T, opts, __VA_ARGS__);                   \
    inline constexpr ::Sylvane::derive::enum_to_tree<sylvane_enum_##T> yojson_of_##T{}; \
    inline constexpr ::Sylvane::derive::enum_of_tree<sylvane_enum_##T> T##_of_yojson{}; \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)

/// `SYLVANE_ENUM_WITH` for an enumeration `T` declared in a class, written in that class
/// after `T`.
#define SYLVANE_NESTED_ENUM_WITH(T, opts, ...)                                                     \
    SYLVANE_DETAIL_ENUM_DESC(sylvane_enum_##T, T, opts, __VA_ARGS__);                              \
    [[maybe_unused]] friend constexpr auto sylvane_converters(                                     \
        ::Sylvane::derive::type_tag<T>) noexcept {                                                 \
        return ::Sylvane::derive::converters{::Sylvane::derive::enum_to_tree<sylvane_enum_##T>{},  \
                                             ::Sylvane::derive::enum_of_tree<sylvane_enum_##T>{}}; \
    }
/// `SYLVANE_ENUM` for an enumeration `T` declared in a class, written in that class after `T`.
#define SYLVANE_NESTED_ENUM(T, ...) SYLVANE_NESTED_ENUM_WITH(T, (), __VA_ARGS__)

/// Converters of `T`, a `std::variant` (or a class derived from one that inherits its
/// constructors) of distinct alternative types, each listed once as `(type, "Tag")`, written
/// `["Tag", payload]`; `(type, 7)` tags it with the integer code 7 instead, and `(type)` takes
/// its place in the listing as its code where the variant has the option `as_integer`. ADL finds
/// the converters through the namespaces of `T`'s alternatives when `T` is an alias of
/// `std::variant`; when no alternative is a type of this namespace, derive a class instead.
#define SYLVANE_VARIANT(T, ...) SYLVANE_VARIANT_WITH(T, (), __VA_ARGS__)

/// `SYLVANE_VARIANT` in another form: `(external_tag)`, `(internal_tag("type"))`,
/// `(adjacent_tag("t", "c"))` or `(untagged)`.
#define SYLVANE_VARIANT_WITH(T, opts, ...)                                                    \
    struct sylvane_variant_##T {                                                              \
        using type = T;                                                                       \
        static constexpr ::std::string_view name = #T;                                        \
        static constexpr ::Sylvane::derive::variant_settings settings =                       \
            SYLVANE_DETAIL_SETTINGS(::Sylvane::derive::variant_settings, opts);               \
        static constexpr auto alternatives =                                                  \
            ::std::tuple{SYLVANE_PP_FOR_EACH(SYLVANE_DETAIL_ALTERNATIVE, T, __VA_ARGS__)};    \
    };                                                                                        \
    inline constexpr ::Sylvane::derive::variant_to_tree<sylvane_variant_##T> yojson_of_##T{}; \
    inline constexpr ::Sylvane::derive::variant_of_tree<sylvane_variant_##T> T##_of_yojson{}; \
    SYLVANE_CONVERTERS(T, yojson_of_##T, T##_of_yojson)
