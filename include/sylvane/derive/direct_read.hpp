#pragma once
/// Reading a value straight from JSON text, without a tree: what `read_as` tries first.
///
/// Each type is read as its own converter would read its tree, chosen by that converter's
/// type, so that a type read here is one whose tree rules are known: the primitive types and
/// checked numbers, the standard sequences, options, owning pointers, dictionaries with string
/// or integer keys, derived records and enumerations. Any other type (variants, hand-written
/// converters, tuples, sets, the library's containers) reads its value as a tree and converts
/// it. Whatever the tree path would refuse, or would read in a way not mirrored here, gives
/// up (`cursor_gave_up`, or the converter's own failure), and `read_as` reads the tree instead.

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

/// The type of `T`'s tree-to-value converter.
template <class T>
using of_converter_t = std::remove_cvref_t<decltype(converters_of<T>().of)>;

/// Reads a `T` whose tree converter is `Of`. By default: the value as a tree, converted.
template <class T, class Of>
struct direct_reader {
    static constexpr bool through_tree = true;
    static T read(text_cursor& c) { return of_yojson<T>(c.read_tree()); }
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
    static bool read(text_cursor& c) { return c.read_bool(); }
};

template <>
struct direct_reader<std::string, Treeform::string_of_yojson_fn> {
    static std::string read(text_cursor& c) {
        std::string s;
        c.read_string(s);
        return s;
    }
};

template <class T>
struct direct_reader<T, integer_of_tree<T>> {
    static T read(text_cursor& c) {
        const std::int64_t n = c.read_int();
        if (!std::in_range<T>(n)) text_cursor::give_up();
        return static_cast<T>(n);
    }
};

template <>
struct direct_reader<double, double_of_tree> {
    static double read(text_cursor& c) { return c.read_double(); }
};

template <>
struct direct_reader<float, float_of_tree> {
    static float read(text_cursor& c) {
        const double d = c.read_double();
        // The converter's range check; a number beyond it fails there.
        constexpr double limit = 0x1.ffffffp127;
        if (d >= limit || d <= -limit) text_cursor::give_up();
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
    if (!c.begin_array()) return;
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
        std::array<T, N> out{};
        std::size_t n = 0;
        if (c.begin_array()) {
            do {
                if (n == N) text_cursor::give_up();
                out[n++] = read_direct<T>(c);
            } while (c.next_element());
        }
        if (n != N) text_cursor::give_up();
        return out;
    }
};

/// A dictionary keyed by strings or integers; a key repeated, or no key of the type, gives up.
template <class Map>
requires std::same_as<typename Map::key_type, std::string> ||
    checked_integer<typename Map::key_type>
struct direct_reader<Map, map_of_tree<Map>> {
    using key = typename Map::key_type;
    static Map read(text_cursor& c) {
        Map out;
        if (!c.begin_object()) return out;
        do {
            key k = key_of(c.key());  // taken before the value: the key's view is short-lived
            if (!out.try_emplace(std::move(k), read_direct<typename Map::mapped_type>(c)).second)
                text_cursor::give_up();
        } while (c.next_entry());
        return out;
    }
    static key key_of(std::string_view text) {
        if constexpr (std::same_as<key, std::string>) {
            return key(text);
        } else {
            std::conditional_t<std::is_signed_v<key>, std::int64_t, std::uint64_t> n = 0;
            if (parse_integer(text, n) != integer_text::ok || !std::in_range<key>(n))
                text_cursor::give_up();
            return static_cast<key>(n);
        }
    }
};

/// An enumerator from its tag as a string; the list form `["tag"]` goes through the tree.
template <class T, class Desc>
struct direct_reader<T, enum_of_tree<Desc>> {
    static T read(text_cursor& c) {
        if (c.peek() != text_cursor::kind::string) return of_yojson<T>(c.read_tree());
        using table = enum_table<Desc>;
        const std::size_t i = find_tag(table::tags, c.read_string_view());
        if (i == table::tags.size()) text_cursor::give_up();
        return Desc::values[i];
    }
};

/// A record: fields converted as their keys are met, unknown keys skipped if the record
/// allows them, fields that may be absent cleared when absent. A duplicate key, an unknown key
/// refused or a required field missing gives up.
template <class T, class Desc>
struct direct_reader<T, record_of_tree<Desc>> {
    using table = record_table<Desc>;

    static T read(text_cursor& c) {
        // Default-initialised, as the tree converter makes it.
        T value;
        field_set<table::size> given;
        if (c.begin_object()) {
            std::size_t hint = 0;
            do {
                std::size_t i = expected_key(c, hint);
                if (i == table::size) i = table::find(c.key(), hint);
                if (i == table::size) {
                    if (table::refuses_unknown()) text_cursor::give_up();
                    c.skip();
                    continue;
                }
                if (given.test(i)) text_cursor::give_up();
                given.set(i);
                hint = i + 1;
                assign(value, i, c);
            } while (c.next_entry());
        }
        if (!given.covers(table::required)) text_cursor::give_up();
        [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
            (clear_if_absent<I>(value.*M, given), ...);
        }
        (std::make_index_sequence<table::size>{}, typename table::members{});
        return value;
    }

private:
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
            c.read_string(field);  // into the field's own buffer
        } else {
            field = read_direct<F>(c);
        }
    }

    static void assign(T& value, std::size_t i, text_cursor& c) {
        if constexpr (table::size > table::small) {
            [&]<std::size_t... I, auto... M>(std::index_sequence<I...>,
                                             member_list<nullptr, M...>) {
                static constexpr void (*readers[])(
                    T&, text_cursor&) = {[](T& v, text_cursor& cur) { read_field(v.*M, cur); }...};
                readers[i](value, c);
            }
            (std::make_index_sequence<table::size>{}, typename table::members{});
        } else {
            [&]<std::size_t... I, auto... M>(std::index_sequence<I...>,
                                             member_list<nullptr, M...>) {
                (void)((i == I && (read_field(value.*M, c), true)) || ...);
            }
            (std::make_index_sequence<table::size>{}, typename table::members{});
        }
    }

    template <std::size_t I, class F>
    static void clear_if_absent(F& field, const field_set<table::size>& given) {
        if constexpr (may_be_absent<F> && !table::defaulted(I) && !table::skipped(I)) {
            if (!given.test(I)) field = F{};
        }
    }
};

/// Counts, per thread, the `read_as` calls that read a tree: those the direct path gave up on
/// and those whose read options it does not handle. For tests.
SYLVANE_API std::size_t& tree_path_runs() noexcept;

/// `text` read as a `T` without a tree, or nothing when the direct path gives up.
template <class T>
std::optional<T> read_direct_text(std::string_view text, const read_options& options) {
    // A tree is what the reader makes: finding its extent first would only cost time.
    if (!std::is_same_v<T, yojson> && text_cursor::handles(options)) {
        try {
            text_cursor c(text, options);
            std::optional<T> value(std::in_place, read_direct<T>(c));
            c.finish();
            return value;
        } catch (...) {
            // Any failure, of the text or of a converter: the tree path reports it exactly.
        }
    }
    ++tree_path_runs();
    return std::nullopt;
}

}  // namespace Sylvane::derive::detail
