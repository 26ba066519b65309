#pragma once
/// Where a conversion failure sits inside the tree that was converted.

#include <optional>
#include <string>

#include <json_tree/yojson.hpp>
#include <sylvane/export.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane {

/// The JSON Pointer (RFC 6901) of the tree object at `address` inside `root`: "" for the root
/// itself, "/orders/3/qty" for a nested one; nothing if no node of `root` is at that address.
/// The address is compared, never dereferenced. Where `root` holds one shared payload at
/// several places, the first place in document order is given. Runs in time linear in the
/// size of `root` and in constant stack space.
SYLVANE_API std::optional<std::string> locate(const yojson& root, const yojson* address);

/// Where `failure`'s tree sits inside `root`, the tree handed to the conversion that raised it.
/// Nothing is recorded while converting: the failure holds only the address of the tree its
/// raising operation was handed, and the search happens here, on demand.
///
///     try { auto o = Sylvane::of_yojson<order>(root); }
///     catch (const Sylvane::Treeform::Of_yojson_error& e) {
///         std::cerr << Sylvane::locate(root, e).value_or("?") << ": " << e.message() << '\n';
///     }
inline std::optional<std::string> locate(const yojson& root,
                                         const Treeform::Of_yojson_error& failure) {
    return locate(root, failure.tree_address());
}

}  // namespace Sylvane
