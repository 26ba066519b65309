#pragma once
/// The `$defs` of a schema being made: one definition per record, enumeration and variant,
/// named after the type's name in its macro, and referred to by `$ref`, so that a recursive
/// type refers to itself and a type used many times is defined once.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::derive::detail {

/// Names one type by an address of its own: `&schema_id<Desc>`.
template <class Desc>
inline constexpr char schema_id = 0;

class SYLVANE_API schema_defs {
public:
    /// `{"$ref": "#/$defs/NAME"}` for the type known by `id`. The first time, the name is
    /// chosen (the type's `name`, with "_2", "_3"... when another type took it) and `fresh` is
    /// set: the caller then gives the definition to `define`.
    yojson ref(const void* id, std::string_view name, bool& fresh);
    /// The definition of the type known by `id`, which `ref` has named.
    void define(const void* id, yojson schema);
    /// The whole schema: the `$schema` dialect (draft 2020-12), the members of `root`, and the
    /// definitions.
    yojson document(const yojson& root) &&;

private:
    struct definition {
        const void* id;
        std::string name;
        yojson schema;
    };
    std::vector<definition> defs_;  // in the order they were first referred to
};

}  // namespace Sylvane::derive::detail
