// The definitions of a schema and the document that holds them.

#include <sylvane/schema/detail/schema_defs.hpp>

#include <algorithm>
#include <string>

#include "../json_tree/tree_paths.hpp"

namespace Sylvane::derive::detail {

yojson schema_defs::ref(const void* id, std::string_view name, bool& fresh) {
    auto known =
        std::find_if(defs_.begin(), defs_.end(), [&](const definition& d) { return d.id == id; });
    fresh = known == defs_.end();
    if (fresh) {
        std::string unique(name);
        for (std::size_t n = 2; std::any_of(defs_.begin(), defs_.end(),
                                            [&](const definition& d) { return d.name == unique; });
             ++n) {
            unique = std::string(name) + '_' + std::to_string(n);
        }
        defs_.push_back({id, std::move(unique), yojson()});
        known = defs_.end() - 1;
    }
    std::string target = "#/$defs/";
    json_tree::detail::append_pointer_token(target, known->name);
    return yojson::Assoc({{"$ref", yojson::String(std::move(target))}});
}

void schema_defs::define(const void* id, yojson schema) {
    for (definition& d : defs_) {
        if (d.id == id) d.schema = std::move(schema);
    }
}

yojson schema_defs::document(const yojson& root) && {
    std::vector<std::pair<std::string, yojson>> members;
    members.emplace_back("$schema", yojson::String("https://json-schema.org/draft/2020-12/schema"));
    for (const auto& [key, value] : root.as_assoc()) members.emplace_back(std::string(key), value);
    if (!defs_.empty()) {
        std::vector<std::pair<std::string, yojson>> defs;
        defs.reserve(defs_.size());
        for (definition& d : defs_) defs.emplace_back(std::move(d.name), std::move(d.schema));
        members.emplace_back("$defs", yojson::Assoc(std::move(defs)));
    }
    return yojson::Assoc(std::move(members));
}

}  // namespace Sylvane::derive::detail
