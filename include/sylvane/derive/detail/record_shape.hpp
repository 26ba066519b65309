#pragma once
// The keys of a record's object and which of them it needs, at run time: the checks of an
// object's keys run only where a record fails, and are compiled once in the library rather
// than once per record; not part of the API.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>

namespace Sylvane::derive::detail {

/// A record's fields as its object shows them.
struct record_shape {
    std::string_view name;          ///< the record's, in its failures
    const std::string_view* keys;   ///< each field's key
    std::size_t size;               ///< fields
    const std::uint64_t* keyless;   ///< one bit per field: it has no key (skipped, extra keys)
    const std::uint64_t* required;  ///< one bit per field: it must be given
    /// Whether a key of no field fails: always, never, or while
    /// `Treeform::record_check_extra_fields` holds.
    enum class unknown : unsigned char { refused, ignored, follow_flag } unknown_keys;
};

/// Whether a key of no field fails now under `policy`.
inline bool refuses_unknown(record_shape::unknown policy) noexcept {
    switch (policy) {
        case record_shape::unknown::refused: return true;
        case record_shape::unknown::ignored: return false;
        case record_shape::unknown::follow_flag: break;
    }
    return Treeform::record_check_extra_fields.get();
}

/// What is wrong with the keys of a record's object, each list as its reporter takes it.
struct record_anomalies {
    std::vector<std::string> duplicates;  ///< newest first
    std::vector<std::string> extras;      ///< unknown keys, newest first; none if not refused
    /// Every keyed field, flagged if required and not given; empty if none is missing.
    std::vector<std::pair<bool, std::string>> flagged;
};

/// What is wrong with the keys of the object `tree` of record `shape`, whose fields `given` (one
/// bit each) got a value; the key `ignored` (a variant's tag, when not null) is neither a field
/// nor unknown.
SYLVANE_API record_anomalies find_record_anomalies(const record_shape& shape, const yojson& tree,
                                                   const std::uint64_t* given,
                                                   std::string_view ignored);
/// Reports what is wrong with the keys of the object `tree` of record `shape`, whose fields
/// `given` (one bit each) got a value: duplicates, then unknown keys if refused, then fields
/// missing. The key `ignored` (a variant's tag, when not null) is neither a field nor unknown.
/// Returns only when nothing is wrong.
SYLVANE_API void report_record_anomalies(const record_shape& shape, const yojson& tree,
                                         const std::uint64_t* given, std::string_view ignored);
/// `report_record_anomalies` with the fields given told by the object's keys alone.
SYLVANE_API void report_record_keys(const record_shape& shape, const yojson& tree,
                                    std::string_view ignored);
/// Whether `tree` has the keys that record `shape` needs: an object with each field's key at
/// most once, no unknown key if refused, and every required field's key.
SYLVANE_API bool has_record_keys(const record_shape& shape, const yojson& tree);

}  // namespace Sylvane::derive::detail
