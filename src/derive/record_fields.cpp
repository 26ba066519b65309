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

/// Whether `key` is the key of field `i`, a field that has one.
bool is_key_of(const record_shape& shape, std::size_t i, std::string_view key) noexcept {
    return !bit(shape.keyless, i) && same_key(key, shape.keys[i]);
}

}  // namespace

std::size_t find_field(const record_shape& shape, std::string_view key, std::size_t hint) noexcept {
    // Fields usually come in declaration order: the one after the previous match first.
    for (std::size_t n = 0; n < shape.size; ++n) {
        const std::size_t i = hint + n < shape.size ? hint + n : hint + n - shape.size;
        if (is_key_of(shape, i, key)) return i;
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

namespace {

/// Where the entry that `other_entry` met goes.
struct other_entry_read {
    std::size_t field;  ///< the field to read it into, or the record's size once stepped over
    bool anomaly;       ///< whether it is a duplicate or an unknown key refused
};

/// The entry at the cursor, whose key is not the one that followed field `previous` in the
/// objects before (`i` is the record's size; at `previous == size`, the object's first) or is
/// that of field `i` already given. Looks the key up, starting there, and teaches the order met
/// to the objects that follow. Gives the field to read the entry into, or none once it is
/// stepped over (the variant's tag, a duplicate or an unknown key, an anomaly where refused) or
/// kept as an unknown key. Out of line, as is the end below, and returning in registers, so that
/// the loop's frame, one in every level of nested records, stays small.
[[gnu::noinline]] other_entry_read other_entry(json_tree::detail::text_cursor& c,
                                               const text_fields_read& job, std::size_t i,
                                               std::size_t previous) {
    const record_text_in& record = *job.form->record;
    const record_shape& shape = *record.shape;
    const std::size_t size = shape.size;
    if (i == size) {
        std::atomic_ref<std::uint32_t> learned(record.next[previous]);
        const std::string_view key = c.key();
        i = find_field(shape, key, learned.load(std::memory_order_relaxed));
        if (i == size && !job.form->ignored.empty() && key == job.form->ignored) {
            c.skip();
            return {size, false};
        }
        if (i == size && record.keep != nullptr) {
            // The key's view lasts only until the value's strings are read.
            std::string kept(key);
            record.keep(at(job.value, job.offsets, record.extra), kept, c.read_tree());
            return {size, false};
        }
        if (i != size && !bit(job.given, i)) {
            learned.store(static_cast<std::uint32_t>(i), std::memory_order_relaxed);
            return {i, false};
        }
    }
    c.skip();
    return {size, i != size || refuses_unknown(shape.unknown_keys)};
}

/// Clears the fields of the record that may be absent, were not given and are cleared when
/// missing; reports the object with `job.form->check` if `anomaly` or a field is missing.
[[gnu::noinline]] void end_text_fields(json_tree::detail::text_cursor& c,
                                       const text_fields_read& job, bool anomaly) {
    if (anomaly || !covers(*job.form->record->shape, job.given)) [[unlikely]]
        c.reject_at(job.at, job.form->check);
    clear_missing(job.value, job.offsets, *job.form->record, job.given);
}

}  // namespace

void read_text_fields(json_tree::detail::text_cursor& c, const text_fields_read& job, bool more) {
    // The job's parts are read from it where they are used rather than kept in registers: fewer
    // registers saved, a smaller frame in every level of nested records.
    const std::size_t size = job.form->record->shape->size;
    bool anomaly = false;
    std::size_t previous = size;  // the field read last; at first, the object's start
    std::size_t hint = 0;         // the field declared after it
    for (; more; more = c.next_entry()) {
        // The key declared next, matched as a block where it is plain; else the key that
        // followed the previous one in the objects before (sorted keys, say); else another.
        std::size_t i = hint;
        if (i >= size || !c.key_is(job.form->record->quoted[i])) {
            const std::size_t guess =
                std::atomic_ref<std::uint32_t>(job.form->record->next[previous])
                    .load(std::memory_order_relaxed);
            i = guess != hint && guess < size && c.key_is(job.form->record->quoted[guess]) ? guess
                                                                                           : size;
        }
        if (i == size || bit(job.given, i)) [[unlikely]] {
            const other_entry_read other = other_entry(c, job, i, previous);
            anomaly = anomaly || other.anomaly;
            i = other.field;
            if (i == size) continue;
        }
        job.given[i / 64] |= std::uint64_t{1} << (i % 64);
        previous = i;
        hint = i + 1;
        job.form->record->fields[i].read(c, static_cast<char*>(job.value) + job.offsets[i]);
    }
    // Every field required and every field that a missing key clears given: nothing to do.
    bool complete = !anomaly;
    for (std::size_t w = 0; w < (size + 63) / 64; ++w) {
        const std::uint64_t needed =
            job.form->record->shape->required[w] | job.form->record->cleared[w];
        complete = complete && (job.given[w] & needed) == needed;
    }
    if (!complete) [[unlikely]]
        end_text_fields(c, job, anomaly);
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
        // The guess checked here, without the call of the search, which usually starts there.
        const std::size_t i =
            guess < size && is_key_of(shape, guess, key) ? guess : find_field(shape, key, guess);
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
