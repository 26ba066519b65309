#pragma once
/// What `check<T>` finds in a document: every failure, in the order a reader meets them, each
/// with the library's message, its JSON Pointer and its line and column.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/read.hpp>

namespace Sylvane {

/// The options of `check<T>`.
struct check_options {
    /// What the reader accepts, as for `read_as`.
    read_options read = {};
    /// At most this many failures are kept; the others are only counted (`check_result::more`).
    std::size_t max_failures = 100;
};

/// One failure of a document.
struct check_failure {
    /// The converter's message ("int_of_yojson: integer needed"), or for text that is not JSON
    /// the reader's reason ("unexpected character ']'").
    std::string message;
    /// The JSON Pointer of the failing value ("" for the root); empty for text that is not JSON.
    std::string pointer;
    /// Where the failing value starts (for text that is not JSON: where the reader stopped).
    text_position where;
    /// Whether the text is not JSON: then this is the document's only failure.
    bool syntax = false;

    friend bool operator==(const check_failure&, const check_failure&) = default;
};

/// Every failure of a document, up to the limit of `check_options::max_failures`.
struct check_result {
    /// The failures kept, in the order the reader meets them.
    std::vector<check_failure> failures;
    /// How many more there were beyond the limit.
    std::size_t more = 0;

    /// Whether the document converts.
    bool ok() const noexcept { return failures.empty() && more == 0; }
    explicit operator bool() const noexcept { return ok(); }

    /// Writes one line per failure, `FILE:LINE:COLUMN: POINTER: MESSAGE` (the form editors and
    /// build logs link; the pointer left out for text that is not JSON), then, if failures were
    /// left out, `FILE: N more failures` (without `FILE: ` when `file` is empty).
    SYLVANE_API void print(std::ostream& out, std::string_view file) const;
};

/// `FILE:LINE:COLUMN: POINTER: MESSAGE` of one failure; `LINE:COLUMN: ...` without a file. The
/// root's pointer is written "the root", as `located_error` says it.
SYLVANE_API std::string to_string(const check_failure& failure, std::string_view file = {});

/// `to_string(failure)`.
SYLVANE_API std::ostream& operator<<(std::ostream& out, const check_failure& failure);

}  // namespace Sylvane
