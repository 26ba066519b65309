#pragma once
/// The walk of `check<T>` over a document read with positions, guided by `T`: each value is
/// converted by its own tree converter, and records and containers are walked into, so that
/// the walk goes on past a failure and finds the next. Failures come in the order the tree
/// converter of `T` meets them: a record's fields first, then its keys (repeated, refused as
/// unknown, missing), since those are known only at the end of the object; every kind of
/// failure of a record's keys is reported, where the converter stops at the first.
///
/// Each kind of value is walked by the `collector` of its tree converter's type, as the direct
/// reader of `read_as` is chosen: records (their flattened members' fields among their own),
/// sequences, `std::array`, sets, dictionaries, options, owning pointers and `nullable_field`;
/// tagged variants in `collect_sum.hpp`. Every other value (numbers, strings, enumerations,
/// untagged variants, tuples, hand-written converters) is a leaf: its converter's failure is its
/// one failure.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/check/detail/failure_sink.hpp>
#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/detail/nesting.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/nullable_field.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>
#include <sylvane/treeform_error.hpp>

namespace Sylvane::derive::detail {

/// Runs `raise`; its conversion failure is kept as a failure of `node`.
template <class Raise>
void keep_failure(failure_sink& sink, const yojson& node, Raise&& raise) {
    try {
        raise();
    } catch (const Treeform::Of_yojson_error& failure) {
        sink.add(failure, node);
    }
}

/// `node` converted as a `T`, its failure kept.
template <class T>
void collect_leaf(failure_sink& sink, const yojson& node) {
    keep_failure(sink, node, [&] { (void)of_yojson<T>(node); });
}

/// Collects the failures of `node` as a `T` whose tree converter is `Of`. By default `node` is
/// a leaf.
template <class T, class Of>
struct collector {
    static void walk(failure_sink& sink, const yojson& node) { collect_leaf<T>(sink, node); }
};

/// The failures of `node` as a `T`.
template <class T>
void collect(failure_sink& sink, const yojson& node) {
    collector<T, of_converter_t<T>>::walk(sink, node);
}

/// The items of the `List` `node`, each as an `E`.
template <class E>
void collect_items(failure_sink& sink, const yojson& node) {
    const auto items = node.as_list();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const failure_sink::step at(sink, i);
        collect<E>(sink, items[i]);
    }
}

/// Sequences: a tree that is no list is the sequence's failure; else each item's.
template <class Seq, class E>
struct sequence_collector {
    static void walk(failure_sink& sink, const yojson& node) {
        if (node.kind() != yojson_kind::List) return collect_leaf<Seq>(sink, node);
        collect_items<E>(sink, node);
    }
};

template <class T, class F>
requires std::same_as<F, of_converter_t<T>>
struct collector<std::vector<T>, Treeform::detail::bound<Treeform::list_of_yojson_fn, F>>
    : sequence_collector<std::vector<T>, T> {
};

template <class Seq>
struct collector<Seq, sequence_of_tree<Seq>> : sequence_collector<Seq, typename Seq::value_type> {};

/// `std::array`: its length first, as its converter checks it before any item; then its items.
template <class T, std::size_t N>
struct collector<std::array<T, N>, fixed_array_of_tree<T, N>> {
    static void walk(failure_sink& sink, const yojson& node) {
        if (node.kind() != yojson_kind::List || node.as_list().size() != N)
            collect_leaf<std::array<T, N>>(sink, node);
        if (node.kind() == yojson_kind::List) collect_items<T>(sink, node);
    }
};

/// Sets: each item, then each item equal to an earlier one.
template <class Set>
struct collector<Set, set_of_tree<Set>> {
    using item = typename Set::value_type;
    static void walk(failure_sink& sink, const yojson& node) {
        if (node.kind() != yojson_kind::List) return collect_leaf<Set>(sink, node);
        Set seen;
        const auto items = node.as_list();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const failure_sink::step at(sink, i);
            const std::size_t before = sink.count();
            collect<item>(sink, items[i]);
            if (sink.count() != before) continue;
            keep_failure(sink, items[i], [&] {
                if (!seen.insert(of_yojson<item>(items[i])).second)
                    reject_std_container(container_fault::set_duplicate, items[i]);
            });
        }
    }
};

/// Dictionaries: each entry's key and value, then each key met before, as the converter
/// reports them: on the entry's value.
template <class Map>
struct collector<Map, map_of_tree<Map>> {
    using key = typename Map::key_type;
    static void walk(failure_sink& sink, const yojson& node) {
        if (node.kind() != yojson_kind::Assoc) return collect_leaf<Map>(sink, node);
        std::conditional_t<std::is_same_v<key, std::string>, std::set<std::string_view>,
                           std::set<key>>
            seen;
        for (const auto& entry : node.as_assoc()) {
            // Named, not bound: lambdas below take them.
            const std::string_view text = entry.first;
            const yojson& value = entry.second;
            const failure_sink::step at(sink, text);
            std::optional<key> k;
            keep_failure(sink, value, [&] { k = key_of_text<key>(text, value); });
            if (!k) continue;
            collect<typename Map::mapped_type>(sink, value);
            const bool repeated = [&] {
                if constexpr (std::is_same_v<key, std::string>)
                    return !seen.insert(text).second;
                else
                    return !seen.insert(*k).second;
            }();
            if (repeated) {
                keep_failure(sink, value,
                             [&] { reject_std_container(container_fault::duplicate_key, value); });
            }
        }
    }
};

/// Options, owning pointers and the tri-state: `null`, or the value's failures.
template <class E>
struct nullable_collector {
    static void walk(failure_sink& sink, const yojson& node) {
        if (!node.is_null()) collect<E>(sink, node);
    }
};

template <class T, class F>
requires std::same_as<F, of_converter_t<T>>
struct collector<std::optional<T>, Treeform::detail::bound<Treeform::option_of_yojson_fn, F>>
    : nullable_collector<T> {
};
template <class T>
struct collector<std::unique_ptr<T>, unique_of_tree<T>> : nullable_collector<T> {};
template <class T>
struct collector<std::shared_ptr<T>, shared_of_tree<T>> : nullable_collector<T> {};
template <class T>
struct collector<nullable_field<T>, nullable_of_tree<T>> : nullable_collector<T> {};

/// The failures of field `i` of record `Desc`, whose value is `node`.
template <class Desc>
void collect_field(failure_sink& sink, std::size_t i, const yojson& node) {
    using table = record_table<Desc>;
    if constexpr (table::size > 0) {
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            static constexpr void (*fields[])(failure_sink&, const yojson&) = {
                &collect<typename table::template field_type<I>>...};
            fields[i](sink, node);
        }
        (std::make_index_sequence<table::size>{});
    }
}

/// Record `Desc`: each field met the first time, then the object's keys, the key `ignored` (a
/// variant's tag) being neither a field nor unknown. A record nested too deep fails as its
/// converter does, and is not walked into.
template <class Desc>
void collect_record(failure_sink& sink, const yojson& node, std::string_view ignored) {
    using table = record_table<Desc>;
    std::optional<tree_level> level;
    keep_failure(sink, node, [&] { level.emplace(Desc::name, node); });
    if (!level) return;
    if (node.kind() != yojson_kind::Assoc) {
        return keep_failure(sink, node,
                            [&] { Treeform_error::record_list_instead_atom(Desc::name, node); });
    }
    field_set<table::size> given;
    std::size_t hint = 0;
    for (const auto& [key, value] : node.as_assoc()) {
        const std::size_t i = find_field(shape_of<Desc>(), key, hint);
        if (i == table::size || given.test(i)) continue;
        given.set(i);
        hint = i + 1;
        const failure_sink::step at(sink, key);
        collect_field<Desc>(sink, i, value);
    }
    report_record_anomalies<Desc>(node, given, ignored,
                                  [&](auto&& reporter) { keep_failure(sink, node, reporter); });
}

template <class T, class Desc>
struct collector<T, record_of_tree<Desc>> {
    static void walk(failure_sink& sink, const yojson& node) {
        collect_record<Desc>(sink, node, {});
    }
};

}  // namespace Sylvane::derive::detail
