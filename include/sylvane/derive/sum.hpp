#pragma once
/// Converters of sum types: enumerations (`SYLVANE_ENUM`) and `std::variant`s whose alternatives
/// carry tags (`SYLVANE_VARIANT`).
///
/// An alternative without arguments (an enumerator, or an empty struct) is written `["Tag"]`
/// and read from `"Tag"` or `["Tag"]`; one with arguments is `["Tag", a1, ..., aN]`, where a
/// `std::tuple` alternative gives N arguments and any other type one.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform_error.hpp>

namespace Sylvane::derive {

namespace detail {

/// The alternative that a sum tree names, and its argument trees (views into the tree).
struct sum_match {
    std::size_t index;
    std::span<const yojson> args;
};

/// Finds the alternative of a sum tree among `tags`, checking its argument count against
/// `arities`, and reports every malformed tree through the sum-type reporters with `tree`.
/// A type without alternatives reports `empty_type`.
SYLVANE_API sum_match match_sum(std::string_view type_name, std::span<const std::string_view> tags,
                                std::span<const std::size_t> arities, const yojson& tree);

/// `["Tag"]`.
SYLVANE_API yojson tagged(std::string_view tag);

/// Raised when a value to be written is no enumerator listed for its type.
[[noreturn]] SYLVANE_API void not_an_enumerator(std::string_view type_name, long long value);

}  // namespace detail

// Enumerations. `Desc` has `type`, `name`, `values` and `tags` (arrays in listing order).

/// An enumerator as `["tag"]`. A value that is no listed enumerator throws
/// `std::invalid_argument`: it has no tree that would read back.
template <class Desc>
struct enum_to_tree {
    using type = typename Desc::type;
    yojson operator()(type value) const {
        for (std::size_t i = 0; i < Desc::values.size(); ++i) {
            if (Desc::values[i] == value) return detail::tagged(Desc::tags[i]);
        }
        detail::not_an_enumerator(Desc::name, static_cast<long long>(value));
    }
};

/// An enumerator from `"tag"` or `["tag"]`.
template <class Desc>
struct enum_of_tree {
    using type = typename Desc::type;
    static_assert(detail::distinct(Desc::tags), "Sylvane: an enumerator is listed twice");
    static constexpr std::array<std::size_t, Desc::tags.size()> arities{};

    type operator()(const yojson& tree) const {
        return Desc::values[detail::match_sum(Desc::name, Desc::tags, arities, tree).index];
    }
};

// Variants. `Desc` has `type` (a `std::variant` or a class derived from one), `name`, and
// `alternatives`, a tuple of `alternative<A>` in listing order.

/// One alternative of a variant and its tag.
template <class A>
struct alternative {
    using type = A;
    std::string_view tag;
};

namespace detail {

template <class... A>
std::variant<A...> base_variant(const std::variant<A...>&);  // never defined: names the base

template <class T>
struct arguments_of {  // one argument, or none for an empty struct
    static constexpr std::size_t count = std::is_empty_v<T> ? 0 : 1;
};
template <class... A>
struct arguments_of<std::tuple<A...>> {
    static constexpr std::size_t count = sizeof...(A);
};

template <class V, class A>
struct index_in;
template <class A, class... T>
struct index_in<std::variant<T...>, A> {
    static constexpr std::size_t count = (std::size_t{std::is_same_v<A, T>} + ... + 0);
    static constexpr std::size_t value = [] {
        constexpr bool same[] = {std::is_same_v<A, T>...};
        std::size_t i = 0;
        while (i < sizeof...(T) && !same[i]) ++i;
        return i;
    }();
};

/// What follows from a variant's description.
template <class Desc>
struct variant_table {
    using type = typename Desc::type;
    using base = decltype(base_variant(std::declval<const type&>()));
    using alternatives = std::remove_cv_t<decltype(Desc::alternatives)>;
    static constexpr std::size_t size = std::tuple_size_v<alternatives>;
    template <std::size_t I>
    using alt_type = typename std::tuple_element_t<I, alternatives>::type;

    static constexpr bool all_listed_once = []<std::size_t... I>(std::index_sequence<I...>) {
        return ((index_in<base, alt_type<I>>::count == 1) && ...);
    }
    (std::make_index_sequence<size>{});
    static_assert(all_listed_once,
                  "Sylvane: every type listed in SYLVANE_VARIANT must be exactly one alternative "
                  "of the variant");
    static_assert(size == std::variant_size_v<base>,
                  "Sylvane: SYLVANE_VARIANT must list every alternative of the variant");

    static constexpr std::array<std::string_view, size> tags =
        []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<std::string_view, size>{std::get<I>(Desc::alternatives).tag...};
    }
    (std::make_index_sequence<size>{});
    static_assert(distinct(tags), "Sylvane: two alternatives of a variant have the same tag");
    static constexpr std::array<std::size_t, size> arities =
        []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<std::size_t, size>{arguments_of<alt_type<I>>::count...};
    }
    (std::make_index_sequence<size>{});
};

template <class T>
inline constexpr bool is_tuple = false;
template <class... A>
inline constexpr bool is_tuple<std::tuple<A...>> = true;

template <class A>
yojson alternative_to_tree(std::string_view tag, const A& a) {
    if constexpr (arguments_of<A>::count == 0) {
        return tagged(tag);
    } else {
        list_builder args(1 + arguments_of<A>::count);
        args.push_back(yojson::String(tag));
        if constexpr (is_tuple<A>) {
            std::apply([&](const auto&... x) { (args.emplace([&] { return yojson_of(x); }), ...); },
                       a);
        } else {
            args.emplace([&] { return yojson_of(a); });
        }
        return std::move(args).finish();
    }
}

/// Builds an alternative from its argument trees, whose count `match_sum` has checked.
template <class A>
struct alternative_reader {
    static A read(std::span<const yojson> args) {
        if constexpr (arguments_of<A>::count == 0) {
            return A{};
        } else {
            return of_yojson<A>(args[0]);
        }
    }
};
template <class... E>
struct alternative_reader<std::tuple<E...>> {
    static std::tuple<E...> read([[maybe_unused]] std::span<const yojson> args) {
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return std::tuple<E...>{of_yojson<E>(args[I])...};  // braces: left to right
        }
        (std::index_sequence_for<E...>{});
    }
};

}  // namespace detail

/// A variant as `["Tag"]` or `["Tag", args...]`. A variant left valueless by an exception
/// throws `std::bad_variant_access`.
template <class Desc>
struct variant_to_tree {
    using type = typename Desc::type;
    yojson operator()(const type& value) const {
        using table = detail::variant_table<Desc>;
        const typename table::base& v = value;
        if (v.valueless_by_exception()) throw std::bad_variant_access();
        yojson out;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (void)((v.index() == detail::index_in<typename table::base,
                                                  typename table::template alt_type<I>>::value &&
                    (out = detail::alternative_to_tree(
                         table::tags[I], *std::get_if<typename table::template alt_type<I>>(&v)),
                     true)) ||
                   ...);
        }
        (std::make_index_sequence<table::size>{});
        return out;
    }
};

/// A variant from `"Tag"`, `["Tag"]` or `["Tag", args...]`.
template <class Desc>
struct variant_of_tree {
    using type = typename Desc::type;
    type operator()(const yojson& tree) const {
        const detail::sum_match m =
            detail::match_sum(Desc::name, table::tags, table::arities, tree);
        return dispatch(m, std::make_index_sequence<table::size>{});
    }

private:
    using table = detail::variant_table<Desc>;

    template <std::size_t I>
    static type read(std::span<const yojson> args) {
        using A = typename table::template alt_type<I>;
        return type(std::in_place_index<detail::index_in<typename table::base, A>::value>,
                    detail::alternative_reader<A>::read(args));
    }
    template <std::size_t... I>
    static type dispatch(const detail::sum_match& m, std::index_sequence<I...>) {
        static constexpr type (*readers[])(std::span<const yojson>) = {&read<I>...};
        return readers[m.index](m.args);
    }
};

}  // namespace Sylvane::derive
