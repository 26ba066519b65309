#pragma once
/// Where a conversion failure sits inside the tree that was converted.

#include <optional>
#include <string>

#include <sylvane/json_tree/locate.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane {

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
