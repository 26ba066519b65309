#pragma once
// The loops over a record's fields, one per route, compiled once in the library and driven by
// constant tables: each record gives, per field, its offset in the record and a function of the
// field's type for the route (`read_text_field<std::string>` is shared by every record with a
// string field). So a record costs the compiler its tables and little code, and a route costs
// it only where it is used. Not part of the API.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/detail/record_shape.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::derive::detail {

/// Where a field sits in its record, in bytes from the record's start.
using field_offset = std::uint32_t;

/// Clears a field that may be absent when its key is missing.
using clear_fn = void (*)(void* field);
/// Keeps an unknown key and its value in the member that keeps them.
using keep_fn = void (*)(void* store, std::string_view key, yojson tree);

/// A field read from text: its reader, none where the field has no key.
struct field_text_in {
    void (*read)(json_tree::detail::text_cursor& c, void* field);
    clear_fn clear;  ///< where a missing key clears the field
};

/// A field read from a tree.
struct field_tree_in {
    void (*read)(const yojson& tree, void* field);
    clear_fn clear;  ///< where a missing key clears the field
};

/// A field written as a tree.
struct field_tree_out {
    yojson (*make)(const void* field);  ///< none: no key
    bool (*empty)(const void* field);   ///< where the field is left out when empty
};

/// A field written as text.
struct field_text_out {
    void (*write)(json_tree::detail::text_sink& out, const void* field);  ///< none: no key
    bool (*empty)(const void* field);  ///< where the field is left out when empty
};

/// Reading a record from text: its shape, its fields, and the member that keeps unknown keys.
struct record_text_in {
    const record_shape* shape;
    /// Each field's key as the text writes it where it is plain, else empty (found by the
    /// shape's keys); shared with the record's text writer.
    const json_tree::detail::quoted_key* quoted;
    const field_text_in* fields;
    const std::uint64_t* cleared;  ///< one bit per field: a missing key clears it
    std::size_t extra;             ///< the member that keeps unknown keys, or `shape->size`
    keep_fn keep;
    /// The order of the keys met last, as the field that followed each field (at
    /// `shape->size`: the first): the key the reader tries where the one declared next is not
    /// next. Declaration order until an object differs; shared by every thread, read and
    /// written as relaxed atomics.
    std::uint32_t* next;
};

/// Reading a record from a tree.
struct record_tree_in {
    const record_shape* shape;
    const field_tree_in* fields;
    const std::uint64_t* cleared;  ///< one bit per field: a missing key clears it
    std::size_t extra;
    keep_fn keep;
    /// The order of the keys met last, shared with `record_text_in::next`: where a key is
    /// looked up first.
    std::uint32_t* next;
};

/// Whether bit `i` of `bits` is set.
inline bool bit(const std::uint64_t* bits, std::size_t i) noexcept {
    return (bits[i / 64] >> (i % 64)) & 1u;
}

/// The entry at the cursor, whose key is not the one expected next or is that of field `i`
/// already given: the field to read it into, or `shape->size` once it is stepped over (the
/// variant's tag `ignored`, a duplicate or an unknown key, noted in `anomaly` where refused) or
/// kept as an unknown key.
SYLVANE_API std::size_t other_entry(json_tree::detail::text_cursor& c, void* value,
                                    const field_offset* offsets, const record_text_in& record,
                                    std::size_t i, std::size_t hint, std::string_view ignored,
                                    const std::uint64_t* given, bool& anomaly);
/// Clears the fields of the record at `value` that may be absent, were not `given` and are
/// cleared when missing; reports the object at `at` with `check` if `anomaly` or a field is
/// missing.
SYLVANE_API void end_text_fields(json_tree::detail::text_cursor& c, void* value,
                                 const field_offset* offsets, const record_text_in& record,
                                 const std::uint64_t* given, bool anomaly, std::size_t at,
                                 json_tree::detail::tree_check check);

/// Reads the entries of the object at offset `at` from `c` on into the record at `value` (`more`:
/// whether an entry is next), each field converted as its key is met; `given` has a bit for
/// each field, clear. The key `ignored` (a variant's tag) is neither a field nor unknown. A
/// duplicate, an unknown key refused or a field missing stops the cursor at the object with
/// `check`, which reports its keys; fields that may be absent and were not given are cleared.
/// Inlined into each record's reader, so that a nested record costs one frame of the stack.
[[gnu::always_inline]] inline void read_text_fields(json_tree::detail::text_cursor& c, void* value,
                                                    const field_offset* offsets,
                                                    const record_text_in& record,
                                                    std::uint64_t* given, bool more, std::size_t at,
                                                    std::string_view ignored,
                                                    json_tree::detail::tree_check check) {
    const std::size_t size = record.shape->size;
    bool anomaly = false;
    std::size_t previous = size;  // the field read last; at first, the object's start
    std::size_t hint = 0;
    for (; more; more = c.next_entry()) {
        // The key declared next, matched as a block where it is plain; else the key that
        // followed the previous one in the objects before; else looked up, and that order
        // learned for the objects that follow.
        std::size_t i = hint < size && c.key_is(record.quoted[hint]) ? hint : size;
        if (i == size || bit(given, i)) [[unlikely]] {
            std::atomic_ref<std::uint32_t> learned(record.next[previous]);
            const std::size_t guess = learned.load(std::memory_order_relaxed);
            if (i == size && guess != hint && guess < size && c.key_is(record.quoted[guess]))
                i = guess;
            if (i == size || bit(given, i)) {
                i = other_entry(c, value, offsets, record, i, guess, ignored, given, anomaly);
                if (i == size) continue;
                learned.store(static_cast<std::uint32_t>(i), std::memory_order_relaxed);
            }
        }
        given[i / 64] |= std::uint64_t{1} << (i % 64);
        previous = i;
        hint = i + 1;
        record.fields[i].read(c, static_cast<char*>(value) + offsets[i]);
    }
    // Every field required and every field that a missing key clears given: nothing to do.
    bool complete = !anomaly;
    for (std::size_t w = 0; w < (size + 63) / 64; ++w) {
        const std::uint64_t needed = record.shape->required[w] | record.cleared[w];
        complete = complete && (given[w] & needed) == needed;
    }
    if (!complete) [[unlikely]]
        end_text_fields(c, value, offsets, record, given, anomaly, at, check);
}

/// Where the keyed fields of `shape` start in `entries` when the entries are exactly those fields
/// in order, after the key `ignored` (a variant's tag, when not null) if it comes first: 0 or 1.
/// Otherwise, `not_in_order`.
inline constexpr std::size_t not_in_order = ~std::size_t{0};
SYLVANE_API std::size_t in_declaration_order(const record_shape& shape,
                                             std::span<const yojson::entry> entries,
                                             std::string_view ignored) noexcept;
/// Reads the object `tree` into the record at `value` key by key, `ignored` as above. Reports
/// duplicates, unknown keys refused and fields missing, in that order, after converting every
/// field.
SYLVANE_API void read_tree_entries(const yojson& tree, void* value, const field_offset* offsets,
                                   const record_tree_in& record, std::string_view ignored);

/// Reads the entry at `next` into `field` as the entry `f` of its record's table says, and
/// steps to the next entry; nothing where the field has no key. For objects whose entries are
/// the record's fields in order. Inlined into each record's converter, where all but the field
/// are constants: the field's reader is a direct call of the function of its type, which every
/// record with such a field shares. (A loop over the table made trees to records a tenth
/// slower.)
[[gnu::always_inline]] inline void read_tree_field_entry(const yojson::entry*& next, void* field,
                                                         const field_tree_in& f) {
    if (f.read == nullptr) return;
    f.read(next->second, field);
    ++next;
}

/// Appends a field of a record to `entries` as the entry `f` of its table says, keyed `key`;
/// nothing where the field has no key or is left out empty. Inlined into each record's
/// converter, where all but the field are constants: the key's copy is a few stores and the
/// field's maker a direct call of the function of its type, which every record with such a
/// field shares. (A loop over the table in the library made records to trees a third slower.)
[[gnu::always_inline]] inline void tree_field_entry(assoc_builder& entries, const void* field,
                                                    const field_tree_out& f, std::string_view key) {
    if (f.make == nullptr) return;
    if (f.empty != nullptr && f.empty(field)) return;
    entries.emplace(key, [&] { return f.make(field); });
}

/// Writes a field of a record as the entry `f` of its table says, keyed `key` where plain
/// (else `name`, which is written as it stands if `plain`, else escaped): `"key":value` after a
/// comma unless it is the `first` written; nothing where the field has no key or is left out
/// empty. Inlined into each record's writer, where all but the field are constants: the key's
/// copy is a few stores and the field's writer a direct call of the function of its type, which
/// every record with such a field shares.
[[gnu::always_inline]] inline void write_text_field_entry(
    json_tree::detail::text_sink& out, const void* field, const field_text_out& f,
    const json_tree::detail::quoted_key& key, std::string_view name, bool plain, bool& first) {
    if (f.write == nullptr) return;
    if (f.empty != nullptr && f.empty(field)) return;
    if (key.size != 0) {
        // The quoted key's padded block copied, a constant size (half of it for a short key),
        // then cut to its length.
        const std::size_t block = key.size < 16 ? 16 : sizeof key.text;
        char* p = out.room(sizeof key.text + 2);
        *p = ',';
        p += first ? 0 : 1;
        std::memcpy(p, key.text, block);
        p[key.size] = ':';
        out.advance(p + key.size + 1);
    } else if (plain) {
        char* p = out.room(name.size() + 4);
        *p = ',';
        p += first ? 0 : 1;
        *p = '"';
        std::memcpy(p + 1, name.data(), name.size());
        p[name.size() + 1] = '"';
        p[name.size() + 2] = ':';
        out.advance(p + name.size() + 3);
    } else {
        if (!first) out.put_char(',');
        out.string(name);
        out.put_char(':');
    }
    first = false;
    f.write(out, field);
}

/// The field keyed `key` of `shape`, or `shape.size`, the one at `hint` tried first.
SYLVANE_API std::size_t find_field(const record_shape& shape, std::string_view key,
                                   std::size_t hint) noexcept;

}  // namespace Sylvane::derive::detail
