#pragma once
/// Converters of records (structs) as JSON objects, driven by a field table that
/// `SYLVANE_RECORD` writes.
///
/// A record is an `Assoc` of its fields in declaration order, each under its key (the member's
/// name, renamed by the record's policy or given per field). Reading converts each field's
/// value as its key is met; afterwards duplicates, then unknown keys (if the record refuses
/// them), then fields that got no value are reported. A field that may be absent (an optional
/// or a smart pointer)
/// reads as empty when its key is missing or `null`; a defaulted field keeps its initialiser.

#include <algorithm>
#include <array>
#include <atomic>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/derive/detail/nesting.hpp>
#include <sylvane/derive/detail/record_fields.hpp>
#include <sylvane/derive/detail/record_shape.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/extra_keys.hpp>
#include <sylvane/derive/flatten.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/members.hpp>
#include <sylvane/derive/options.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/treeform_error.hpp>

namespace Sylvane::derive {

namespace detail {

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

/// The most fields (and enumerators) a derived type may list.
inline constexpr std::size_t max_fields = 256;

template <class Desc>
struct record_keys_source {
    static constexpr auto entries = record_layout<Desc>::fields;
    static constexpr naming policy = Desc::settings.rename;
};

/// The type of the field that member pointer or path `M` reaches.
template <auto M>
using field_of = typename member_traits<std::remove_cv_t<decltype(M)>>::field;

template <class Members>
struct member_types;
template <auto... M>
struct member_types<member_list<nullptr, M...>> {
    using fields = std::tuple<typename member_traits<std::remove_cv_t<decltype(M)>>::field...>;
    static constexpr std::size_t size = sizeof...(M);
};

/// The field table of record `Desc` (`type`, `name`, `settings`, `fields`, `members`), and what
/// follows from it. Its fields are those of the record's object: a flattened member's fields
/// stand in its place (`record_layout`).
template <class Desc>
struct record_table {
    using type = typename Desc::type;
    using layout = record_layout<Desc>;
    using members = typename layout::members;
    static constexpr std::size_t size = member_types<members>::size;
    static_assert(size <= max_fields, "Sylvane: a record may list at most 256 fields");
    static_assert(layout::fields.size() == size);

    template <std::size_t I>
    using field_type = std::tuple_element_t<I, typename member_types<members>::fields>;
    /// The member pointer or path of field `I`.
    template <std::size_t I>
    static constexpr auto member = nth_member<I>(members{});

    /// The JSON key of each field.
    static constexpr const auto& keys = name_table<record_keys_source<Desc>>::names;

    /// Whether field `i` has no key: skipped, or the member that keeps unknown keys.
    static constexpr bool skipped(std::size_t i) noexcept {
        return layout::fields[i].skip || layout::fields[i].extra;
    }
    static constexpr bool defaulted(std::size_t i) noexcept {
        return Desc::settings.defaulted || layout::fields[i].defaulted;
    }
    static constexpr bool omit_empty(std::size_t i) noexcept {
        return Desc::settings.omit_empty || layout::fields[i].omit_empty;
    }

    /// The member that keeps unknown keys (`extra_keys`), or `size`.
    static constexpr std::size_t extra_index = [] {
        std::size_t found = size;
        for (std::size_t i = 0; i < size; ++i) {
            if (layout::fields[i].extra && found == size) found = i;
        }
        return found;
    }();
    static constexpr bool keeps_extra = extra_index != size;
    static_assert(std::count_if(layout::fields.begin(), layout::fields.end(),
                                [](const field_settings& f) { return f.extra; }) <= 1,
                  "Sylvane: a record keeps unknown keys in one extra_keys member at most");
    /// The fields that must be given: all but the skipped, the defaulted and those that may be
    /// absent.
    static constexpr field_set<size> required = [] {
        field_set<size> s;
        [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
            ((may_be_absent<field_of<M>> || skipped(I) || defaulted(I) ? void() : s.set(I)), ...);
        }
        (std::make_index_sequence<size>{}, members{});
        return s;
    }();

    /// Whether field `i`'s key stands for itself in JSON text (printable ASCII, no quote, no
    /// backslash), so that it is written and matched as its own bytes.
    static constexpr bool plain_key(std::size_t i) noexcept {
        for (char ch : keys[i]) {
            if (ch < 0x20 || ch > 0x7e || ch == '"' || ch == '\\') return false;
        }
        return true;
    }

    static constexpr bool keys_distinct = [] {
        std::array<std::string_view, size> kept{};
        std::size_t n = 0;
        for (std::size_t i = 0; i < size; ++i) {
            if (!skipped(i)) kept[n++] = keys[i];
        }
        return all_distinct(kept, n);
    }();
    static_assert(keys_distinct,
                  "Sylvane: two fields of a record have the same JSON key (the fields of "
                  "flattened members included)");

    /// The bytes of all keys, which an object of the record holds at most.
    static constexpr std::size_t key_bytes = [] {
        std::size_t n = 0;
        for (std::size_t i = 0; i < size; ++i) n += skipped(i) ? 0 : keys[i].size();
        return n;
    }();

    /// Whether `key` is the key of field `I`; the key's length is a constant, so the
    /// comparison is inlined. A skipped field has no key.
    template <std::size_t I>
    [[gnu::always_inline]] static bool named(std::string_view key) noexcept {
        if constexpr (skipped(I)) {
            return false;
        } else {
            constexpr std::string_view name = keys[I];
            return same_key(key, name);
        }
    }

    /// The fields in the order of their keys' bytes, the keyless ones last: the order in which
    /// writers that sort keys (a `std::map`, `sort_keys`) write the record's objects.
    static constexpr std::array<std::size_t, size> by_key = [] {
        std::array<std::size_t, size> order{};
        for (std::size_t i = 0; i < size; ++i) order[i] = i;
        const auto before = [](std::size_t a, std::size_t b) {
            return skipped(a) != skipped(b) ? skipped(b) : !skipped(a) && keys[a] < keys[b];
        };
        std::sort(order.begin(), order.end(), before);
        return order;
    }();
    /// Whether keys in the order of their bytes are not the declaration order too.
    static constexpr bool sorted_keys_differ = [] {
        for (std::size_t i = 0; i < size; ++i)
            if (!skipped(by_key[i]) && by_key[i] != i) return true;
        return false;
    }();

    /// When unknown keys are refused: never where a member keeps them.
    static constexpr record_shape::unknown unknown_policy = [] {
        if (keeps_extra) return record_shape::unknown::ignored;
        switch (Desc::settings.unknown) {
            case unknown_keys::refuse: return record_shape::unknown::refused;
            case unknown_keys::ignore: return record_shape::unknown::ignored;
            case unknown_keys::follow_flag: break;
        }
        return record_shape::unknown::follow_flag;
    }();
    /// Whether unknown keys are refused now.
    static bool refuses_unknown() noexcept { return detail::refuses_unknown(unknown_policy); }
};

/// Record `Desc` as the checks of an object's keys read it at run time.
template <class Desc>
struct record_shape_of {
    using table = record_table<Desc>;
    static constexpr field_set<table::size> keyless = [] {
        field_set<table::size> s;
        for (std::size_t i = 0; i < table::size; ++i)
            if (table::skipped(i)) s.set(i);
        return s;
    }();
    static constexpr record_shape value{
        Desc::name,           table::keys.data(),           table::size,
        keyless.words.data(), table::required.words.data(), table::unknown_policy};
};
template <class Desc>
constexpr const record_shape& shape_of() noexcept {
    return record_shape_of<Desc>::value;
}

/// Calls a reporter, which throws: the first anomaly of a record is its failure.
struct raise_first {
    template <class Reporter>
    void operator()(Reporter&& reporter) const {
        reporter();
    }
};

/// Reports what went wrong with a record tree after its walk: duplicates, unknown keys if
/// refused, undefined fields. Returns only when nothing needs reporting. The key `ignored` (a
/// variant's tag) is neither a field nor unknown. Each kind's reporter is handed to `report`,
/// which by default lets the first throw; a caller that collects failures may catch each.
template <class Desc, class Report = raise_first>
void report_record_anomalies(const yojson& tree, const field_set<record_table<Desc>::size>& given,
                             std::string_view ignored, Report&& report = {}) {
    if constexpr (std::is_same_v<std::remove_cvref_t<Report>, raise_first>) {
        report_record_anomalies(shape_of<Desc>(), tree, given.words.data(), ignored);
    } else {
        const record_anomalies found =
            find_record_anomalies(shape_of<Desc>(), tree, given.words.data(), ignored);
        if (!found.duplicates.empty())
            report([&] {
                Treeform_error::record_duplicate_fields(Desc::name, found.duplicates, tree);
            });
        if (!found.extras.empty())
            report([&] { Treeform_error::record_extra_fields(Desc::name, found.extras, tree); });
        if (!found.flagged.empty())
            report([&] {
                Treeform_error::record_undefined_elements(Desc::name, tree, found.flagged);
            });
    }
}

/// Whether `tree` has the keys that record `Desc` needs: an object with each field's key at
/// most once, no unknown key if the record refuses them, and every required field's key. The
/// converter fails on any other tree whatever its fields hold, so this tells, without
/// converting a field, whether its fields alone decide.
template <class Desc>
bool has_record_keys(const yojson& tree) {
    return has_record_keys(shape_of<Desc>(), tree);
}

// The functions of each field type for each route, shared by every record with a field of
// that type, and the tables of each record for each route, made only where the route is used.

template <class F>
void read_text_field(text_cursor& c, void* field) {
    if constexpr (std::is_same_v<F, std::string>) {
        c.read_string(*static_cast<F*>(field), &check_as<std::string>);  // into its own buffer
    } else {
        *static_cast<F*>(field) = read_direct<F>(c);
    }
}
template <class F>
void read_tree_field(const yojson& tree, void* field) {
    read_into(*static_cast<F*>(field), tree);
}
/// A string, double or bool is one call of the sink: made in the record's writer.
template <class F>
void write_text_leaf(text_sink& out, const void* field) {
    write_direct(out, *static_cast<const F*>(field));
}
template <class F>
yojson tree_of_field(const void* field) {
    return tree_of(*static_cast<const F*>(field));
}
template <class F>
bool field_is_empty(const void* field) {
    return is_empty(*static_cast<const F*>(field));
}
template <class F>
void clear_field(void* field) {
    *static_cast<F*>(field) = F{};
}
template <class F>
void keep_in(void* store, std::string_view key, yojson tree) {
    static_assert(extra_key_store<F>,
                  "Sylvane: an extra_keys member must be a std::vector<std::pair<std::string, "
                  "Sylvane::yojson>>");
    static_cast<F*>(store)->emplace_back(std::string(key), std::move(tree));
}

/// The offset of each field of `value`, a record `Desc`: constants once optimised.
template <class Desc, class T>
std::array<field_offset, record_table<Desc>::size> field_offsets(const T& value) noexcept {
    return [&]<auto... M>(member_list<nullptr, M...>) {
        const char* const base = reinterpret_cast<const char*>(std::addressof(value));
        return std::array<field_offset, record_table<Desc>::size>{static_cast<field_offset>(
            reinterpret_cast<const char*>(std::addressof(member_of<M>(value))) - base)...};
    }
    (typename record_table<Desc>::members{});
}

// A route's function for a field of type `F` where `On`, else none: a field without a key
// (skipped, or keeping unknown keys) needs no converters. Shared by every record.
using read_text_fn = void (*)(text_cursor&, void*);
using read_tree_fn = void (*)(const yojson&, void*);
using write_text_fn = void (*)(text_sink&, const void*);
using tree_of_fn = yojson (*)(const void*);
using empty_fn = bool (*)(const void*);
template <class F, bool On>
inline constexpr read_text_fn text_reader = nullptr;
template <class F>
inline constexpr read_text_fn text_reader<F, true> = &read_text_field<F>;
template <class F, bool On>
inline constexpr read_tree_fn tree_reader = nullptr;
template <class F>
inline constexpr read_tree_fn tree_reader<F, true> = &read_tree_field<F>;
template <class F, bool On>
inline constexpr write_text_fn text_writer = nullptr;
template <class F>
inline constexpr write_text_fn text_writer<F, true> =
    std::is_same_v<F, std::string> || std::is_same_v<F, double> || std::is_same_v<F, bool>
        ? &write_text_leaf<F>
        : &write_text_field<F>;
template <class F, bool On>
inline constexpr tree_of_fn tree_maker = nullptr;
template <class F>
inline constexpr tree_of_fn tree_maker<F, true> = &tree_of_field<F>;
template <class F, bool On>
inline constexpr empty_fn emptiness = nullptr;
template <class F>
inline constexpr empty_fn emptiness<F, true> = &field_is_empty<F>;
template <class F, bool On>
inline constexpr clear_fn clearer = nullptr;
template <class F>
inline constexpr clear_fn clearer<F, true> = &clear_field<F>;

/// Whether field `i` of `Table`, of type `F`, is cleared when its key is missing.
template <class Table, class F>
constexpr bool cleared(std::size_t i) noexcept {
    return may_be_absent<F> && !Table::defaulted(i) && !Table::skipped(i);
}
/// Whether field `i` of `Table`, of type `F`, is left out when empty.
template <class Table, class F>
constexpr bool omitted(std::size_t i) noexcept {
    return !Table::skipped(i) && may_be_absent<F> && (Table::omit_empty(i) || absent_when_empty<F>);
}

/// Makes a table of record `Desc`'s fields: `make.template operator()<F...>(index_sequence)`
/// with each field's type.
template <class Desc, class Make>
constexpr auto fields_table(Make make) {
    using table = record_table<Desc>;
    return [&]<std::size_t... I, auto... M>(std::index_sequence<I...> index,
                                            member_list<nullptr, M...>) {
        return make.template operator()<field_of<M>...>(index);
    }
    (std::make_index_sequence<table::size>{}, typename table::members{});
}

/// The member that keeps the unknown keys of record `Desc`, if any.
template <class Desc>
constexpr keep_fn keeper() noexcept {
    using table = record_table<Desc>;
    if constexpr (table::keeps_extra)
        return &keep_in<typename table::template field_type<table::extra_index>>;
    else
        return nullptr;
}

/// The key of each field of record `Desc` as the text writes it, where it is plain.
template <class Desc>
inline constexpr auto quoted_keys = [] {
    using table = record_table<Desc>;
    std::array<json_tree::detail::quoted_key, table::size> quoted{};
    for (std::size_t i = 0; i < table::size; ++i)
        if (!table::skipped(i) && table::plain_key(i))
            quoted[i] = json_tree::detail::quoted_key(table::keys[i]);
    return quoted;
}();

template <class Desc>
inline constexpr auto text_in_fields =
    fields_table<Desc>([]<class... F, std::size_t... I>(std::index_sequence<I...>) {
        using table = record_table<Desc>;
        return std::array<field_text_in, sizeof...(F)>{
            field_text_in{text_reader<F, !table::skipped(I)>, clearer<F, cleared<table, F>(I)>}...};
    });
/// The fields of record `Desc` that a missing key clears.
template <class Desc>
inline constexpr auto cleared_fields =
    fields_table<Desc>([]<class... F, std::size_t... I>(std::index_sequence<I...>) {
        field_set<sizeof...(F)> s;
        ((cleared<record_table<Desc>, F>(I) ? s.set(I) : void()), ...);
        return s;
    });

/// The key order that the text reader of record `Desc` tries first: declaration order, until
/// the objects read show another (`record_text_in::next`).
template <std::size_t N>
constexpr std::array<std::uint32_t, N + 1> declaration_order() noexcept {
    std::array<std::uint32_t, N + 1> next{};
    for (std::size_t i = 0; i < N; ++i) next[i] = static_cast<std::uint32_t>(i + 1);
    next[N] = 0;
    return next;
}
template <class Desc>
inline std::array<std::uint32_t, record_table<Desc>::size + 1> key_order =
    declaration_order<record_table<Desc>::size>();

template <class Desc>
inline constexpr record_text_in text_in{&shape_of<Desc>(),
                                        quoted_keys<Desc>.data(),
                                        text_in_fields<Desc>.data(),
                                        cleared_fields<Desc>.words.data(),
                                        record_table<Desc>::extra_index,
                                        keeper<Desc>(),
                                        key_order<Desc>.data()};

template <class Desc>
inline constexpr auto tree_in_fields =
    fields_table<Desc>([]<class... F, std::size_t... I>(std::index_sequence<I...>) {
        using table = record_table<Desc>;
        return std::array<field_tree_in, sizeof...(F)>{
            field_tree_in{tree_reader<F, !table::skipped(I)>, clearer<F, cleared<table, F>(I)>}...};
    });
template <class Desc>
inline constexpr record_tree_in tree_in{&shape_of<Desc>(),
                                        tree_in_fields<Desc>.data(),
                                        cleared_fields<Desc>.words.data(),
                                        record_table<Desc>::extra_index,
                                        keeper<Desc>(),
                                        key_order<Desc>.data()};

template <class Desc>
inline constexpr auto tree_out_fields =
    fields_table<Desc>([]<class... F, std::size_t... I>(std::index_sequence<I...>) {
        using table = record_table<Desc>;
        return std::array<field_tree_out, sizeof...(F)>{field_tree_out{
            tree_maker<F, !table::skipped(I)>, emptiness<F, omitted<table, F>(I)>}...};
    });

template <class Desc>
inline constexpr auto text_out_fields =
    fields_table<Desc>([]<class... F, std::size_t... I>(std::index_sequence<I...>) {
        using table = record_table<Desc>;
        return std::array<field_text_out, sizeof...(F)>{field_text_out{
            text_writer<F, !table::skipped(I)>, emptiness<F, omitted<table, F>(I)>}...};
    });

}  // namespace detail

/// The converter from a record to an `Assoc` of its fields, in declaration order.
template <class Desc>
struct record_to_tree {
    using type = typename Desc::type;
    yojson operator()(const type& value) const { return write(value, {}, {}); }

    /// The record's object with `tag_key: tag` first, if `tag_key` is not empty.
    static yojson write(const type& value, std::string_view tag_key, const yojson& tag) {
        using table = detail::record_table<Desc>;
        std::size_t entries = table::size + 1;
        std::size_t key_bytes = table::key_bytes + tag_key.size();
        if constexpr (table::keeps_extra) {
            for (const auto& kept : detail::kept_entries<table>(value)) {
                ++entries;
                key_bytes += std::string_view(kept.first).size();
            }
        }
        assoc_builder fields(entries, key_bytes);
        if (!tag_key.empty()) fields.push_back(tag_key, yojson(tag));
        [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
            (detail::tree_field_entry(fields, std::addressof(detail::member_of<M>(value)),
                                      detail::tree_out_fields<Desc>[I], table::keys[I]),
             ...);
        }
        (std::make_index_sequence<table::size>{}, typename table::members{});
        if constexpr (table::keeps_extra) {
            for (const auto& [key, kept] : detail::kept_entries<table>(value)) {
                detail::check_kept_key(detail::shape_of<Desc>(), key, tag_key);
                fields.push_back(key, yojson(kept));
            }
        }
        return std::move(fields).finish();
    }
};

namespace detail {
/// Whether the last object read into record `Desc` had its keys sorted (and not in declaration
/// order): the order its next object is tried in first. Shared by every thread, as a hint.
template <class Desc>
inline std::atomic<bool> keys_sorted_last{false};
}  // namespace detail

/// The converter from an `Assoc` to a record. The record is default-constructed and each
/// field's value assigned as its key is met.
template <class Desc>
struct record_of_tree {
    using type = typename Desc::type;
    static_assert(std::is_default_constructible_v<type> && std::is_move_assignable_v<type>,
                  "Sylvane: SYLVANE_RECORD needs a default-constructible, assignable type");

    type operator()(const yojson& tree) const { return read(tree, {}); }

    /// Reads `tree`, in which the key `ignored` (a variant's tag, when not null) is no field
    /// and no unknown key either.
    static type read(const yojson& tree, std::string_view ignored) {
        return read_with<true>(tree, ignored);
    }

    /// `read` over the field table alone, without the path unrolled for objects in order: the
    /// same value or failure, for a failure's report after a direct read stopped, where a
    /// second copy of every field's reader in each record would cost its build more than the
    /// report gains.
    static type read_by_table(const yojson& tree, std::string_view ignored) {
        return read_with<false>(tree, ignored);
    }

private:
    template <bool Unrolled>
    static type read_with(const yojson& tree, std::string_view ignored) {
        const detail::tree_level level(Desc::name, tree);
        if (tree.kind() != yojson_kind::Assoc) {
            Treeform_error::record_list_instead_atom(Desc::name, tree);
        }
        // Value-initialised: a field that its key does not set keeps its initialiser, or is
        // zero, never an indeterminate value (a defaulted field without an initialiser).
        type value = type();
        const auto entries = tree.as_assoc();
        if constexpr (Unrolled) {
            using table = detail::record_table<Desc>;
            // Objects written with sorted keys have their own unrolled read, tried first while
            // they come.
            [[maybe_unused]] bool sorted_first = false;
            if constexpr (table::sorted_keys_differ) {
                sorted_first = ignored.data() == nullptr &&
                               detail::keys_sorted_last<Desc>.load(std::memory_order_relaxed);
                if (sorted_first && in_key_order(entries)) {
                    read_in_key_order(value, entries);
                    return value;
                }
            }
            if (const std::size_t first = in_order(entries, ignored); first != detail::not_in_order)
                [[likely]] {
                if constexpr (table::sorted_keys_differ) {
                    if (sorted_first)
                        detail::keys_sorted_last<Desc>.store(false, std::memory_order_relaxed);
                }
                // Every field once, in order, nothing else: each converted straight into its
                // field, in the order of a walk by keys.
                const yojson::entry* next = entries.data() + first;
                [&]<std::size_t... I, auto... M>(std::index_sequence<I...>,
                                                 member_list<nullptr, M...>) {
                    (detail::read_tree_field_entry(next,
                                                   std::addressof(detail::member_of<M>(value)),
                                                   detail::tree_in_fields<Desc>[I]),
                     ...);
                }
                (std::make_index_sequence<table::size>{}, typename table::members{});
                return value;
            }
            if constexpr (table::sorted_keys_differ) {
                if (!sorted_first && ignored.data() == nullptr && in_key_order(entries)) {
                    detail::keys_sorted_last<Desc>.store(true, std::memory_order_relaxed);
                    read_in_key_order(value, entries);
                    return value;
                }
            }
        }
        const auto offsets = detail::field_offsets<Desc>(value);
        detail::read_tree_entries(tree, std::addressof(value), offsets.data(),
                                  detail::tree_in<Desc>, ignored);
        return value;
    }

    /// Reads `entries`, the record's fields with their keys in the order of their bytes, into
    /// `value`, as `read_with` reads them in declaration order.
    [[gnu::noinline]] static void read_in_key_order(type& value,
                                                    std::span<const yojson::entry> entries) {
        using table = detail::record_table<Desc>;
        const yojson::entry* next = entries.data();
        [&]<std::size_t... K>(std::index_sequence<K...>) {
            (detail::read_tree_field_entry(
                 next,
                 std::addressof(detail::member_of<table::template member<table::by_key[K]>>(value)),
                 detail::tree_in_fields<Desc>[table::by_key[K]]),
             ...);
        }
        (std::make_index_sequence<table::size>{});
    }

    /// Whether `entries` are exactly the record's fields with their keys in the order of their
    /// bytes (`record_table::by_key`), compared as `in_order` compares them.
    static bool in_key_order(std::span<const yojson::entry> entries) {
        using table = detail::record_table<Desc>;
        return [&]<std::size_t... K>(std::index_sequence<K...>) {
            std::size_t at = 0;
            return ((table::skipped(table::by_key[K]) ||
                     (at < entries.size() &&
                      table::template named<table::by_key[K]>(entries[at++].first))) &&
                    ...) &&
                   at == entries.size();
        }
        (std::make_index_sequence<table::size>{});
    }

    /// Where the fields start in `entries` when they are exactly the record's fields in order
    /// (0, or 1 after a variant's tag `ignored`), else `detail::not_in_order`. Without a tag,
    /// the usual case, the keys are compared with the record's own constant keys, inlined: the
    /// walk over the record's table costs four times the instructions.
    static std::size_t in_order(std::span<const yojson::entry> entries, std::string_view ignored) {
        using table = detail::record_table<Desc>;
        if (ignored.data() != nullptr)
            return detail::in_declaration_order(detail::shape_of<Desc>(), entries, ignored);
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            std::size_t at = 0;
            const bool same =
                ((table::skipped(I) ||
                  (at < entries.size() && table::template named<I>(entries[at++].first))) &&
                 ...) &&
                at == entries.size();
            return same ? std::size_t{0} : detail::not_in_order;
        }
        (std::make_index_sequence<table::size>{});
    }
};

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

// Records read straight from the text and written straight to it, without a tree.

/// The nesting failure of record or variant `Desc` on `tree`, where a direct read stopped.
template <class Desc>
void check_too_deep(const yojson& tree) {
    too_deep(Desc::name, tree);
}

/// A record: fields converted as their keys are met, unknown keys skipped if the record
/// allows them, fields that may be absent cleared when absent. As the tree converter does, a
/// duplicate key or an unknown key refused is stepped over and reported after the walk, with
/// the missing fields, by a check of the object's keys alone.
template <class T, class Desc>
struct direct_reader<T, record_of_tree<Desc>> {
    using table = record_table<Desc>;

    static T read(text_cursor& c) {
        // Value-initialised, as the tree converter makes it.
        T value = T();
        const text_level level;
        if (!level.entered()) [[unlikely]] {
            c.next_value_start();
            c.reject(&check_too_deep<Desc>);
            return value;
        }
        const bool more = c.begin_object(&check_as<T>);
        static constexpr object_form form = form_with({}, &check_keys);
        read_fields(c, value, more, c.value_start(), form);
        return value;
    }

    /// How an object is read into the record where the key `ignored` (a variant's tag, or
    /// empty) is neither a field nor unknown and `check` reports the object's keys when they do
    /// not make the record; for `read_fields`, as a constant.
    static constexpr object_form form_with(std::string_view ignored, tree_check check) noexcept {
        return {&text_in<Desc>, ignored, check};
    }

    /// Reads the entries of the object at offset `at` from the cursor on into `value` (`more`:
    /// whether an entry is next), as `form` (made by `form_with`) says.
    static void read_fields(text_cursor& c, T& value, bool more, std::size_t at,
                            const object_form& form) {
        const auto offsets = field_offsets<Desc>(value);
        field_set<table::size> given;
        read_text_fields(c, {std::addressof(value), offsets.data(), given.words.data(), at, &form},
                         more);
    }

    /// Reports the keys of `tree` as the tree converter does after its walk, with `ignored`
    /// neither a field nor unknown: duplicates, unknown keys refused, fields missing.
    static void check_keys_ignoring(const yojson& tree, std::string_view ignored) {
        report_record_keys(shape_of<Desc>(), tree, ignored);
    }

private:
    static void check_keys(const yojson& tree) { check_keys_ignoring(tree, {}); }
};

/// A record as an object of its fields in declaration order: skipped fields left out, and
/// empty ones too where they are omitted when empty.
template <class T, class Desc>
requires std::same_as<T, typename Desc::type>
struct direct_writer<T, record_to_tree<Desc>> {
    using table = record_table<Desc>;

    static void write(text_sink& out, const T& value) {
        out.put_char('{');
        bool first = true;
        [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
            (write_text_field_entry(out, std::addressof(member_of<M>(value)),
                                    text_out_fields<Desc>[I], quoted_keys<Desc>[I], table::keys[I],
                                    table::plain_key(I), first),
             ...);
        }
        (std::make_index_sequence<table::size>{}, typename table::members{});
        if constexpr (table::keeps_extra) {
            for (const auto& [key, kept] : kept_entries<table>(value)) {
                check_kept_key(shape_of<Desc>(), key, {});
                if (!first) out.put_char(',');
                first = false;
                out.string(key);
                out.put_char(':');
                out.tree(kept);
            }
        }
        out.put_char('}');
    }
};

}  // namespace Sylvane::derive::detail
