#pragma once
/// The small schemas that the schemas of types are made of.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::derive::detail {

/// The members of a schema object, in order.
using schema_members = std::vector<std::pair<std::string, yojson>>;

/// `{"type": TYPE}`.
SYLVANE_API yojson type_schema(std::string_view type);
/// `{"const": TEXT}`.
SYLVANE_API yojson const_schema(std::string_view text);
/// `{"const": VALUE}`: a tag, a string or an integer code.
SYLVANE_API yojson const_value_schema(yojson value);
/// `{"type": "integer", "minimum": MIN, "maximum": MAX}`.
SYLVANE_API yojson integer_schema(yojson minimum, yojson maximum);
/// `{"type": "array", "items": ITEMS}` with `more` members after.
SYLVANE_API yojson array_schema(yojson items, schema_members more = {});
/// `{"type": "array", "prefixItems": [ITEMS...], "minItems": N, "maxItems": N}`: exactly these.
SYLVANE_API yojson tuple_schema(std::vector<yojson> items);
/// `{"anyOf": [{"type": "null"}, S]}`: `null` or what `s` accepts.
SYLVANE_API yojson nullable_schema(yojson s);
/// `s`, an object, with `key: value` added last.
SYLVANE_API yojson with_member(const yojson& s, std::string_view key, yojson value);
/// `{KIND: [ALTERNATIVES...]}`, KIND being "oneOf" or "anyOf"; with no alternative, the schema
/// that accepts nothing.
SYLVANE_API yojson choice_schema(std::string_view kind, std::vector<yojson> alternatives);

/// An object schema made member by member: `{"type": "object", "properties": {...},
/// "required": [...]}` and what else is added.
class SYLVANE_API object_schema {
public:
    /// The property `key`, `required` or not.
    void property(std::string_view key, yojson schema, bool required);
    /// Another member of the object schema itself ("additionalProperties", "not", ...).
    void member(std::string_view key, yojson value);
    yojson finish() &&;

private:
    schema_members properties_;
    std::vector<yojson> required_;
    schema_members members_;
};

}  // namespace Sylvane::derive::detail
