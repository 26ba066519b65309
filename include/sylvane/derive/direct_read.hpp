#pragma once
/// Reading a value straight from JSON text, without a tree: what `read_as` tries first.
///
/// Each type is read as its own converter would read its tree, chosen by that converter's
/// type, so that a type read here is one whose tree rules are known: the primitive types and
/// checked numbers, the standard sequences, options, owning pointers, dictionaries with string
/// or integer keys, derived records and enumerations. Any other type (variants, hand-written
/// converters, tuples, sets, the library's containers) reads its value as a tree and converts
/// it. A value that the tree converter would refuse, or would read in a way not mirrored here,
/// stops the cursor at that value, naming its type's tree converter (`check_as<T>`), which
/// `read_as` then runs on that value's tree for the exact failure. Nothing here throws to give
/// up; the failures of converters run on trees propagate as they are, noted with their place.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/treeform.hpp>

namespace Sylvane::derive::detail {

using json_tree::detail::text_cursor;
using json_tree::detail::tree_check;

/// Runs `T`'s tree converter on `tree`, for its failure.
template <class T>
void check_as(const yojson& tree) {
    (void)of_yojson<T>(tree);
}

/// The indexes (list items or object entries) that lead from `root` to the node at `address`;
/// nothing if no node is there.
SYLVANE_API std::optional<std::vector<std::size_t>> path_to(const yojson& root,
                                                            const yojson* address);

/// Thrown only where a value must be returned after the cursor stopped and its type has no
/// value to stand in for it (a type read as a tree that cannot be default-constructed).
struct cursor_stopped {};

/// A stand-in for the value of a read that did not happen: the cursor has stopped, and the
/// whole read will be discarded.
template <class T>
T placeholder() {
    if constexpr (std::is_default_constructible_v<T>) {
        return T{};
    } else {
        throw cursor_stopped{};
    }
}

/// The type of `T`'s tree-to-value converter.
template <class T>
using of_converter_t = std::remove_cvref_t<decltype(converters_of<T>().of)>;

/// The next value of `c` read as a tree and converted to a `T`. A failure of the converter is
/// noted with its place in the value, and goes on.
template <class T>
T read_as_tree(text_cursor& c) {
    const yojson tree = c.read_tree();
    if (c.failed()) [[unlikely]]
        return placeholder<T>();
    try {
        return of_yojson<T>(tree);
    } catch (const Treeform::Of_yojson_error& failure) {
        c.note_raised(c.value_start(), path_to(tree, failure.tree_address()));
        throw;
    }
}

/// Reads a `T` whose tree converter is `Of`. By default: the value as a tree, converted.
template <class T, class Of>
struct direct_reader {
    static constexpr bool through_tree = true;
    static T read(text_cursor& c) { return read_as_tree<T>(c); }
};

/// Whether a `T` is read as a tree and converted, rather than straight from the text.
template <class T>
inline constexpr bool read_through_tree = requires {
    direct_reader<T, of_converter_t<T>>::through_tree;
};

/// The next value of `c` as a `T`.
template <class T>
T read_direct(text_cursor& c) {
    return direct_reader<T, of_converter_t<T>>::read(c);
}

template <>
struct direct_reader<bool, Treeform::bool_of_yojson_fn> {
    static bool read(text_cursor& c) { return c.read_bool(&check_as<bool>); }
};

template <>
struct direct_reader<std::string, Treeform::string_of_yojson_fn> {
    static std::string read(text_cursor& c) {
        std::string s;
        c.read_string(s, &check_as<std::string>);
        return s;
    }
};

template <class T>
struct direct_reader<T, integer_of_tree<T>> {
    static T read(text_cursor& c) {
        const std::int64_t n = c.read_int(&check_as<T>);
        if (!std::in_range<T>(n)) [[unlikely]] {
            c.reject(&check_as<T>);
            return 0;
        }
        return static_cast<T>(n);
    }
};

template <>
struct direct_reader<double, double_of_tree> {
    static double read(text_cursor& c) { return c.read_double(&check_as<double>); }
};

template <>
struct direct_reader<float, float_of_tree> {
    static float read(text_cursor& c) {
        const double d = c.read_double(&check_as<float>);
        if (!fits_float(d)) [[unlikely]] {
            c.reject(&check_as<float>);
            return 0;
        }
        return static_cast<float>(d);
    }
};

/// `null` is the empty option; any other value is the element's.
template <class T, class F>
requires std::same_as<F, of_converter_t<T>>
struct direct_reader<std::optional<T>, Treeform::detail::bound<Treeform::option_of_yojson_fn, F>> {
    static std::optional<T> read(text_cursor& c) {
        if (c.read_null()) return std::nullopt;
        return std::optional<T>(std::in_place, read_direct<T>(c));
    }
};

template <class T>
struct direct_reader<std::unique_ptr<T>, unique_of_tree<T>> {
    static std::unique_ptr<T> read(text_cursor& c) {
        if (c.read_null()) return nullptr;
        return std::make_unique<T>(read_direct<T>(c));
    }
};

template <class T>
struct direct_reader<std::shared_ptr<T>, shared_of_tree<T>> {
    static std::shared_ptr<T> read(text_cursor& c) {
        if (c.read_null()) return nullptr;
        return std::make_shared<T>(read_direct<T>(c));
    }
};

/// The elements of an array appended to `out` first to last.
template <class Seq>
void read_elements(text_cursor& c, Seq& out) {
    if (!c.begin_array(&check_as<Seq>)) return;
    do {
        out.push_back(read_direct<typename Seq::value_type>(c));
    } while (c.next_element());
}

template <class T, class F>
requires std::same_as<F, of_converter_t<T>>
struct direct_reader<std::vector<T>, Treeform::detail::bound<Treeform::list_of_yojson_fn, F>> {
    static std::vector<T> read(text_cursor& c) {
        // Filled as a local, for the reason `Treeform::detail::sequence` gives.
        std::vector<T> filled;
        read_elements(c, filled);
        return std::vector<T>(std::move(filled));
    }
};

template <class Seq>
struct direct_reader<Seq, sequence_of_tree<Seq>> {
    static Seq read(text_cursor& c) {
        Seq out;
        read_elements(c, out);
        return out;
    }
};

/// Exactly `N` elements; filled in place, so only for elements that can be.
template <class T, std::size_t N>
requires std::is_default_constructible_v<T> && std::is_move_assignable_v<T>
struct direct_reader<std::array<T, N>, fixed_array_of_tree<T, N>> {
    static std::array<T, N> read(text_cursor& c) {
        // The converter checks the length before any element: elements read as trees, whose
        // converters would run before the length is known, are read with the array's tree.
        if constexpr (read_through_tree<T>) return read_as_tree<std::array<T, N>>(c);
        // A failure of an element is laid on the array, whose converter tells which comes
        // first.
        constexpr tree_check check = &check_as<std::array<T, N>>;
        std::array<T, N> out{};
        std::size_t n = 0;
        const bool elements = c.begin_array(check);
        const std::size_t at = c.value_start();
        if (elements) {
            do {
                if (n == N) {
                    c.reject_at(at, check);
                    break;
                }
                out[n++] = read_direct<T>(c);
            } while (c.next_element());
        }
        if (n != N) c.reject_at(at, check);
        c.blame(at, check);
        return out;
    }
};

/// Reports `Fault` on a dictionary's entry, as the converter does.
template <container_fault Fault>
void check_entry(const yojson& value) {
    reject_std_container(Fault, value);
}

/// A dictionary keyed by strings or integers. A key repeated, or no key of the type, fails on
/// the entry's value, as the converter fails.
template <class Map>
requires std::same_as<typename Map::key_type, std::string> ||
    checked_integer<typename Map::key_type>
struct direct_reader<Map, map_of_tree<Map>> {
    using key = typename Map::key_type;
    static Map read(text_cursor& c) {
        Map out;
        if (!c.begin_object(&check_as<Map>)) return out;
        do {
            // Taken before the value: the key's view is short-lived.
            tree_check refused = nullptr;
            std::optional<key> k = key_of(c.key(), refused);
            const std::size_t value_at = c.next_value_start();
            if (!k) {
                c.reject_at(value_at, refused);
                break;
            }
            if (!out.try_emplace(std::move(*k), read_direct<typename Map::mapped_type>(c)).second)
                c.reject_at(value_at, &check_entry<container_fault::duplicate_key>);
        } while (c.next_entry());
        return out;
    }

private:
    /// The key of `text`, or nothing, with the check that reports it in `refused`.
    static std::optional<key> key_of(std::string_view text, tree_check& refused) {
        if constexpr (std::same_as<key, std::string>) {
            return key(text);
        } else {
            std::conditional_t<std::is_signed_v<key>, std::int64_t, std::uint64_t> n = 0;
            switch (parse_integer(text, n)) {
                case integer_text::ok:
                    if (std::in_range<key>(n)) return static_cast<key>(n);
                    [[fallthrough]];
                case integer_text::out_of_range:
                    refused = &check_entry<container_fault::integer_key_range>;
                    return std::nullopt;
                case integer_text::malformed: break;
            }
            refused = &check_entry<container_fault::integer_key>;
            return std::nullopt;
        }
    }
};

/// An enumerator from its tag as a string; the list form `["tag"]` goes through the tree.
template <class T, class Desc>
struct direct_reader<T, enum_of_tree<Desc>> {
    static T read(text_cursor& c) {
        if (c.peek() != text_cursor::kind::string) return read_as_tree<T>(c);
        using table = enum_table<Desc>;
        const std::size_t i = find_tag(table::tags, c.read_string_view(&check_as<T>));
        if (i == table::tags.size()) [[unlikely]] {
            c.reject(&check_as<T>);
            return placeholder<T>();
        }
        return Desc::values[i];
    }
};

/// A record: fields converted as their keys are met, unknown keys skipped if the record
/// allows them, fields that may be absent cleared when absent. As the tree converter does, a
/// duplicate key or an unknown key refused is stepped over and reported after the walk, with
/// the missing fields, by a check of the object's keys alone.
template <class T, class Desc>
struct direct_reader<T, record_of_tree<Desc>> {
    using table = record_table<Desc>;

    static T read(text_cursor& c) {
        // Default-initialised, as the tree converter makes it.
        T value;
        const bool more = c.begin_object(&check_as<T>);
        read_fields(c, value, more, c.value_start(), {}, &check_keys);
        return value;
    }

    /// Reads the entries of the object at offset `at` from the cursor on into `value` (`more`:
    /// whether an entry is next). The key `ignored` (a variant's tag) is neither a field nor
    /// unknown; `check` reports the object's keys when they do not make the record.
    static void read_fields(text_cursor& c, T& value, bool more, std::size_t at,
                            std::string_view ignored, tree_check check) {
        field_set<table::size> given;
        bool anomaly = false;
        std::size_t hint = 0;
        for (; more; more = c.next_entry()) {
            std::size_t i = expected_key(c, hint);
            if (i == table::size) {
                const std::string_view key = c.key();
                i = table::find(key, hint);
                if (i == table::size && !ignored.empty() && key == ignored) {
                    c.skip();
                    continue;
                }
            }
            if (i == table::size || given.test(i)) [[unlikely]] {
                anomaly = anomaly || i != table::size || table::refuses_unknown();
                c.skip();
                continue;
            }
            given.set(i);
            hint = i + 1;
            visit_field<Desc>(value, i, [&](auto& field) { read_field(field, c); });
        }
        if (anomaly || !given.covers(table::required)) [[unlikely]]
            c.reject_at(at, check);
        clear_if_absent<Desc>(value, given);
    }

    /// Reports the keys of `tree` as the tree converter does after its walk, with `ignored`
    /// neither a field nor unknown: duplicates, unknown keys refused, fields missing.
    static void check_keys_ignoring(const yojson& tree, std::string_view ignored) {
        field_set<table::size> given;
        for (const auto& entry : tree.as_assoc()) {
            const std::size_t i = table::find(entry.first, table::size);
            if (i != table::size) given.set(i);
        }
        report_record_anomalies<Desc>(tree, given, ignored);
    }

private:
    static void check_keys(const yojson& tree) { check_keys_ignoring(tree, {}); }

    /// Whether each field's key is in the text as its own bytes, so that it can be matched
    /// without a scan; a skipped field has no key.
    static constexpr auto plain_keys = [] {
        std::array<bool, table::size> plain{};
        for (std::size_t i = 0; i < table::size; ++i)
            plain[i] = !table::skipped(i) && table::plain_key(i);
        return plain;
    }();

    /// `hint` if the next key is that field's, written plainly (the usual case: fields in
    /// declaration order), with the key read; else `table::size`, with nothing read. Records of
    /// any width: a wide one's fields come in order as often.
    static std::size_t expected_key(text_cursor& c, std::size_t hint) {
        if (hint < table::size && plain_keys[hint] && c.key_is(table::keys[hint])) return hint;
        return table::size;
    }

    template <class F>
    static void read_field(F& field, text_cursor& c) {
        if constexpr (std::is_same_v<F, std::string>) {
            c.read_string(field, &check_as<std::string>);  // into the field's own buffer
        } else {
            field = read_direct<F>(c);
        }
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

    static T read(text_cursor& c) {
        constexpr tree_check check = &check_as<T>;
        const text_cursor::state start = c.save();
        if (c.peek() == text_cursor::kind::object && c.begin_object(check)) {
            const std::size_t at = c.value_start();
            if (c.key_is(tag_key) && c.peek() == text_cursor::kind::string) {
                const std::size_t i = find_tag(table::tags, c.read_string_view(check));
                if (i == table::size) [[unlikely]] {
                    c.reject_at(at, check);
                    return placeholder<T>();
                }
                return by_index(c, i, at, std::make_index_sequence<table::size>{});
            }
        }
        c.restore(start);
        return read_as_tree<T>(c);
    }

private:
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
            using fields = direct_reader<A, record_of_tree<record_desc_t<A>>>;
            A value;
            fields::read_fields(c, value, c.next_entry(), at, tag_key, &check_keys<A>);
            return T(std::in_place_index<index>, std::move(value));
        }
    }

    /// The record failure of alternative `A`'s object, as the tree converter reports it.
    template <class A>
    static void check_keys(const yojson& tree) {
        direct_reader<A, record_of_tree<record_desc_t<A>>>::check_keys_ignoring(tree, tag_key);
    }
};

/// `T` read from `c`'s text without a tree; nothing when the cursor stopped (its `fault()`
/// says where). A converter's failure propagates, noted in `c`.
template <class T>
std::optional<T> read_direct_text(text_cursor& c) {
    try {
        std::optional<T> value(std::in_place, read_direct<T>(c));
        c.finish();
        if (!c.failed()) return value;
    } catch (const cursor_stopped&) {
        // Stopped where no value could stand in: the fault is recorded all the same.
    }
    return std::nullopt;
}

}  // namespace Sylvane::derive::detail
