#pragma once
/// The failure of an enumeration or a variant that met a tag it does not list: the library's
/// failure unchanged (message, tree, `what()`), with the tags the type allows, which
/// `located_error` shows after the place of the failure.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane::derive {

/// A conversion failure "unexpected variant constructor" with the tags allowed.
class SYLVANE_API unknown_tag_error : public Treeform::Of_yojson_error {
public:
    unknown_tag_error(const Treeform::Of_yojson_error& failure, const std::string& allowed);
    unknown_tag_error(const unknown_tag_error&) noexcept = default;
    unknown_tag_error& operator=(const unknown_tag_error&) noexcept = default;
    ~unknown_tag_error() override;

    /// The tags allowed, in listing order, as JSON text: `"push", "pull"` or `1, 2`.
    std::string_view allowed() const noexcept { return allowed_.what(); }

private:
    std::runtime_error allowed_;  // its copy cannot throw
};

namespace detail {

/// The tags of a sum type: strings, or integer codes when `codes` is not empty.
struct tag_list {
    std::span<const std::string_view> names;
    std::span<const std::int64_t> codes;
};

/// Reports `tree`, whose tag is missing or none of `tags`, as `unexpected_stag` does, with the
/// tags allowed.
[[noreturn]] SYLVANE_API void unknown_tag(std::string_view type_name, tag_list tags,
                                          const yojson& tree);

}  // namespace detail

}  // namespace Sylvane::derive
