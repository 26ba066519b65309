#pragma once
/// The JSON Schema (draft 2020-12) of a type, from its converters.
///
///     Sylvane::yojson s = Sylvane::json_schema<config>();
///     std::cout << Sylvane::write(s, {.pretty = true});
///
/// Records, enumerations and variants are defined once each under `$defs`, named after the
/// type's name in its macro ("_2", "_3"... for a second type of one name), and referred to by
/// `$ref`, so recursive types are described. The schema describes what the converters read:
/// which option gives what is listed in docs/schema.md, with the few rules no schema can say
/// (a repeated key, a float's rounding, an integer key's range).

#include <utility>

#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/schema/detail/record_schema.hpp>
#include <sylvane/schema/detail/schema_defs.hpp>
#include <sylvane/schema/detail/schema_of.hpp>
#include <sylvane/schema/detail/sum_schema.hpp>

namespace Sylvane {

/// The JSON Schema of `T`, whose converters read what it accepts. A type with hand-written
/// converters says its own schema (`schema/detail/schema_of.hpp` says how); one that does not
/// is a compile error naming it. Unknown keys of records that follow
/// `*Treeform::record_check_extra_fields` are refused or allowed as the flag is now.
template <class T>
yojson json_schema() {
    derive::detail::schema_defs defs;
    const yojson root = derive::detail::schema_of<T>(defs);
    return std::move(defs).document(root);
}

}  // namespace Sylvane
