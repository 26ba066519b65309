#pragma once
// The loops over a record's fields, one per route, compiled once in the library and driven by
// constant tables: each record gives, per field, its offset in the record and a function of the
// field's type for the route (`read_text_field<std::string>` is shared by every record with a
// string field). So a record costs the compiler its tables and little code, and a route costs
// it only where it is used. Not part of the API.

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

/// Whether `key` is `field_key`. Keys are short: compared inline by two loads of a fixed size
/// from each end (overlapping), rather than by a call of memcmp for each field of each object;
/// against a constant key, each load is compared with an immediate (g++ called memcmp for the
/// records' constant keys of some lengths: a tenth of reading records from trees).
[[gnu::always_inline]] inline bool same_key(std::string_view key,
                                            std::string_view field_key) noexcept {
    const std::size_t n = key.size();
    if (n != field_key.size()) return false;
    const char* a = key.data();
    const char* b = field_key.data();
    const auto same = [&]<std::size_t W>(std::size_t at) {
        return std::memcmp(a + at, b + at, W) == 0;  // of a constant size: two loads
    };
    if (n >= 8) {
        for (std::size_t at = 0; at + 8 < n; at += 8)
            if (!same.template operator()<8>(at)) return false;
        return same.template operator()<8>(n - 8);
    }
    if (n >= 4) return same.template operator()<4>(0) && same.template operator()<4>(n - 4);
    if (n >= 2) return same.template operator()<2>(0) && same.template operator()<2>(n - 2);
    return n == 0 || *a == *b;
}

/// Whether bit `i` of `bits` is set.
inline bool bit(const std::uint64_t* bits, std::size_t i) noexcept {
    return (bits[i / 64] >> (i % 64)) & 1u;
}

/// How an object is read into a record, constant for each use of the record: the record's table,
/// a key that is neither a field nor unknown (a variant's tag, else empty), and the check that
/// reports the object's keys when they do not make the record.
struct object_form {
    const record_text_in* record;
    std::string_view ignored;
    json_tree::detail::tree_check check;
};

/// One object read from text into a record: what the record's reader hands the loop over its
/// fields, in one place and small, since the reader's frame and the loop's are two in every
/// level of nested records.
struct text_fields_read {
    void* value;  ///< the record
    const field_offset* offsets;
    std::uint64_t* given;  ///< one bit per field, clear
    std::size_t at;        ///< the object's offset in the text
    const object_form* form;
};

/// Reads the entries of `job`'s object from `c` on into its record (`more`: whether an entry is
/// next), each field converted as its key is met. A duplicate, an unknown key refused or a field
/// missing stops the cursor at the object with `job.form->check`; fields that may be absent and
/// were not given are cleared. One loop for every record: inlined into each, it cost the compiler
/// about a tenth of a derived record's time.
SYLVANE_API void read_text_fields(json_tree::detail::text_cursor& c, const text_fields_read& job,
                                  bool more);

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
