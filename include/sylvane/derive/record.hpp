#pragma once
/// Converters of records (structs) as JSON objects, driven by a field table that
/// `SYLVANE_RECORD` writes.
///
/// A record is an `Assoc` of its fields in declaration order. Reading converts each field's
/// value as its key is met; afterwards duplicates, then extra fields (while
/// `*Treeform::record_check_extra_fields` holds), then fields that got no value are reported.
/// A `std::optional`, `std::unique_ptr` or `std::shared_ptr` field may be absent or `Null`, and
/// then reads as empty.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/treeform_error.hpp>

namespace Sylvane::derive {

namespace detail {

template <class M>
struct member_traits;
template <class C, class F>
struct member_traits<F C::*> {
    using field = F;
};

/// Stores the value of `tree` in `field`. A string is copied straight from the tree, without
/// a temporary; a tree of another kind goes to `string_of_yojson`, which reports it.
template <class F>
void read_into(F& field, const yojson& tree) {
    if constexpr (std::is_same_v<F, std::string>) {
        if (tree.kind() == yojson_kind::String) {
            field.assign(tree.as_string());
            return;
        }
    }
    field = of_yojson<F>(tree);
}

/// A set of field indexes: one bit per field.
template <std::size_t N>
struct field_set {
    std::array<std::uint64_t, (N + 63) / 64> words{};
    constexpr bool test(std::size_t i) const noexcept { return (words[i / 64] >> (i % 64)) & 1u; }
    constexpr void set(std::size_t i) noexcept { words[i / 64] |= std::uint64_t{1} << (i % 64); }
    /// Whether every field of `required` is in this set.
    constexpr bool covers(const field_set& required) const noexcept {
        for (std::size_t w = 0; w < words.size(); ++w) {
            if ((words[w] & required.words[w]) != required.words[w]) return false;
        }
        return true;
    }
};

/// The field table of record `Desc` (`type`, `name`, `names`, `members`), and what follows.
template <class Desc>
struct record_table {
    using type = typename Desc::type;
    static constexpr std::size_t size =
        std::tuple_size_v<std::remove_cv_t<decltype(Desc::members)>>;
    static_assert(Desc::names.size() == size);

    template <std::size_t I>
    using field_type = typename member_traits<std::remove_cv_t<
        std::tuple_element_t<I, std::remove_cv_t<decltype(Desc::members)>>>>::field;

    /// The fields that must be given: all but the optional ones.
    static constexpr field_set<size> required = [] {
        field_set<size> s;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((may_be_absent<field_type<I>> ? void() : s.set(I)), ...);
        }
        (std::make_index_sequence<size>{});
        return s;
    }();

    static_assert(distinct(Desc::names), "Sylvane: a record field is named twice");

    /// The bytes of all field names, which an object of the record holds as its keys.
    static constexpr std::size_t key_bytes = [] {
        std::size_t n = 0;
        for (std::string_view name : Desc::names) n += name.size();
        return n;
    }();

    /// Whether `key` is the name of field `I`; the name's length is a constant, so the
    /// comparison is inlined.
    template <std::size_t I>
    static bool named(std::string_view key) noexcept {
        constexpr std::string_view name = Desc::names[I];
        return key.size() == name.size() &&
               std::char_traits<char>::compare(key.data(), name.data(), name.size()) == 0;
    }

    /// The index of the field named `key`, or `size`. Fields usually come in declaration order,
    /// so the one after the previous match (`hint`) is tried first.
    static std::size_t find(std::string_view key, std::size_t hint) noexcept {
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            std::size_t found = size;
            if (((hint == I && named<I>(key) && (found = I, true)) || ...)) return found;
            (void)((named<I>(key) && (found = I, true)) || ...);
            return found;
        }
        (std::make_index_sequence<size>{});
    }
};

/// Reports what went wrong with a record tree after its walk: duplicates, extras if checked,
/// undefined fields. Returns only when nothing needs reporting (extras ignored by the flag).
template <class Desc>
void report_record_anomalies(const yojson& tree, const field_set<record_table<Desc>::size>& given) {
    using table = record_table<Desc>;
    std::vector<std::string> duplicates;
    std::vector<std::string> extras;
    field_set<table::size> seen;
    for (const auto& [key, value] : tree.as_assoc()) {
        const std::size_t i = table::find(key, table::size);
        if (i == table::size) {
            extras.emplace_back(key);
        } else if (seen.test(i)) {
            duplicates.emplace_back(key);
        } else {
            seen.set(i);
        }
    }
    // The reporters take their lists newest first.
    if (!duplicates.empty()) {
        std::reverse(duplicates.begin(), duplicates.end());
        Treeform_error::record_duplicate_fields(Desc::name, duplicates, tree);
    }
    if (!extras.empty() && Treeform::record_check_extra_fields.get()) {
        std::reverse(extras.begin(), extras.end());
        Treeform_error::record_extra_fields(Desc::name, extras, tree);
    }
    if (!given.covers(table::required)) {
        std::vector<std::pair<bool, std::string>> flagged;
        flagged.reserve(table::size);
        for (std::size_t i = 0; i < table::size; ++i) {
            flagged.emplace_back(table::required.test(i) && !given.test(i),
                                 std::string(Desc::names[i]));
        }
        Treeform_error::record_undefined_elements(Desc::name, tree, flagged);
    }
}

}  // namespace detail

/// The converter from a record to an `Assoc` of its fields, in declaration order.
template <class Desc>
struct record_to_tree {
    using type = typename Desc::type;
    yojson operator()(const type& value) const {
        using table = detail::record_table<Desc>;
        assoc_builder fields(table::size, table::key_bytes);
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (fields.emplace(Desc::names[I],
                            [&] { return yojson_of(value.*std::get<I>(Desc::members)); }),
             ...);
        }
        (std::make_index_sequence<table::size>{});
        return std::move(fields).finish();
    }
};

/// The converter from an `Assoc` to a record. The record is default-constructed and each
/// field's value assigned as its key is met.
template <class Desc>
struct record_of_tree {
    using type = typename Desc::type;
    static_assert(std::is_default_constructible_v<type> && std::is_move_assignable_v<type>,
                  "Sylvane: SYLVANE_RECORD needs a default-constructible, assignable type");

    type operator()(const yojson& tree) const {
        if (tree.kind() != yojson_kind::Assoc) {
            Treeform_error::record_list_instead_atom(Desc::name, tree);
        }
        // Default-initialised, not zeroed first: every field is assigned below, cleared as an
        // absent option, or the conversion fails.
        type value;
        const auto entries = tree.as_assoc();
        if (in_declaration_order(entries)) {
            // Every field once, in order, nothing else: each converted straight into its field,
            // in the same order as the walk below would.
            [&]<std::size_t... I>(std::index_sequence<I...>) {
                (detail::read_into(value.*std::get<I>(Desc::members), entries[I].second), ...);
            }
            (std::make_index_sequence<table::size>{});
            return value;
        }
        detail::field_set<table::size> given;
        bool anomaly = false;  // a duplicate or an extra key: sorted out after the walk
        std::size_t hint = 0;
        for (const auto& [key, field_tree] : entries) {
            const std::size_t i = table::find(key, hint);
            if (i == table::size || given.test(i)) {
                anomaly = true;
                continue;
            }
            given.set(i);
            hint = i + 1;
            assign(value, i, field_tree);
        }
        if (anomaly || !given.covers(table::required)) [[unlikely]] {
            detail::report_record_anomalies<Desc>(tree, given);
        }
        clear_absent_options(value, given);
        return value;
    }

private:
    using table = detail::record_table<Desc>;

    /// Whether the object has exactly the record's fields, in declaration order: the usual case.
    static bool in_declaration_order(std::span<const yojson::entry> entries) noexcept {
        if (entries.size() != table::size) return false;
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return (table::template named<I>(entries[I].first) && ...);
        }
        (std::make_index_sequence<table::size>{});
    }

    /// Converts `field_tree` into field `i`, dispatched to the field's own converter.
    static void assign(type& value, std::size_t i, const yojson& field_tree) {
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (void)((i == I &&
                    (detail::read_into(value.*std::get<I>(Desc::members), field_tree), true)) ||
                   ...);
        }
        (std::make_index_sequence<table::size>{});
    }

    /// An absent optional field reads as empty, whatever its default member initialiser says.
    static void clear_absent_options(type& value, const detail::field_set<table::size>& given) {
        auto clear = [&]<std::size_t I>() {
            using field = typename table::template field_type<I>;
            if constexpr (detail::may_be_absent<field>) {
                if (!given.test(I)) value.*std::get<I>(Desc::members) = field{};
            }
        };
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (clear.template operator()<I>(), ...);
        }
        (std::make_index_sequence<table::size>{});
    }
};

}  // namespace Sylvane::derive
