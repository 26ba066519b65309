#include <sylvane/derive/detail/record_shape.hpp>

#include <sylvane/treeform_error.hpp>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace Sylvane::derive::detail {

namespace {

bool test(const std::uint64_t* bits, std::size_t i) noexcept {
    return (bits[i / 64] >> (i % 64)) & 1u;
}

/// One bit per field, as many words as `shape` needs.
struct bit_set {
    explicit bit_set(std::size_t n) : words((n + 63) / 64) {}
    bool test(std::size_t i) const noexcept { return detail::test(words.data(), i); }
    void set(std::size_t i) { words[i / 64] |= std::uint64_t{1} << (i % 64); }
    std::vector<std::uint64_t> words;
};

/// The field keyed `key`, or `shape.size`.
std::size_t find(const record_shape& shape, std::string_view key) noexcept {
    for (std::size_t i = 0; i < shape.size; ++i)
        if (!test(shape.keyless, i) && shape.keys[i] == key) return i;
    return shape.size;
}

bool covers(const record_shape& shape, const std::uint64_t* given) noexcept {
    for (std::size_t w = 0; w < (shape.size + 63) / 64; ++w)
        if ((given[w] & shape.required[w]) != shape.required[w]) return false;
    return true;
}

}  // namespace

record_anomalies find_record_anomalies(const record_shape& shape, const yojson& tree,
                                       const std::uint64_t* given, std::string_view ignored) {
    record_anomalies found;
    bit_set seen(shape.size);
    for (const auto& [key, value] : tree.as_assoc()) {
        const std::size_t i = find(shape, key);
        if (i == shape.size) {
            if (ignored.data() == nullptr || key != ignored) found.extras.emplace_back(key);
        } else if (seen.test(i)) {
            found.duplicates.emplace_back(key);
        } else {
            seen.set(i);
        }
    }
    // The reporters take their lists newest first.
    std::reverse(found.duplicates.begin(), found.duplicates.end());
    if (refuses_unknown(shape.unknown_keys))
        std::reverse(found.extras.begin(), found.extras.end());
    else
        found.extras.clear();
    if (!covers(shape, given)) {
        found.flagged.reserve(shape.size);
        for (std::size_t i = 0; i < shape.size; ++i) {
            if (test(shape.keyless, i)) continue;
            found.flagged.emplace_back(test(shape.required, i) && !test(given, i),
                                       std::string(shape.keys[i]));
        }
    }
    return found;
}

void report_record_anomalies(const record_shape& shape, const yojson& tree,
                             const std::uint64_t* given, std::string_view ignored) {
    const record_anomalies found = find_record_anomalies(shape, tree, given, ignored);
    if (!found.duplicates.empty())
        Treeform_error::record_duplicate_fields(shape.name, found.duplicates, tree);
    if (!found.extras.empty()) Treeform_error::record_extra_fields(shape.name, found.extras, tree);
    if (!found.flagged.empty())
        Treeform_error::record_undefined_elements(shape.name, tree, found.flagged);
}

void report_record_keys(const record_shape& shape, const yojson& tree, std::string_view ignored) {
    bit_set given(shape.size);
    for (const auto& entry : tree.as_assoc()) {
        const std::size_t i = find(shape, entry.first);
        if (i != shape.size) given.set(i);
    }
    report_record_anomalies(shape, tree, given.words.data(), ignored);
}

bool has_record_keys(const record_shape& shape, const yojson& tree) {
    if (tree.kind() != yojson_kind::Assoc) return false;
    bit_set seen(shape.size);
    for (const auto& entry : tree.as_assoc()) {
        const std::size_t i = find(shape, entry.first);
        if (i == shape.size) {
            if (refuses_unknown(shape.unknown_keys)) return false;
            continue;
        }
        if (seen.test(i)) return false;
        seen.set(i);
    }
    return covers(shape, seen.words.data());
}

}  // namespace Sylvane::derive::detail
