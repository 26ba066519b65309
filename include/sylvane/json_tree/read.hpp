#pragma once
/// Reading JSON text into a `yojson` tree.

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/locator.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

/// What the reader accepts beyond RFC 8259; everything is off by default.
struct read_options {
    /// Containers may nest this deep; one more level is an error. Bounds the reader's memory
    /// per level, never its stack: the reader does not recurse. The derived converters, which
    /// do, bound their own nesting whatever this says (derive/detail/nesting.hpp).
    std::size_t max_depth = 512;
    /// `// line` and `/* block */` comments wherever white space may stand.
    bool allow_comments = false;
    /// One comma after the last element of an array or object: `[1, 2,]`.
    bool allow_trailing_commas = false;
    /// The literals `NaN`, `Infinity` and `-Infinity`, read as `Float`.
    bool allow_nan_infinity = false;
    /// Strings may hold bytes that are not UTF-8; they are kept as they are. This reads back
    /// what `write` makes of a `String` whose bytes are not UTF-8.
    bool allow_invalid_utf8 = false;
};

/// Reads one JSON value from `text`, with optional white space around it.
///
/// Objects become `Assoc` with their keys in text order, duplicates kept. An integer without
/// fraction or exponent becomes `Int` if it fits `std::int64_t`, otherwise `Intlit` with its exact
/// text; any other number becomes `Float`, correctly rounded (a magnitude beyond the largest
/// double is an error, one below the smallest becomes 0). Throws `parse_error` on bad input.
///
///     yojson t = read(R"({"id": 7, "tags": ["a", "b"]})");
///     t.as_assoc()[0].second.as_int();  // 7
SYLVANE_API yojson read(std::string_view text, const read_options& options = {});
/// Reads the rest of `in` as one JSON text; positions in errors count from where `in` stood.
SYLVANE_API yojson read(std::istream& in, const read_options& options = {});
/// Reads the file at `path`; throws `std::system_error` if it cannot be read.
SYLVANE_API yojson read_file(const std::filesystem::path& path, const read_options& options = {});

/// A tree and the positions of its nodes in the text it was read from.
struct positioned {
    yojson tree;
    locator positions;
};

/// Like `read`, and records where every node starts; `read` pays nothing for this.
SYLVANE_API positioned read_with_positions(std::string_view text, const read_options& options = {});

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::locator;
using json_tree::parse_errc;
using json_tree::parse_error;
using json_tree::positioned;
using json_tree::read;
using json_tree::read_file;
using json_tree::read_options;
using json_tree::read_with_positions;
using json_tree::text_position;
}  // namespace Sylvane
