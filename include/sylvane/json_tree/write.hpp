#pragma once
/// Writing a `yojson` tree as JSON text.

#include <iosfwd>
#include <stdexcept>
#include <string>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

/// How `write` lays out its text.
struct write_options {
    /// Compact (no white space) unless set; then one element per line, indented by `indent`
    /// spaces per level, and ": " after keys: the text grows with depth times indent.
    bool pretty = false;
    unsigned indent = 2;
    /// Writes a NaN or infinite `Float` as `NaN`, `Infinity` or `-Infinity`, which only a reader
    /// with `read_options::allow_nan_infinity` accepts. Without it such a tree is an error.
    bool allow_nan_infinity = false;
    /// Refuses a `String` or key whose bytes are not UTF-8 instead of writing them as they are.
    bool check_utf8 = false;
};

/// Thrown by `write` for a tree that has no JSON text under the options: a NaN or infinite
/// `Float`, an `Intlit` whose text is not a JSON integer, or (with `check_utf8`) a string that
/// is not UTF-8. A stream may have received the text before the offending value.
class SYLVANE_API write_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    write_error(const write_error&) noexcept = default;
    write_error& operator=(const write_error&) noexcept = default;
    ~write_error() override;
};

/// The JSON text of `tree`, which `read` turns back into an equal tree.
///
/// A `Float` is written with the shortest digits that read back to the same double, always with
/// a fraction or an exponent (`1.0`, `1e+100`) so that it reads back as `Float`; an `Intlit`
/// verbatim; strings with '"', '\\' and control bytes escaped and every other byte as it is.
///
///     write(yojson::List({yojson::Int(1), yojson::Float(2)}));  // "[1,2.0]"
SYLVANE_API std::string write(const yojson& tree, const write_options& options = {});
/// Writes the text of `tree` to `out` in pieces, without building it whole first.
SYLVANE_API void write(std::ostream& out, const yojson& tree, const write_options& options = {});

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::write;
using json_tree::write_error;
using json_tree::write_options;
}  // namespace Sylvane
