#pragma once
/// `Treeform::Standard_types`: the converters of the sixteen standard types, the very same
/// objects as the members of `Treeform` of the same names. It offers nothing for pairs,
/// triples, opaque values or functions, and not the conversion failure.

#include <sylvane/treeform/containers_of_tree.hpp>
#include <sylvane/treeform/containers_to_tree.hpp>
#include <sylvane/treeform/scalars_of_tree.hpp>
#include <sylvane/treeform/scalars_to_tree.hpp>

namespace Sylvane::Treeform::Standard_types {

using Treeform::yojson_of_unit;
using Treeform::yojson_of_bool;
using Treeform::yojson_of_string;
using Treeform::yojson_of_bytes;
using Treeform::yojson_of_char;
using Treeform::yojson_of_int;
using Treeform::yojson_of_float;
using Treeform::yojson_of_int32;
using Treeform::yojson_of_int64;
using Treeform::yojson_of_nativeint;
using Treeform::yojson_of_ref;
using Treeform::yojson_of_lazy_t;
using Treeform::yojson_of_option;
using Treeform::yojson_of_list;
using Treeform::yojson_of_array;
using Treeform::yojson_of_hashtbl;

using Treeform::unit_of_yojson;
using Treeform::bool_of_yojson;
using Treeform::string_of_yojson;
using Treeform::bytes_of_yojson;
using Treeform::char_of_yojson;
using Treeform::int_of_yojson;
using Treeform::float_of_yojson;
using Treeform::int32_of_yojson;
using Treeform::int64_of_yojson;
using Treeform::nativeint_of_yojson;
using Treeform::ref_of_yojson;
using Treeform::lazy_t_of_yojson;
using Treeform::option_of_yojson;
using Treeform::list_of_yojson;
using Treeform::array_of_yojson;
using Treeform::hashtbl_of_yojson;

}  // namespace Sylvane::Treeform::Standard_types
