#pragma once
/// Where a node sits inside a tree, as a JSON Pointer.

#include <optional>
#include <string>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

/// The JSON Pointer (RFC 6901) of the tree object at `address` inside `root`: "" for the root
/// itself, "/orders/3/qty" for a nested one; nothing if no node of `root` is at that address.
/// The address is compared, never dereferenced. Where `root` holds one shared payload at
/// several places, the first place in document order is given. Runs in time linear in the
/// size of `root` and in constant stack space.
SYLVANE_API std::optional<std::string> locate(const yojson& root, const yojson* address);

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::locate;
}  // namespace Sylvane
