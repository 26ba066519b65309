#pragma once
/// Converters of sum types: enumerations (`SYLVANE_ENUM`) and `std::variant`s whose alternatives
/// carry tags (`SYLVANE_VARIANT`).
///
/// An enumerator is written `"tag"` and read from `"tag"` or `["tag"]`. A variant is written in
/// the form its options choose (`variant_form`); in the list form, an alternative without
/// arguments (an empty struct) is written `["Tag"]` and read from `"Tag"` or `["Tag"]`, one with
/// arguments is `["Tag", a1, ..., aN]`, where a `std::tuple` alternative gives N arguments and
/// any other type one.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/options.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/unknown_tag.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
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
SYLVANE_API sum_match match_sum(std::string_view type_name, tag_list tags,
                                std::span<const std::size_t> arities, const yojson& tree);

/// The index of `tag` among `tags`, or `tags.size()`.
SYLVANE_API std::size_t find_tag(std::span<const std::string_view> tags,
                                 std::string_view tag) noexcept;
/// The index of `code` among `codes`, or `codes.size()`.
SYLVANE_API std::size_t find_code(std::span<const std::int64_t> codes, std::int64_t code) noexcept;
/// The index of the tag tree `tag` (a string, or an integer where the tags are codes) among
/// `tags`, or the number of tags.
SYLVANE_API std::size_t find_tag(tag_list tags, const yojson& tag) noexcept;

/// The value of the first entry keyed `key` of the `Assoc` `tree`, or null.
SYLVANE_API const yojson* find_key(const yojson& tree, std::string_view key) noexcept;

/// `[tag]`.
SYLVANE_API yojson tagged(yojson tag);

/// `{"key": tag}`, and `{"key": tag, "content": payload}` if `payload` is not null.
SYLVANE_API yojson tag_object(std::string_view key, yojson tag, std::string_view content_key,
                              yojson* payload);

/// Whether every flag of `flags` is set.
template <std::size_t N>
constexpr bool all_set(const std::array<bool, N>& flags) noexcept {
    for (bool f : flags)
        if (!f) return false;
    return true;
}
/// Whether some flag of `flags` is set.
template <std::size_t N>
constexpr bool any_set(const std::array<bool, N>& flags) noexcept {
    for (bool f : flags)
        if (f) return true;
    return false;
}

/// The tags of a sum type as its text shows them: the integer `codes` if `coded`, else the
/// strings `names`.
template <std::size_t N>
constexpr tag_list shown_tags(bool coded, const std::array<std::string_view, N>& names,
                              const std::array<std::int64_t, N>& codes) noexcept {
    if (coded) return {{}, codes};
    return {names, {}};
}

/// The tree of tag `i` of `tags`: `String` or `Int`.
SYLVANE_API yojson tag_tree(tag_list tags, std::size_t i);

/// Raised when a value to be written is no enumerator listed for its type.
[[noreturn]] SYLVANE_API void not_an_enumerator(std::string_view type_name, long long value);

/// Which alternative of an untagged variant read each object or array, kept while the
/// outermost untagged conversion on the thread lasts. When an alternative fails after
/// converting a subtree and the next one converts it again, each variant inside goes straight
/// to the alternative that read it before: no alternative is tried twice on one tree. A tree
/// is known by its payload, which the memo holds so that no other tree can take its address.
class SYLVANE_API untagged_memo {
public:
    /// Not yet tried; `no_match`: no alternative read the tree.
    static constexpr std::size_t unknown = static_cast<std::size_t>(-1);
    static constexpr std::size_t no_match = static_cast<std::size_t>(-2);

    untagged_memo() noexcept;
    ~untagged_memo();
    untagged_memo(const untagged_memo&) = delete;
    untagged_memo& operator=(const untagged_memo&) = delete;

    /// The alternative that read `tree` as variant `type` (an address naming it), or `unknown`.
    std::size_t find(const void* type, const yojson& tree) const;
    /// Records that alternative `index` (or `no_match`) read `tree` as variant `type`.
    void record(const void* type, const yojson& tree, std::size_t index);

private:
    struct table;
    table* table_ = nullptr;  // made with the first record
};

/// The memo of the outermost untagged conversion in progress on this thread, which makes it.
class SYLVANE_API untagged_session {
public:
    untagged_session() noexcept;
    untagged_session(const untagged_session&) = delete;
    untagged_session& operator=(const untagged_session&) = delete;
    ~untagged_session();
    untagged_memo& memo() noexcept { return *memo_; }
    /// Whether this session made the memo: it belongs to the outermost conversion, whose tree
    /// is converted once.
    bool outermost() const noexcept { return memo_ == &own_; }

private:
    untagged_memo own_;
    untagged_memo* memo_;
};

}  // namespace detail

// Enumerations. `Desc` has `type`, `name`, `settings`, `values` and `tag_settings` (arrays in
// listing order).

namespace detail {

template <class Desc>
struct enum_tags_source {
    static constexpr auto entries = Desc::tag_settings;
    static constexpr naming policy = Desc::settings.rename;
};

/// The tags of enumeration `Desc`: strings, or integer codes (`as_integer`, or a code given
/// with each enumerator).
template <class Desc>
struct enum_table {
    using type = typename Desc::type;
    static constexpr std::size_t size = Desc::values.size();
    static_assert(size <= max_fields, "Sylvane: an enumeration may list at most 256 enumerators");
    static constexpr const auto& tags = name_table<enum_tags_source<Desc>>::names;
    static_assert(all_distinct(tags), "Sylvane: two enumerators have the same tag");
    static constexpr std::array<std::size_t, size> arities{};

    static constexpr std::array<bool, size> given = [] {
        std::array<bool, size> g{};
        for (std::size_t i = 0; i < size; ++i) g[i] = Desc::tag_settings[i].coded;
        return g;
    }();
    static constexpr bool coded = Desc::settings.as_integer || any_set(given);
    static_assert(!coded || Desc::settings.as_integer || all_set(given),
                  "Sylvane: give every enumerator an integer code, or use as_integer");
    static constexpr bool values_fit = [] {
        for (type v : Desc::values)
            if (!std::in_range<std::int64_t>(static_cast<std::underlying_type_t<type>>(v)))
                return false;
        return true;
    }();
    static_assert(!Desc::settings.as_integer || values_fit,
                  "Sylvane: as_integer takes enumerators whose values fit a std::int64_t");
    static constexpr std::array<std::int64_t, size> codes = [] {
        std::array<std::int64_t, size> c{};
        for (std::size_t i = 0; i < size; ++i) {
            c[i] = Desc::tag_settings[i].coded
                       ? Desc::tag_settings[i].code
                       : static_cast<std::int64_t>(
                             static_cast<std::underlying_type_t<type>>(Desc::values[i]));
        }
        return c;
    }();
    static_assert(!coded || all_distinct(codes), "Sylvane: two enumerators have the same code");
    static_assert(
        !coded ||
            [] {
                for (const auto& t : Desc::tag_settings)
                    if (t.keyed) return false;
                return true;
            }(),
        "Sylvane: an enumeration tagged by integer codes takes no string tags");
    static constexpr tag_list list = shown_tags(coded, tags, codes);
};

}  // namespace detail

/// An enumerator as `"tag"`. A value that is no listed enumerator throws
/// `std::invalid_argument`: it has no tree that would read back.
template <class Desc>
struct enum_to_tree {
    using type = typename Desc::type;
    yojson operator()(type value) const {
        for (std::size_t i = 0; i < Desc::values.size(); ++i) {
            if (Desc::values[i] == value)
                return detail::tag_tree(detail::enum_table<Desc>::list, i);
        }
        detail::not_an_enumerator(Desc::name, static_cast<long long>(value));
    }
};

/// An enumerator from `"tag"` or `["tag"]`.
template <class Desc>
struct enum_of_tree {
    using type = typename Desc::type;
    type operator()(const yojson& tree) const {
        using table = detail::enum_table<Desc>;
        return Desc::values[detail::match_sum(Desc::name, table::list, table::arities, tree).index];
    }
};

// Variants. `Desc` has `type` (a `std::variant` or a class derived from one), `name`, and
// `alternatives`, a tuple of `alternative<A>` in listing order.

/// One alternative of a variant and its tag: a string, or an integer code.
template <class A>
struct alternative {
    using type = A;
    std::string_view tag;
    std::int64_t code = 0;
    bool coded = false;
    bool tagged = false;
    /// Without a tag: its place is its code (`as_integer`).
    constexpr alternative() noexcept = default;
    constexpr alternative(std::string_view t) noexcept : tag(t), tagged(true) {}
    constexpr alternative(std::int64_t c) noexcept : code(c), coded(true) {}
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

    static constexpr std::array<bool, size> given =
        []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<bool, size>{std::get<I>(Desc::alternatives).coded...};
    }
    (std::make_index_sequence<size>{});
    static constexpr bool coded = Desc::settings.as_integer || any_set(given);
    static_assert(!coded || Desc::settings.as_integer || all_set(given),
                  "Sylvane: give every alternative an integer code, or use as_integer");
    static_assert(
        !coded || []<std::size_t... I>(std::index_sequence<I...>) {
            return !(std::get<I>(Desc::alternatives).tagged || ...);
        }(std::make_index_sequence<size>{}),
        "Sylvane: a variant tagged by integer codes takes no string tags");
    static_assert(!coded || Desc::settings.form != variant_form::external,
                  "Sylvane: an externally tagged variant's tags are keys, which are strings");
    static_assert(
        coded || []<std::size_t... I>(std::index_sequence<I...>) {
            return (std::get<I>(Desc::alternatives).tagged && ...);
        }(std::make_index_sequence<size>{}),
        "Sylvane: give every alternative a tag, \"Tag\" or an integer code, or use "
        "as_integer");
    static_assert(coded || all_distinct(tags),
                  "Sylvane: two alternatives of a variant have the same tag");
    static constexpr std::array<std::int64_t, size> codes =
        []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<std::int64_t, size>{(std::get<I>(Desc::alternatives).coded
                                                   ? std::get<I>(Desc::alternatives).code
                                                   : static_cast<std::int64_t>(I))...};
    }
    (std::make_index_sequence<size>{});
    static_assert(!coded || all_distinct(codes),
                  "Sylvane: two alternatives of a variant have the same code");
    static constexpr tag_list list = shown_tags(coded, tags, codes);
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
yojson alternative_to_tree(yojson tag, const A& a) {
    if constexpr (arguments_of<A>::count == 0) {
        return tagged(std::move(tag));
    } else {
        list_builder args(1 + arguments_of<A>::count);
        args.push_back(std::move(tag));
        if constexpr (is_tuple<A>) {
            std::apply([&](const auto&... x) { (args.emplace([&] { return tree_of(x); }), ...); },
                       a);
        } else {
            args.emplace([&] { return tree_of(a); });
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

namespace detail {

/// Whether tree converter `Of` may read `tree`, as far as the keys of the records it reads
/// tell: false only where it fails whatever the values hold.
template <class Of>
struct keys_allow {
    static bool check(const yojson&) { return true; }
};
template <class Desc>
struct keys_allow<record_of_tree<Desc>> {
    static bool check(const yojson& tree) { return has_record_keys<Desc>(tree); }
};
template <class T>
struct keys_allow<unique_of_tree<T>> {
    static bool check(const yojson& tree) {
        return tree.is_null() || keys_allow<of_converter_t<T>>::check(tree);
    }
};
template <class T>
struct keys_allow<shared_of_tree<T>> {
    static bool check(const yojson& tree) {
        return tree.is_null() || keys_allow<of_converter_t<T>>::check(tree);
    }
};

/// An alternative in a variant's form. `index` is its place in the listing.
template <class Desc, std::size_t I, class A>
yojson alternative_in_form(const A& a) {
    constexpr variant_settings settings = Desc::settings;
    constexpr std::string_view tag = variant_table<Desc>::tags[I];
    constexpr bool no_args = arguments_of<A>::count == 0;
    if constexpr (settings.form == variant_form::list) {
        return alternative_to_tree(tag_tree(variant_table<Desc>::list, I), a);
    } else if constexpr (settings.form == variant_form::external) {
        if constexpr (no_args) {
            return yojson::String(tag);
        } else {
            assoc_builder one(1, tag.size());
            one.emplace(tag, [&] { return tree_of(a); });
            return std::move(one).finish();
        }
    } else if constexpr (settings.form == variant_form::internal) {
        if constexpr (no_args) {
            return tag_object(settings.tag_key, tag_tree(variant_table<Desc>::list, I), {},
                              nullptr);
        } else {
            static_assert(!std::is_void_v<record_desc_t<A>>,
                          "Sylvane: the alternatives of an internally tagged variant must be "
                          "records (SYLVANE_RECORD) or empty structs");
            return record_to_tree<record_desc_t<A>>::write(a, settings.tag_key,
                                                           tag_tree(variant_table<Desc>::list, I));
        }
    } else if constexpr (settings.form == variant_form::adjacent) {
        if constexpr (no_args) {
            return tag_object(settings.tag_key, tag_tree(variant_table<Desc>::list, I), {},
                              nullptr);
        } else {
            yojson payload = tree_of(a);
            return tag_object(settings.tag_key, tag_tree(variant_table<Desc>::list, I),
                              settings.content_key, &payload);
        }
    } else {
        if constexpr (no_args) {
            return yojson();
        } else {
            return tree_of(a);
        }
    }
}

/// An alternative from its payload tree (the whole object for an internally tagged record).
template <class Desc, class A>
A alternative_of_payload(const yojson& payload) {
    if constexpr (Desc::settings.form == variant_form::internal) {
        return record_of_tree<record_desc_t<A>>::read(payload, Desc::settings.tag_key);
    } else {
        return of_yojson<A>(payload);
    }
}

}  // namespace detail

/// A variant in its form (`variant_form`). A variant left valueless by an exception throws
/// `std::bad_variant_access`.
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
                    (out = detail::alternative_in_form<Desc, I>(
                         *std::get_if<typename table::template alt_type<I>>(&v)),
                     true)) ||
                   ...);
        }
        (std::make_index_sequence<table::size>{});
        return out;
    }
};

/// A variant from its form; the list form also reads `"Tag"` for an alternative without
/// arguments, the external form `"Tag"` only for one. Malformed trees are reported through
/// the sum-type reporters; an untagged tree that no alternative reads, through
/// `no_matching_variant_found`.
template <class Desc>
struct variant_of_tree {
    using type = typename Desc::type;
    type operator()(const yojson& tree) const {
        const detail::tree_level level(Desc::name, tree);
        constexpr variant_settings settings = Desc::settings;
        if constexpr (settings.form == variant_form::list) {
            const detail::sum_match m =
                detail::match_sum(Desc::name, table::list, table::arities, tree);
            return dispatch(m, std::make_index_sequence<table::size>{});
        } else if constexpr (settings.form == variant_form::untagged) {
            return untagged(tree, std::make_index_sequence<table::size>{});
        } else {
            if (table::size == 0) Treeform_error::empty_type(Desc::name, tree);
            const yojson* tag = nullptr;
            const yojson* payload = &tree;
            if constexpr (settings.form == variant_form::external) {
                if (tree.kind() == yojson_kind::String) {
                    tag = &tree;
                    payload = nullptr;
                } else if (tree.kind() == yojson_kind::Assoc && tree.as_assoc().size() == 1) {
                    const std::size_t i = detail::find_tag(table::tags, tree.as_assoc()[0].first);
                    return by_tag(i, &tree.as_assoc()[0].second, tree);
                }
            } else if (tree.kind() == yojson_kind::Assoc) {
                tag = detail::find_key(tree, settings.tag_key);
                if constexpr (settings.form == variant_form::adjacent) {
                    payload = detail::find_key(tree, settings.content_key);
                }
            }
            const std::size_t i =
                tag == nullptr ? table::size : detail::find_tag(table::list, *tag);
            return by_tag(i, payload, tree);
        }
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

    /// The alternative `i` (`table::size`: none, the tag unknown), from `payload` (null if the
    /// tree has none).
    static type by_tag(std::size_t i, const yojson* payload, const yojson& tree) {
        if (i == table::size) detail::unknown_tag(Desc::name, table::list, tree);
        return by_index(i, payload, tree, std::make_index_sequence<table::size>{});
    }
    template <std::size_t... I>
    static type by_index(std::size_t i, const yojson* payload, const yojson& tree,
                         std::index_sequence<I...>) {
        static constexpr type (*readers[])(const yojson*, const yojson&) = {&from_payload<I>...};
        return readers[i](payload, tree);
    }
    template <std::size_t I>
    static type from_payload(const yojson* payload, const yojson& tree) {
        using A = typename table::template alt_type<I>;
        constexpr std::size_t at = detail::index_in<typename table::base, A>::value;
        constexpr variant_form form = Desc::settings.form;
        if constexpr (detail::arguments_of<A>::count == 0) {
            // Without arguments: no payload, or (internally tagged) no key but the tag.
            const bool extra =
                form == variant_form::internal ? tree.as_assoc().size() != 1 : payload != nullptr;
            if (extra) Treeform_error::stag_no_args(Desc::name, tree);
            return type(std::in_place_index<at>, A{});
        } else {
            if (payload == nullptr) Treeform_error::stag_takes_args(Desc::name, tree);
            return type(std::in_place_index<at>, detail::alternative_of_payload<Desc, A>(*payload));
        }
    }

    /// Names this variant in the untagged memo.
    static constexpr char memo_id = 0;

    /// The first alternative, in listing order, that reads `tree`. A record alternative is
    /// tried only on a tree with its keys; an alternative that read this tree before, while the
    /// outermost untagged conversion lasts, is the only one tried (`untagged_memo`).
    template <std::size_t... I>
    static type untagged(const yojson& tree, std::index_sequence<I...>) {
        static constexpr std::optional<type> (*tries[])(const yojson&) = {&try_untagged<I>...};
        detail::untagged_session session;
        detail::untagged_memo& memo = session.memo();
        const std::size_t known =
            session.outermost() ? detail::untagged_memo::unknown : memo.find(&memo_id, tree);
        std::optional<type> out;
        if (known == detail::untagged_memo::no_match) {
            Treeform_error::no_matching_variant_found(Desc::name, tree);
        } else if (known != detail::untagged_memo::unknown) {
            out = tries[known](tree);
        }
        if (!out) {
            std::size_t won = detail::untagged_memo::no_match;
            (void)((out = try_untagged<I>(tree), out.has_value() && (won = I, true)) || ...);
            if (!session.outermost()) memo.record(&memo_id, tree, won);
        }
        if (!out) Treeform_error::no_matching_variant_found(Desc::name, tree);
        return std::move(*out);
    }
    template <std::size_t I>
    static std::optional<type> try_untagged(const yojson& tree) {
        using A = typename table::template alt_type<I>;
        constexpr std::size_t at = detail::index_in<typename table::base, A>::value;
        if constexpr (detail::arguments_of<A>::count == 0) {
            if (!tree.is_null()) return std::nullopt;
            return type(std::in_place_index<at>, A{});
        } else {
            if (!detail::keys_allow<detail::of_converter_t<A>>::check(tree)) return std::nullopt;
            try {
                return type(std::in_place_index<at>, of_yojson<A>(tree));
            } catch (const detail::nesting_failure&) {
                throw;  // the document is too deep, whichever alternative reads it
            } catch (const Treeform::Of_yojson_error&) {
                return std::nullopt;
            }
        }
    }
};

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

// Enumerations, and variants in the internal form, read straight from the text; enumerations
// written straight to it.

/// An enumerator from its tag as a string; the list form `["tag"]` goes through the tree.
template <class T, class Desc>
struct direct_reader<T, enum_of_tree<Desc>> {
    static T read(text_cursor& c) {
        using table = enum_table<Desc>;
        std::size_t i = table::size;
        if constexpr (table::coded) {
            if (c.peek() != text_cursor::kind::number) {
                c.next_value_start();
                c.reject(&check_as<T>);
                return placeholder<T>();
            }
            i = find_code(table::codes, c.read_int(&check_as<T>));
        } else {
            if (c.peek() != text_cursor::kind::string) return read_as_tree<T>(c);
            i = find_tag(table::tags, c.read_string_view(&check_as<T>));
        }
        if (i == table::size) [[unlikely]] {
            c.reject(&check_as<T>);
            return placeholder<T>();
        }
        return Desc::values[i];
    }
};

/// An internally tagged variant whose tag is the object's first key: the tag read, then the
/// rest of the object as the alternative's record, without a tree. An object whose tag comes
/// later (or is not a plain string) is read as a tree and converted.
template <class T, class Desc>
requires(Desc::settings.form ==
         variant_form::internal) struct direct_reader<T, variant_of_tree<Desc>> {
    using table = variant_table<Desc>;
    static constexpr std::string_view tag_key = Desc::settings.tag_key;
    static constexpr json_tree::detail::quoted_key quoted_tag{tag_key};
    static constexpr text_cursor::kind tag_kind =
        table::coded ? text_cursor::kind::number : text_cursor::kind::string;

    static T read(text_cursor& c) {
        constexpr tree_check check = &check_as<T>;
        const text_cursor::state start = c.save();
        {
            const text_level level;  // left before the tree's converter counts its own
            if (!level.entered()) [[unlikely]] {
                c.next_value_start();
                c.reject(&check_too_deep<Desc>);
                return placeholder<T>();
            }
            if (c.peek() == text_cursor::kind::object && c.begin_object(check)) {
                const std::size_t at = c.value_start();
                if (c.key_is(quoted_tag) && c.peek() == tag_kind) {
                    const std::size_t i = read_tag(c, check);
                    if (i == table::size) [[unlikely]] {
                        c.reject_at(at, check);
                        return placeholder<T>();
                    }
                    return by_index(c, i, at, std::make_index_sequence<table::size>{});
                }
            }
        }
        c.restore(start);
        return read_as_tree<T>(c);
    }

private:
    /// The index of the tag read next, or `table::size`. A code that is no integer is an
    /// unknown tag, reported on the object as the tree converter reports it.
    static std::size_t read_tag(text_cursor& c, [[maybe_unused]] tree_check check) {
        if constexpr (table::coded) {
            // As a tree: a number that is no code (a float, an integer beyond 64 bits) must not
            // stop the cursor at itself, where the variant's converter would not report it.
            return find_tag(table::list, c.read_tree());
        } else {
            return find_tag(table::tags, c.read_string_view(check));
        }
    }

    template <std::size_t... I>
    static T by_index(text_cursor& c, std::size_t i, std::size_t at, std::index_sequence<I...>) {
        static constexpr T (*readers[])(text_cursor&, std::size_t) = {&alternative<I>...};
        return readers[i](c, at);
    }

    /// Alternative `I`, from the entries after the tag.
    template <std::size_t I>
    static T alternative(text_cursor& c, std::size_t at) {
        using A = typename table::template alt_type<I>;
        constexpr std::size_t index = index_in<typename table::base, A>::value;
        if constexpr (arguments_of<A>::count == 0) {
            // No key but the tag.
            if (c.next_entry()) c.reject_at(at, &check_as<T>);
            return T(std::in_place_index<index>, A{});
        } else {
            return record_alternative<A, index>(c, at);
        }
    }

    /// Alternative `A`, a record at `index` of `T`, from the entries after the tag. Its record is
    /// value-initialised, as the tree converter makes it, and read where it stays, with no copy
    /// in the frame, one in every level of nested variants (a function of its own: a second
    /// return of another value in the function makes g++ copy the named one).
    template <class A, std::size_t index>
    static T record_alternative(text_cursor& c, std::size_t at) {
        using fields = direct_reader<A, record_of_tree<record_desc_t<A>>>;
        static constexpr object_form form = fields::form_with(tag_key, &check_keys<A>);
        T result(std::in_place_index<index>);
        fields::read_fields(c, std::get<index>(result), c.next_entry(), at, form);
        return result;
    }

    /// The record failure of alternative `A`'s object, as the tree converter reports it.
    template <class A>
    static void check_keys(const yojson& tree) {
        direct_reader<A, record_of_tree<record_desc_t<A>>>::check_keys_ignoring(tree, tag_key);
    }
};

/// An enumerator as its tag; a value that is no listed enumerator fails as its converter does.
template <class T, class Desc>
requires std::same_as<T, typename Desc::type>
struct direct_writer<T, enum_to_tree<Desc>> {
    static void write(text_sink& out, T value) {
        using table = enum_table<Desc>;
        for (std::size_t i = 0; i < table::size; ++i) {
            if (Desc::values[i] != value) continue;
            if constexpr (table::coded)
                return out.integer(table::codes[i]);
            else
                return out.string(table::tags[i]);
        }
        not_an_enumerator(Desc::name, static_cast<long long>(value));
    }
};

}  // namespace Sylvane::derive::detail
