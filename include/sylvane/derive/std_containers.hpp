#pragma once
/// The converters of the standard sequences, sets and dictionaries.
///
/// | C++ type | tree |
/// |---|---|
/// | `std::array<T, N>` | `List` of exactly N elements |
/// | `std::deque<T>`, `std::list<T>` | `List` |
/// | `std::set<T>`, `std::unordered_set<T>` | `List` in iteration order; a repeated element fails |
/// | `std::map<K, V>`, `std::unordered_map<K, V>` | `Assoc` keyed by the key's text |
///
/// A dictionary key's text is a `std::string` itself, an integer's decimal text, or a derived
/// enumeration's tag; a key repeated in an object fails (no binding is dropped). A dictionary
/// with keys of another type has no converters: the compile error says so, and a
/// `std::vector<std::pair<K, V>>` is the way to write it, as a list of `[key, value]` pairs.
/// Elements and bindings are converted first to last in both directions.

#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/detail/element_blocks.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

namespace detail {

/// What was wrong with the tree of a standard container.
enum class container_fault : unsigned char {
    list_needed,        // a sequence or set given no `List`
    set_duplicate,      // an element equal to an earlier one
    object_needed,      // a dictionary given no `Assoc`
    duplicate_key,      // a key met twice in one object
    integer_key,        // a key that is no decimal integer
    integer_key_range,  // a decimal key beyond the key type
    enum_key,           // a key that is no tag of the enumeration
};

/// Raises the conversion failure of a standard container on `tree`.
[[noreturn]] SYLVANE_API void reject_std_container(container_fault fault, const yojson& tree);
/// Raises "fixed_array_of_yojson: list of <size> elements needed" on `tree`.
[[noreturn]] SYLVANE_API void reject_fixed_array(std::size_t size, const yojson& tree);

/// The elements of a `List`, or a failure.
inline std::span<const yojson> list_items(const yojson& t) {
    if (t.kind() != yojson_kind::List) reject_std_container(container_fault::list_needed, t);
    return t.as_list();
}

/// A `List` of the elements of any sized range, converted first to last.
struct range_to_tree {
    template <class Range>
    yojson operator()(const Range& r) const {
        list_builder items(static_cast<std::size_t>(std::size(r)));
        for (const auto& x : r) items.emplace([&] { return tree_of(x); });
        return std::move(items).finish();
    }
};

template <class T, std::size_t N>
struct fixed_array_of_tree {
    std::array<T, N> operator()(const yojson& t) const {
        if (t.kind() != yojson_kind::List || t.as_list().size() != N) reject_fixed_array(N, t);
        const auto items = t.as_list();
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return std::array<T, N>{of_yojson<T>(items[I])...};  // braces: first to last
        }
        (std::make_index_sequence<N>{});
    }
};

/// A deque or a list, its elements appended first to last.
template <class Seq>
struct sequence_of_tree {
    Seq operator()(const yojson& t) const {
        Seq out;
        for (const yojson& item : list_items(t))
            out.push_back(of_yojson<typename Seq::value_type>(item));
        return out;
    }
};

template <class Set>
struct set_of_tree {
    Set operator()(const yojson& t) const {
        Set out;
        for (const yojson& item : list_items(t)) {
            if (!out.insert(of_yojson<typename Set::value_type>(item)).second)
                reject_std_container(container_fault::set_duplicate, item);
        }
        return out;
    }
};

/// The key types whose values have a text form.
template <class K>
concept text_key = std::same_as<K, std::string> || checked_integer<K> ||
    (std::is_enum_v<K>&& Yojsonable_intf::yojsonable<K>);

/// The tag of an enumerator, written bare or as `["tag"]`; an integer code as its digits.
template <class K>
std::string key_text(const K& key) {
    yojson t = tree_of(key);
    if (t.kind() == yojson_kind::List) t = t.as_list()[0];
    return t.kind() == yojson_kind::Int ? std::to_string(t.as_int()) : std::string(t.as_string());
}

/// Whether `text` is an integer as the writer writes a key: an optional minus sign and decimal
/// digits, without a leading zero, a plus sign or `-0`, so that each key has one text and two
/// texts of one key are not taken as a repeated key.
constexpr bool written_integer_key(std::string_view text) noexcept {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || (digits[0] == '0' && (digits.size() > 1 || negative))) return false;
    for (char ch : digits)
        if (ch < '0' || ch > '9') return false;
    return true;
}

/// The key of text `text`; a key without a value of `K` fails on `value`, the tree bound to it,
/// so that the failure is located at the key.
template <text_key K>
K key_of_text(std::string_view text, const yojson& value) {
    if constexpr (std::same_as<K, std::string>) {
        return K(text);
    } else if constexpr (checked_integer<K>) {
        std::conditional_t<std::is_signed_v<K>, std::int64_t, std::uint64_t> n = 0;
        if (!written_integer_key(text)) reject_std_container(container_fault::integer_key, value);
        switch (parse_integer(text, n)) {
            case integer_text::ok: break;
            case integer_text::out_of_range:
                reject_std_container(container_fault::integer_key_range, value);
            case integer_text::malformed: reject_std_container(container_fault::integer_key, value);
        }
        if (!std::in_range<K>(n)) reject_std_container(container_fault::integer_key_range, value);
        return static_cast<K>(n);
    } else {
        // An enumeration tagged by integer codes takes the code's digits; one tagged by strings
        // refuses the code and takes the text.
        std::int64_t code = 0;
        if (written_integer_key(text) && parse_integer(text, code) == integer_text::ok) {
            try {
                return of_yojson<K>(yojson::Int(code));
            } catch (const Treeform::Of_yojson_error&) {
            }
        }
        try {
            return of_yojson<K>(yojson::String(text));
        } catch (const Treeform::Of_yojson_error&) {
            reject_std_container(container_fault::enum_key, value);
        }
    }
}

template <class Map>
struct map_to_tree {
    yojson operator()(const Map& m) const {
        using key = typename Map::key_type;
        std::size_t key_bytes = 0;
        if constexpr (checked_integer<key>) {
            key_bytes = m.size() * 20;  // no decimal text of 64 bits is longer
        } else {
            for (const auto& binding : m) {
                if constexpr (std::same_as<key, std::string>)
                    key_bytes += binding.first.size();
                else
                    key_bytes += key_text(binding.first).size();
            }
        }
        assoc_builder fields(m.size(), key_bytes);
        for (const auto& binding : m) {
            const auto& k = binding.first;
            auto value = [&] { return tree_of(binding.second); };
            if constexpr (std::same_as<key, std::string>) {
                fields.emplace(k, value);
            } else if constexpr (checked_integer<key>) {
                char buffer[24];
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, k).ptr;
                fields.emplace(std::string_view(buffer, static_cast<std::size_t>(end - buffer)),
                               value);
            } else {
                fields.emplace(key_text(k), value);
            }
        }
        return std::move(fields).finish();
    }
};

template <class Map>
struct map_of_tree {
    Map operator()(const yojson& t) const {
        using key = typename Map::key_type;
        using mapped = typename Map::mapped_type;
        if (t.kind() != yojson_kind::Assoc) reject_std_container(container_fault::object_needed, t);
        const auto entries = t.as_assoc();
        Map out;
        if constexpr (requires { out.reserve(entries.size()); }) out.reserve(entries.size());
        for (const auto& [text, value] : entries) {
            key k = key_of_text<key>(text, value);
            if (!out.try_emplace(std::move(k), of_yojson<mapped>(value)).second)
                reject_std_container(container_fault::duplicate_key, value);
        }
        return out;
    }
};

template <class T, std::size_t N>
struct element_types<std::array<T, N>> {
    using type = std::tuple<T>;
};
template <class T, class A>
struct element_types<std::deque<T, A>> {
    using type = std::tuple<T>;
};
template <class T, class A>
struct element_types<std::list<T, A>> {
    using type = std::tuple<T>;
};
template <class T, class C, class A>
struct element_types<std::set<T, C, A>> {
    using type = std::tuple<T>;
};
template <class T, class H, class E, class A>
struct element_types<std::unordered_set<T, H, E, A>> {
    using type = std::tuple<T>;
};
template <class K, class V, class C, class A>
struct element_types<std::map<K, V, C, A>> {
    using type = std::tuple<V>;
};
template <class K, class V, class H, class E, class A>
struct element_types<std::unordered_map<K, V, H, E, A>> {
    using type = std::tuple<V>;
};

template <class K, class V, class C, class A>
inline constexpr bool map_key_without_text<std::map<K, V, C, A>> = !text_key<K>;
template <class K, class V, class H, class E, class A>
inline constexpr bool map_key_without_text<std::unordered_map<K, V, H, E, A>> = !text_key<K>;

}  // namespace detail

template <Yojsonable_intf::yojsonable T, std::size_t N>
constexpr auto sylvane_converters(type_tag<std::array<T, N>>) noexcept {
    return converters{detail::range_to_tree{}, detail::fixed_array_of_tree<T, N>{}};
}

template <Yojsonable_intf::yojsonable T, class A>
constexpr auto sylvane_converters(type_tag<std::deque<T, A>>) noexcept {
    return converters{detail::range_to_tree{}, detail::sequence_of_tree<std::deque<T, A>>{}};
}

template <Yojsonable_intf::yojsonable T, class A>
constexpr auto sylvane_converters(type_tag<std::list<T, A>>) noexcept {
    return converters{detail::range_to_tree{}, detail::sequence_of_tree<std::list<T, A>>{}};
}

template <Yojsonable_intf::yojsonable T, class C, class A>
constexpr auto sylvane_converters(type_tag<std::set<T, C, A>>) noexcept {
    return converters{detail::range_to_tree{}, detail::set_of_tree<std::set<T, C, A>>{}};
}

template <Yojsonable_intf::yojsonable T, class H, class E, class A>
constexpr auto sylvane_converters(type_tag<std::unordered_set<T, H, E, A>>) noexcept {
    return converters{detail::range_to_tree{},
                      detail::set_of_tree<std::unordered_set<T, H, E, A>>{}};
}

template <detail::text_key K, Yojsonable_intf::yojsonable V, class C, class A>
constexpr auto sylvane_converters(type_tag<std::map<K, V, C, A>>) noexcept {
    using map = std::map<K, V, C, A>;
    return converters{detail::map_to_tree<map>{}, detail::map_of_tree<map>{}};
}

template <detail::text_key K, Yojsonable_intf::yojsonable V, class H, class E, class A>
constexpr auto sylvane_converters(type_tag<std::unordered_map<K, V, H, E, A>>) noexcept {
    using map = std::unordered_map<K, V, H, E, A>;
    return converters{detail::map_to_tree<map>{}, detail::map_of_tree<map>{}};
}

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

// The standard sequences, arrays, sets and dictionaries read straight from the text and
// written straight to it, without a tree. (The converters of `std::vector` are in
// containers.hpp.)

/// Elements that a vector of them reads into a small buffer first: arrays of a few strings or
/// numbers (tags, coordinates) are the usual ones, and their vector is then made in one
/// allocation of the exact size, as the tree converter makes it, instead of growing one element
/// at a time. Only small scalars, so that a recursive type's frames do not grow.
template <class T>
inline constexpr bool buffered_element = std::is_same_v<T, std::string> ||
                                         (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>);

/// Elements that a long vector of them keeps in blocks until it closes: those that a growing
/// vector moves one by one. Elements that are bytes to copy move all at once as it grows.
template <class T>
inline constexpr bool staged_element = !std::is_trivially_copyable_v<T> && !std::is_same_v<T, bool>;

/// How many of an array's first elements a vector of them makes on the cursor's stack of staged
/// elements (`text_cursor::stage`), at most 1 KiB of them; 0 for elements taken otherwise. The
/// vector is then made in one allocation of the exact size when the array ends there (an array
/// of 16 records grown one at a time took five allocations and moved 15 records).
template <class T>
inline constexpr std::size_t staged_count = buffered_element<T> || std::is_same_v<T, bool> ||
                                                    alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__ ||
                                                    sizeof(T) > 512
                                                ? 0
                                                : (1024 / sizeof(T) < 16 ? 1024 / sizeof(T) : 16);

/// The elements staged by `read_elements`: destroyed, and their room given back, however the
/// read ends.
template <class T>
struct staged_elements {
    text_cursor& c;
    T* first;
    std::size_t bytes;
    std::size_t n = 0;
    staged_elements(text_cursor& cursor, void* room, std::size_t room_bytes) noexcept
        : c(cursor), first(static_cast<T*>(room)), bytes(room_bytes) {}
    staged_elements(const staged_elements&) = delete;
    staged_elements& operator=(const staged_elements&) = delete;
    ~staged_elements() {
        std::destroy_n(first, n);
        c.unstage(bytes);
    }
};

template <class Seq>
void append_elements(text_cursor& c, Seq& out, std::size_t start);

/// The first elements of an array (at least one follows), made in `room`, `bytes` taken from
/// the cursor's stack of staged elements and given back here, then moved to `out`; whether
/// more follow. Out of line: nested arrays that are no longer staged, past the stack's room,
/// recurse through `read_elements` alone, whose frame stays as small as without staging.
template <class T>
[[gnu::noinline]] bool read_staged(text_cursor& c, std::vector<T>& out, void* room,
                                   std::size_t bytes) {
    constexpr std::size_t k = staged_count<T>;
    staged_elements<T> staged(c, room, bytes);
    bool more = true;
    while (more && staged.n < k) {
        ::new (static_cast<void*>(staged.first + staged.n)) T(read_direct<T>(c));
        ++staged.n;
        more = c.next_element();
    }
    out.reserve(out.size() + (more ? 2 * k : staged.n));
    for (std::size_t i = 0; i < staged.n; ++i) out.push_back(std::move(staged.first[i]));
    return more;
}

/// The elements of an array appended to `out` first to last. A vector of strings or numbers
/// takes its first eight in a buffer; one of elements that it moves one by one takes its first
/// 16 KiB of them as they come and the rest once, from blocks (`element_blocks`).
template <class Seq>
void read_elements(text_cursor& c, Seq& out) {
    using T = typename Seq::value_type;
    if (!c.begin_array(&check_as<Seq>)) return;
    const std::size_t start = c.value_start();
    if constexpr (std::is_same_v<Seq, std::vector<T>> && buffered_element<T>) {
        constexpr std::size_t buffered = 8;
        T first[buffered]{};
        std::size_t n = 0;
        bool more = true;
        while (more && n < buffered) {
            if constexpr (std::is_same_v<T, std::string>) {
                c.read_string(first[n++], &check_as<std::string>);  // into its own buffer
            } else {
                first[n++] = read_direct<T>(c);
            }
            more = c.next_element();
        }
        if (more) out.reserve(out.size() + 2 * buffered);
        out.insert(out.end(), std::make_move_iterator(first), std::make_move_iterator(first + n));
        if (!more) return;
    } else if constexpr (std::is_same_v<Seq, std::vector<T>> && staged_count<T> > 0) {
        constexpr std::size_t bytes = (staged_count<T> * sizeof(T) + 15) / 16 * 16;
        if (void* room = c.stage(bytes)) {
            if (!read_staged(c, out, room, bytes)) return;
        }
    }
    append_elements(c, out, start);  // the rest in a loop of its own, compiled as before the buffer
}

/// The elements of the array at offset `start` from the next on (at least one follows),
/// appended to `out`.
template <class Seq>
void append_elements(text_cursor& c, Seq& out, std::size_t start) {
    using T = typename Seq::value_type;
    if constexpr (std::is_same_v<Seq, std::vector<T>> && staged_element<T>) {
        bool estimated = false;
        do {
            if (out.size() == out.capacity() && out.size() * sizeof(T) >= staging_after_bytes)
                [[unlikely]] {
                if (!estimated && c.in_outermost()) {
                    estimated = true;
                    out.reserve(expected_elements(out.size(), c.offset() - start, c.bytes_left(),
                                                  sizeof(T)));
                }
                if (out.size() == out.capacity()) {
                    element_blocks<T> rest;
                    do {
                        rest.add([&] { return read_direct<T>(c); });
                    } while (c.next_element());
                    rest.move_to(out);
                    return;
                }
            }
            out.push_back(read_direct<T>(c));
        } while (c.next_element());
        // An estimate far above the count (the first elements much larger than the rest).
        if (estimated && out.capacity() - out.size() > out.size() / 2) out.shrink_to_fit();
    } else {
        do {
            out.push_back(read_direct<T>(c));
        } while (c.next_element());
    }
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
            if (!written_integer_key(text)) {
                refused = &check_entry<container_fault::integer_key>;
                return std::nullopt;
            }
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

/// The elements of a range as an array, first to last.
template <class Range>
void write_elements(text_sink& out, const Range& r) {
    out.put_char('[');
    bool first = true;
    for (const auto& x : r) {
        if (!first) out.put_char(',');
        first = false;
        write_direct(out, x);
    }
    out.put_char(']');
}

template <class T, class F>
requires std::same_as<F, to_converter_t<T>>
struct direct_writer<std::vector<T>, Treeform::detail::bound<Treeform::yojson_of_list_fn, F>> {
    static void write(text_sink& out, const std::vector<T>& v) { write_elements(out, v); }
};

/// Arrays, deques, lists and sets: their elements in iteration order.
template <class Range>
struct direct_writer<Range, range_to_tree> {
    static void write(text_sink& out, const Range& r) { write_elements(out, r); }
};

/// A dictionary keyed by strings or by integers, whose keys are their decimal text.
template <class Map>
requires std::same_as<typename Map::key_type, std::string> ||
    checked_integer<typename Map::key_type>
struct direct_writer<Map, map_to_tree<Map>> {
    static void write(text_sink& out, const Map& m) {
        using key = typename Map::key_type;
        out.put_char('{');
        bool first = true;
        for (const auto& [k, v] : m) {
            if (!first) out.put_char(',');
            first = false;
            if constexpr (std::same_as<key, std::string>) {
                out.string(k);
            } else {
                out.put_char('"');
                direct_writer<key, integer_to_tree<key>>::write(out, k);
                out.put_char('"');
            }
            out.put_char(':');
            write_direct(out, v);
        }
        out.put_char('}');
    }
};

}  // namespace Sylvane::derive::detail
