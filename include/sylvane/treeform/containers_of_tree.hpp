#pragma once
/// Converters from trees to containers. Each is given its element converters and returns a
/// converter, or is given the element converters and the tree and converts at once:
///
///     auto read = list_of_yojson(option_of_yojson(int_of_yojson));  // a converter
///     std::vector<std::optional<std::int64_t>> v = read(tree);
///
/// A converter judges only the outer shape and raises `Of_yojson_error` with its fixed message
/// and the whole tree it was given when that is wrong. The element converters receive
/// references to the trees inside the given tree, never copies, in a fixed order; whatever they
/// raise passes out unchanged, conversion stops at the first failure, and the partly built
/// container is dropped.

#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/bind_elements.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane::Treeform {

namespace detail {

/// `f` turns a tree into a value.
template <class F>
concept of_tree = std::invocable<const F&, const yojson&> &&
    !std::is_void_v<std::invoke_result_t<const F&, const yojson&>>;
template <class F>
struct is_of_tree : std::bool_constant<of_tree<F>> {};

/// The type of value that the converter `F` gives.
template <class F>
using value_of_t = std::remove_cvref_t<std::invoke_result_t<const F&, const yojson&>>;

/// The container converters from the tree, naming the message each raises.
enum class container_need : unsigned char {
    pair,
    triple,
    list,
    array,
    hashtbl_list,
    hashtbl_tuple,
};

/// Raises the conversion failure of a container converter: out of line, so converters stay
/// small.
[[noreturn]] SYLVANE_API void reject_container(container_need which, const yojson& tree);

/// The elements of `t` if it is a `List` of `n` trees, else an empty optional.
inline std::optional<std::span<const yojson>> list_of_size(const yojson& t, std::size_t n) {
    if (t.kind() != yojson_kind::List) return std::nullopt;
    std::span<const yojson> items = t.as_list();
    if (items.size() != n) return std::nullopt;
    return items;
}

/// The value of `f(tree)`, made when the vector constructs its slot from it, so that `f` builds
/// the value in the slot instead of in a temporary that is then moved.
template <class F>
struct value_from {
    const F& f;
    const yojson& tree;
    operator value_of_t<F>() const { return f(tree); }
};

/// A type with no conversions: a value type constructible from it takes anything, and would
/// take a `value_from` itself rather than the value it converts to.
struct no_conversion {};

template <class F>
std::vector<value_of_t<F>> sequence(const F& f, const yojson& t, container_need need) {
    using value = value_of_t<F>;
    if (t.kind() != yojson_kind::List) reject_container(need, t);
    std::span<const yojson> items = t.as_list();
    // Filled as a local and moved into the result: the result lives in the caller's memory,
    // which an element converter that may throw could reach, so filling it in place keeps its
    // end pointer in memory, stored and loaded again for every element (1.6 times the time of
    // this loop on a list of integers).
    std::vector<value> filled;
    filled.reserve(items.size());
    for (const yojson& item : items) {
        if constexpr (std::is_class_v<value> && !std::is_constructible_v<value, no_conversion>)
            filled.emplace_back(value_from<F>{f, item});
        else
            filled.push_back(f(item));
    }
    return std::vector<value>(std::move(filled));
}

}  // namespace detail

/// A new cell holding the element converter's value of the whole tree.
inline constexpr struct ref_of_yojson_fn
    : detail::binds_elements<ref_of_yojson_fn, 1, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F>
    ref<detail::value_of_t<F>> operator()(const F& f, const yojson& t) const {
        return ref<detail::value_of_t<F>>(f(t));
    }
} ref_of_yojson{};

/// A deferred value already computed: the element converter runs now, so its failure is raised
/// by this call and forcing the result runs nothing.
inline constexpr struct lazy_t_of_yojson_fn
    : detail::binds_elements<lazy_t_of_yojson_fn, 1, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F>
    lazy<detail::value_of_t<F>> operator()(const F& f, const yojson& t) const {
        return lazy<detail::value_of_t<F>>(std::in_place, f(t));
    }
} lazy_t_of_yojson{};

/// `Null` gives the empty option without calling the element converter; any other tree (an
/// empty `List` included) is given to it and its value is present. So for nested options `Null`
/// is always the outer empty option.
inline constexpr struct option_of_yojson_fn
    : detail::binds_elements<option_of_yojson_fn, 1, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F>
    std::optional<detail::value_of_t<F>> operator()(const F& f, const yojson& t) const {
        if (t.is_null()) return std::nullopt;
        return std::optional<detail::value_of_t<F>>(std::in_place, f(t));
    }
} option_of_yojson{};

/// A `List` of exactly two trees gives the pair, converting the first before the second; any
/// other tree fails with "pair_of_yojson: invalid format".
inline constexpr struct pair_of_yojson_fn
    : detail::binds_elements<pair_of_yojson_fn, 2, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F1, detail::of_tree F2>
    std::pair<detail::value_of_t<F1>, detail::value_of_t<F2>> operator()(const F1& f1, const F2& f2,
                                                                         const yojson& t) const {
        auto items = detail::list_of_size(t, 2);
        if (!items) detail::reject_container(detail::container_need::pair, t);
        detail::value_of_t<F1> a = f1((*items)[0]);
        detail::value_of_t<F2> b = f2((*items)[1]);
        return {std::move(a), std::move(b)};
    }
} pair_of_yojson{};

/// A `List` of exactly three trees gives the triple, converting them in order; any other tree
/// fails with "triple_of_yojson: invalid format".
inline constexpr struct triple_of_yojson_fn
    : detail::binds_elements<triple_of_yojson_fn, 3, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F1, detail::of_tree F2, detail::of_tree F3>
    std::tuple<detail::value_of_t<F1>, detail::value_of_t<F2>, detail::value_of_t<F3>> operator()(
        const F1& f1, const F2& f2, const F3& f3, const yojson& t) const {
        auto items = detail::list_of_size(t, 3);
        if (!items) detail::reject_container(detail::container_need::triple, t);
        detail::value_of_t<F1> a = f1((*items)[0]);
        detail::value_of_t<F2> b = f2((*items)[1]);
        detail::value_of_t<F3> c = f3((*items)[2]);
        return {std::move(a), std::move(b), std::move(c)};
    }
} triple_of_yojson{};

/// A `List` of any length gives the vector of its converted elements in order, converting from
/// the first to the last; any other tree fails with "list_of_yojson: list needed".
inline constexpr struct list_of_yojson_fn
    : detail::binds_elements<list_of_yojson_fn, 1, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F>
    std::vector<detail::value_of_t<F>> operator()(const F& f, const yojson& t) const {
        return detail::sequence(f, t, detail::container_need::list);
    }
} list_of_yojson{};

/// As `list_of_yojson`, failing with "array_of_yojson: list needed". The vector is reserved
/// once and each element is made in its slot, so elements need no default constructor and no
/// copy.
inline constexpr struct array_of_yojson_fn
    : detail::binds_elements<array_of_yojson_fn, 1, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree F>
    std::vector<detail::value_of_t<F>> operator()(const F& f, const yojson& t) const {
        return detail::sequence(f, t, detail::container_need::array);
    }
} array_of_yojson{};

/// A `List` of `List [k; v]` entries gives a table with one binding per entry, added in order,
/// so a later entry for an equal key hides the earlier one. Within an entry the value is
/// converted before the key. A tree that is no `List` fails with "hashtbl_of_yojson: list
/// needed"; an entry of another shape, when it is reached, with "hashtbl_of_yojson: tuple list
/// needed" and the whole tree.
inline constexpr struct hashtbl_of_yojson_fn
    : detail::binds_elements<hashtbl_of_yojson_fn, 2, detail::is_of_tree> {
    using binds_elements::operator();
    template <detail::of_tree FK, detail::of_tree FV>
    hashtbl<detail::value_of_t<FK>, detail::value_of_t<FV>> operator()(const FK& fk, const FV& fv,
                                                                       const yojson& t) const {
        if (t.kind() != yojson_kind::List)
            detail::reject_container(detail::container_need::hashtbl_list, t);
        std::span<const yojson> entries = t.as_list();
        hashtbl<detail::value_of_t<FK>, detail::value_of_t<FV>> table;
        table.reserve(entries.size());
        for (const yojson& entry : entries) {
            auto kv = detail::list_of_size(entry, 2);
            if (!kv) detail::reject_container(detail::container_need::hashtbl_tuple, t);
            detail::value_of_t<FV> v = fv((*kv)[1]);
            detail::value_of_t<FK> k = fk((*kv)[0]);
            table.add(std::move(k), std::move(v));
        }
        return table;
    }
} hashtbl_of_yojson{};

}  // namespace Sylvane::Treeform
