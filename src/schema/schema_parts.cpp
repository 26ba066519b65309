// The small schemas that the schemas of types are made of.

#include <sylvane/schema/detail/schema_parts.hpp>

#include <cstdint>
#include <utility>

namespace Sylvane::derive::detail {

yojson type_schema(std::string_view type) {
    return yojson::Assoc({{"type", yojson::String(type)}});
}

yojson const_schema(std::string_view text) {
    return const_value_schema(yojson::String(text));
}

yojson const_value_schema(yojson value) {
    return yojson::Assoc({{"const", std::move(value)}});
}

yojson integer_schema(yojson minimum, yojson maximum) {
    return yojson::Assoc({{"type", yojson::String("integer")},
                          {"minimum", std::move(minimum)},
                          {"maximum", std::move(maximum)}});
}

yojson array_schema(yojson items, schema_members more) {
    schema_members members{{"type", yojson::String("array")}, {"items", std::move(items)}};
    for (auto& m : more) members.push_back(std::move(m));
    return yojson::Assoc(std::move(members));
}

yojson tuple_schema(std::vector<yojson> items) {
    const auto n = static_cast<std::int64_t>(items.size());
    return yojson::Assoc({{"type", yojson::String("array")},
                          {"prefixItems", yojson::List(std::move(items))},
                          {"minItems", yojson::Int(n)},
                          {"maxItems", yojson::Int(n)}});
}

yojson nullable_schema(yojson s) {
    return yojson::Assoc({{"anyOf", yojson::List({type_schema("null"), std::move(s)})}});
}

yojson with_member(const yojson& s, std::string_view key, yojson value) {
    schema_members members;
    for (const auto& [k, v] : s.as_assoc()) members.emplace_back(std::string(k), v);
    members.emplace_back(std::string(key), std::move(value));
    return yojson::Assoc(std::move(members));
}

yojson choice_schema(std::string_view kind, std::vector<yojson> alternatives) {
    if (alternatives.empty()) return yojson::Assoc({{"not", yojson::Assoc({})}});
    return yojson::Assoc({{std::string(kind), yojson::List(std::move(alternatives))}});
}

void object_schema::property(std::string_view key, yojson schema, bool required) {
    properties_.emplace_back(std::string(key), std::move(schema));
    if (required) required_.push_back(yojson::String(key));
}

void object_schema::member(std::string_view key, yojson value) {
    members_.emplace_back(std::string(key), std::move(value));
}

yojson object_schema::finish() && {
    schema_members out{{"type", yojson::String("object")}};
    if (!properties_.empty()) out.emplace_back("properties", yojson::Assoc(std::move(properties_)));
    if (!required_.empty()) out.emplace_back("required", yojson::List(std::move(required_)));
    for (auto& m : members_) out.push_back(std::move(m));
    return yojson::Assoc(std::move(out));
}

}  // namespace Sylvane::derive::detail
