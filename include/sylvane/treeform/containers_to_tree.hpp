#pragma once
/// Converters from containers to trees. Each is given its element converters and returns a
/// converter, or is given the element converters and the container and converts at once:
///
///     yojson_of_list(yojson_of_option(yojson_of_int))          // a converter
///     yojson_of_list(yojson_of_int, std::vector<std::int64_t>{1, 2})  // List [Int 1; Int 2]
///
/// None catches anything: a failure of an element converter passes out unchanged and no tree is
/// returned. Only `yojson_of_array` fails on its own, when an element converter shrinks the
/// array it reads. The element converters are called in a fixed order,
/// which for pairs, triples, arrays and tables differs from the output order. A container passed
/// as an rvalue hands its elements to the element converters as rvalues, so that, for instance,
/// `yojson_of_list(yojson_of_string, std::move(names))` moves the strings into the trees.

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <iterator>
#include <map>
#include <optional>
#include <ranges>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/bind_elements.hpp>

namespace Sylvane::Treeform {

namespace detail {

/// `f` turns an `Arg` into a tree.
template <class F, class Arg>
concept to_tree = std::invocable<const F&, Arg> &&
    std::convertible_to<std::invoke_result_t<const F&, Arg>, yojson>;

/// Raises the failure of `yojson_of_array` when an element converter shrank the array under it.
[[noreturn]] SYLVANE_API void array_shrank();

template <class T>
inline constexpr bool is_optional = false;
template <class T>
inline constexpr bool is_optional<std::optional<T>> = true;

/// A tuple-like value of `N` positions, such as `std::pair` (2) or `std::tuple` (3).
template <class P, std::size_t N>
concept tuple_of = requires {
    std::tuple_size<std::remove_cvref_t<P>>::value;
}
&&std::tuple_size_v<std::remove_cvref_t<P>> == N;

/// Position `I` of `p`, an rvalue when `p` is one.
template <std::size_t I, class P>
decltype(auto) part(P&& p) {
    using std::get;
    return get<I>(std::forward<P>(p));
}

/// An element reached through `it`, an rvalue when the container `R` was passed as one (a
/// view, such as a `std::span`, does not own its elements, so they are never moved from).
template <class R, class It>
decltype(auto) element(const It& it) {
    if constexpr (std::is_lvalue_reference_v<R> || std::ranges::borrowed_range<R>)
        return *it;
    else
        return std::ranges::iter_move(it);
}
template <class R>
using element_t = decltype(element<R>(std::ranges::begin(std::declval<R&>())));

/// `List` of the given trees, moved in.
template <class... Trees>
yojson list_of(Trees&&... trees) {
    list_builder b(sizeof...(Trees));
    (b.push_back(std::move(trees)), ...);
    return std::move(b).finish();
}

template <class F, class R>
yojson of_list(const F& f, R&& xs) {
    const auto n = static_cast<std::size_t>(std::ranges::size(xs));
    list_builder b(n);
    // Counting as well stops at the size even for a range longer than its size says.
    auto it = std::ranges::begin(xs);
    const auto end = std::ranges::end(xs);
    for (std::size_t i = 0; i < n && it != end; ++i, ++it)
        b.emplace([&] { return f(element<R>(it)); });
    return std::move(b).finish();
}

template <class F, class R>
yojson of_array(const F& f, R&& xs) {
    // Converted from the last element down, then put in index order; the size is read again
    // before each element, since an element converter may shrink the array it is reading.
    const auto n = static_cast<std::size_t>(std::ranges::size(xs));
    list_builder b(n);
    for (std::size_t i = n; i-- > 0;) {
        if (i >= static_cast<std::size_t>(std::ranges::size(xs))) array_shrank();
        b.emplace(
            [&] { return f(element<R>(std::ranges::begin(xs) + static_cast<std::ptrdiff_t>(i))); });
    }
    b.reverse();
    return std::move(b).finish();
}

/// One entry of a table: the value converted before the key, the key's tree first.
template <class FK, class FV, class Key, class Value>
yojson entry_of(const FK& fk, const FV& fv, const Key& k, const Value& v) {
    yojson tv = fv(v);
    yojson tk = fk(k);
    return list_of(std::move(tk), std::move(tv));
}

/// A range of key and value pairs, such as `std::map` or `std::unordered_map`.
template <class M>
concept binding_range = std::ranges::forward_range<const M&> &&
    std::ranges::sized_range<const M&> && requires(std::ranges::range_reference_t<const M&> b) {
    b.first;
    b.second;
};

template <class FK, class FV, class K, class V, class H, class E>
yojson of_table(const FK& fk, const FV& fv, const hashtbl<K, V, H, E>& t) {
    // The entries come out in the reverse of the order in which the fold presents them, so
    // that one key's entries come oldest first.
    list_builder b(t.length());
    t.iter([&](const K& k, const V& v) { b.emplace([&] { return entry_of(fk, fv, k, v); }); });
    b.reverse();
    return std::move(b).finish();
}

template <class FK, class FV, class M>
yojson of_table(const FK& fk, const FV& fv, const M& m) {
    // As for `hashtbl`, the entries come out in the reverse of the visiting order; a map that
    // can be walked backwards is visited from its end, so its entries keep the map's order.
    list_builder b(static_cast<std::size_t>(std::ranges::size(m)));
    if constexpr (std::ranges::bidirectional_range<const M&>) {
        for (auto it = std::ranges::end(m), first = std::ranges::begin(m); it != first;) {
            --it;
            b.emplace([&] { return entry_of(fk, fv, it->first, it->second); });
        }
    } else {
        for (const auto& binding : m)
            b.emplace([&] { return entry_of(fk, fv, binding.first, binding.second); });
    }
    b.reverse();
    return std::move(b).finish();
}

}  // namespace detail

/// The tree of the cell's content at the call: the element converter's tree, nothing added.
inline constexpr struct yojson_of_ref_fn : detail::binds_elements<yojson_of_ref_fn, 1> {
    using binds_elements::operator();
    template <class F, class T>
    requires detail::to_tree<F, const T&> yojson operator()(const F& f, const ref<T>& r) const {
        return f(r.get());
    }
} yojson_of_ref{};

/// The tree of the forced value: forces it first (running its computation if it has not run)
/// and passes the computation's failure on without calling the element converter.
inline constexpr struct yojson_of_lazy_t_fn : detail::binds_elements<yojson_of_lazy_t_fn, 1> {
    using binds_elements::operator();
    template <class F, class T>
    requires detail::to_tree<F, const T&> yojson operator()(const F& f, const lazy<T>& l) const {
        return f(l.force());
    }
} yojson_of_lazy_t{};

/// `Null` for the empty option, which calls nothing; otherwise the element converter's tree of
/// the value, so a present value whose tree is `Null` reads back as the empty option.
inline constexpr struct yojson_of_option_fn : detail::binds_elements<yojson_of_option_fn, 1> {
    using binds_elements::operator();
    template <class F, class O>
    requires detail::is_optional<std::remove_cvref_t<O>> &&
        detail::to_tree<F, decltype(*std::declval<O>())>
            yojson operator()(const F& f, O&& o) const {
        if (!o.has_value()) return yojson::Null();
        return f(*std::forward<O>(o));
    }
} yojson_of_option{};

/// `List [ta; tb]` of a pair (`std::pair` or any two-position tuple); converts the second
/// component before the first.
inline constexpr struct yojson_of_pair_fn : detail::binds_elements<yojson_of_pair_fn, 2> {
    using binds_elements::operator();
    template <class F1, class F2, class P>
    requires detail::tuple_of<P, 2> &&
        detail::to_tree<F1, decltype(detail::part<0>(std::declval<P>()))> &&
        detail::to_tree<F2, decltype(detail::part<1>(std::declval<P>()))>
            yojson operator()(const F1& f1, const F2& f2, P&& p) const {
        yojson tb = f2(detail::part<1>(std::forward<P>(p)));
        yojson ta = f1(detail::part<0>(std::forward<P>(p)));
        return detail::list_of(std::move(ta), std::move(tb));
    }
} yojson_of_pair{};

/// `List [ta; tb; tc]` of a triple (`std::tuple` or any three-position tuple); converts the
/// third component, then the second, then the first.
inline constexpr struct yojson_of_triple_fn : detail::binds_elements<yojson_of_triple_fn, 3> {
    using binds_elements::operator();
    template <class F1, class F2, class F3, class P>
    requires detail::tuple_of<P, 3> &&
        detail::to_tree<F1, decltype(detail::part<0>(std::declval<P>()))> &&
        detail::to_tree<F2, decltype(detail::part<1>(std::declval<P>()))> &&
        detail::to_tree<F3, decltype(detail::part<2>(std::declval<P>()))>
            yojson operator()(const F1& f1, const F2& f2, const F3& f3, P&& p) const {
        yojson tc = f3(detail::part<2>(std::forward<P>(p)));
        yojson tb = f2(detail::part<1>(std::forward<P>(p)));
        yojson ta = f1(detail::part<0>(std::forward<P>(p)));
        return detail::list_of(std::move(ta), std::move(tb), std::move(tc));
    }
} yojson_of_triple{};

/// `List` of the element trees in order, converting from the first element to the last. Takes
/// a `std::vector` or any sized forward range (`std::span`, `std::array`, `std::deque`, ...).
inline constexpr struct yojson_of_list_fn : detail::binds_elements<yojson_of_list_fn, 1> {
    using binds_elements::operator();
    template <class F, class R>
    requires std::ranges::forward_range<R> && std::ranges::sized_range<R> &&
        detail::to_tree<F, detail::element_t<R>>
            yojson operator()(const F& f, R&& xs) const {
        return detail::of_list(f, std::forward<R>(xs));
    }
} yojson_of_list{};

/// `List` of the element trees in index order, converting from the last index down to 0 and
/// reading each element just before its conversion. Takes a `std::vector` or any sized
/// random-access range (`std::span`, `std::array`, `std::deque`, ...). An element converter
/// that shrinks the array it reads raises `std::out_of_range` instead of reading past its end.
inline constexpr struct yojson_of_array_fn : detail::binds_elements<yojson_of_array_fn, 1> {
    using binds_elements::operator();
    template <class F, class R>
    requires std::ranges::random_access_range<R> && std::ranges::sized_range<R> &&
        detail::to_tree<F, detail::element_t<R>>
            yojson operator()(const F& f, R&& xs) const {
        return detail::of_array(f, std::forward<R>(xs));
    }
} yojson_of_array{};

/// `List` of one `List [key tree; value tree]` per binding, hidden bindings included, in the
/// reverse of the order in which `fold` presents them, so one key's entries come oldest first
/// and reading them back in order restores the hiding. Within a binding the value is converted
/// before the key. Also takes a `std::unordered_map` (one binding per key; entries in the
/// reverse of its iteration order) or a `std::map` and other bidirectional ranges of pairs
/// (entries in the map's order, converted from the last to the first).
inline constexpr struct yojson_of_hashtbl_fn : detail::binds_elements<yojson_of_hashtbl_fn, 2> {
    using binds_elements::operator();
    template <class FK, class FV, class K, class V, class H, class E>
    requires detail::to_tree<FK, const K&> && detail::to_tree<FV, const V&> yojson
    operator()(const FK& fk, const FV& fv, const hashtbl<K, V, H, E>& t) const {
        return detail::of_table(fk, fv, t);
    }
    template <class FK, class FV, class M>
    requires detail::binding_range<M> && detail::to_tree<
        FK, decltype((std::declval<std::ranges::range_reference_t<const M&>>().first))> &&
        detail::to_tree<FV,
                        decltype((std::declval<std::ranges::range_reference_t<const M&>>().second))>
            yojson operator()(const FK& fk, const FV& fv, const M& m) const {
        return detail::of_table(fk, fv, m);
    }
} yojson_of_hashtbl{};

}  // namespace Sylvane::Treeform
