#pragma once
/// The unit `Treeform`: converters between values and trees in both directions, and the
/// conversion failure. Members are declared in this order: converters to the tree, the
/// failure and the flag, converters from the tree, and last `Standard_types`.

// The order of these headers is the order of the members.
// clang-format off
#include <sylvane/treeform/scalars_to_tree.hpp>
#include <sylvane/treeform/containers_to_tree.hpp>
#include <sylvane/treeform/opaque_to_tree.hpp>
#include <sylvane/treeform/failure.hpp>
#include <sylvane/treeform/scalars_of_tree.hpp>
#include <sylvane/treeform/containers_of_tree.hpp>
#include <sylvane/treeform/opaque_of_tree.hpp>
#include <sylvane/treeform/standard_types.hpp>
// clang-format on
