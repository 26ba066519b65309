#pragma once
/// Sylvane: run-time support for JSON converters of user-defined types. This header gives
/// everything: the tree, the converters and the conversion failure.

#include <sylvane/base/bytes.hpp>
#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/nullable_field.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/base/unit.hpp>
#include <sylvane/check.hpp>
#include <sylvane/derive/derive.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/locate.hpp>
#include <sylvane/json_tree/memory.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/schema.hpp>
#include <sylvane/streams.hpp>
#include <sylvane/treeform.hpp>
#include <sylvane/treeform_error.hpp>
#include <sylvane/write_value.hpp>
