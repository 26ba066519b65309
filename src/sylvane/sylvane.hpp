#pragma once
/// Sylvane: run-time support for JSON converters of user-defined types. This header gives
/// everything: the tree, the converters and the conversion failure.

#include <base/bytes.hpp>
#include <base/hashtbl.hpp>
#include <base/lazy.hpp>
#include <base/ref.hpp>
#include <base/unit.hpp>
#include <json_tree/arena_scope.hpp>
#include <json_tree/read.hpp>
#include <json_tree/write.hpp>
#include <json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/treeform_error.hpp>
#include <sylvane/derive/derive.hpp>
