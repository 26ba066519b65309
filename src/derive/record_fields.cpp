#include <sylvane/derive/detail/record_fields.hpp>

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace Sylvane::derive::detail {

namespace {

/// One bit per field, for the widest record (256 fields).
struct field_bits {
    std::uint64_t words[4] = {};
    bool test(std::size_t i) const noexcept { return (words[i / 64] >> (i % 64)) & 1u; }
    void set(std::size_t i) noexcept { words[i / 64] |= std::uint64_t{1} << (i % 64); }
};

bool covers(const record_shape& shape, const std::uint64_t* given) noexcept {
    for (std::size_t w = 0; w < (shape.size + 63) / 64; ++w)
        if ((given[w] & shape.required[w]) != shape.required[w]) return false;
    return true;
}

void* at(void* value, const field_offset* offsets, std::size_t i) noexcept {
    return static_cast<char*>(value) + offsets[i];
}

/// Clears the fields that a missing key clears and were not `given`.
template <class Record>
void clear_missing(void* value, const field_offset* offsets, const Record& record,
                   const std::uint64_t* given) {
    for (std::size_t w = 0; w < (record.shape->size + 63) / 64; ++w) {
        for (std::uint64_t bits = record.cleared[w] & ~given[w]; bits != 0; bits &= bits - 1) {
            const std::size_t i = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
            record.fields[i].clear(at(value, offsets, i));
        }
    }
}

/// Whether `key` is `field_key`. Keys are short: compared inline by two loads of a fixed size
/// from each end (overlapping), rather than by a call of memcmp for each field of each object.
bool same_key(std::string_view key, std::string_view field_key) noexcept {
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

}  // namespace

std::size_t find_field(const record_shape& shape, std::string_view key, std::size_t hint) noexcept {
    // Fields usually come in declaration order: the one after the previous match first.
    for (std::size_t n = 0; n < shape.size; ++n) {
        const std::size_t i = hint + n < shape.size ? hint + n : hint + n - shape.size;
        if (!bit(shape.keyless, i) && same_key(key, shape.keys[i])) return i;
    }
    return shape.size;
}

std::size_t in_declaration_order(const record_shape& shape, std::span<const yojson::entry> entries,
                                 std::string_view ignored) noexcept {
    // The tag first, where it is no field's key, as the walk by keys steps over it.
    const std::size_t first = ignored.data() != nullptr && !entries.empty() &&
                                      entries[0].first == ignored &&
                                      find_field(shape, ignored, 0) == shape.size
                                  ? 1
                                  : 0;
    std::size_t next = first;
    for (std::size_t i = 0; i < shape.size; ++i) {
        if (bit(shape.keyless, i)) continue;
        if (next == entries.size() || !same_key(entries[next].first, shape.keys[i]))
            return not_in_order;
        ++next;
    }
    return next == entries.size() ? first : not_in_order;
}

std::size_t other_entry(json_tree::detail::text_cursor& c, void* value, const field_offset* offsets,
                        const record_text_in& record, std::size_t i, std::size_t hint,
                        std::string_view ignored, const std::uint64_t* given, bool& anomaly) {
    const record_shape& shape = *record.shape;
    const std::size_t size = shape.size;
    if (i == size) {
        const std::string_view key = c.key();
        i = find_field(shape, key, hint);
        if (i == size && !ignored.empty() && key == ignored) {
            c.skip();
            return size;
        }
        if (i == size && record.keep != nullptr) {
            // The key's view lasts only until the value's strings are read.
            std::string kept(key);
            record.keep(at(value, offsets, record.extra), kept, c.read_tree());
            return size;
        }
    }
    if (i == size || bit(given, i)) {
        anomaly = anomaly || i != size || refuses_unknown(shape.unknown_keys);
        c.skip();
        return size;
    }
    return i;
}

void end_text_fields(json_tree::detail::text_cursor& c, void* value, const field_offset* offsets,
                     const record_text_in& record, const std::uint64_t* given, bool anomaly,
                     std::size_t start, json_tree::detail::tree_check check) {
    const record_shape& shape = *record.shape;
    if (anomaly || !covers(shape, given)) [[unlikely]]
        c.reject_at(start, check);
    clear_missing(value, offsets, record, given);
}

void read_tree_entries(const yojson& tree, void* value, const field_offset* offsets,
                       const record_tree_in& record, std::string_view ignored) {
    const record_shape& shape = *record.shape;
    const std::size_t size = shape.size;
    field_bits given;
    bool anomaly = false;         // a duplicate or an unknown key: sorted out after the walk
    std::size_t previous = size;  // the field read last; at first, the object's start
    for (const auto& [key, field_tree] : tree.as_assoc()) {
        // Looked up from the key that followed the previous one in the objects before (the
        // text reader's order, declaration order at first), and that order learned: objects of
        // one shape whose keys come in another order (sorted, say) find each key at once.
        std::atomic_ref<std::uint32_t> learned(record.next[previous]);
        const std::size_t guess = learned.load(std::memory_order_relaxed);
        const std::size_t i = find_field(shape, key, guess);
        if (i == size || given.test(i)) {
            if (i == size && ignored.data() != nullptr && key == ignored) continue;
            if (i == size && record.keep != nullptr) {
                record.keep(at(value, offsets, record.extra), key, field_tree);
                continue;
            }
            anomaly = true;
            continue;
        }
        if (i != guess) learned.store(static_cast<std::uint32_t>(i), std::memory_order_relaxed);
        given.set(i);
        previous = i;
        record.fields[i].read(field_tree, at(value, offsets, i));
    }
    if (anomaly || !covers(shape, given.words)) [[unlikely]]
        report_record_anomalies(shape, tree, given.words, ignored);
    clear_missing(value, offsets, record, given.words);
}

}  // namespace Sylvane::derive::detail
