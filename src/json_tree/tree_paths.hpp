#pragma once
// Walking a tree by index, and the one spelling of a key in a JSON Pointer; not part of the API.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// How many children `t` has: a list's items or an object's values; none for a scalar.
inline std::size_t child_count(const yojson& t) {
    switch (t.kind()) {
        case yojson_kind::List: return t.as_list().size();
        case yojson_kind::Assoc: return t.as_assoc().size();
        default: return 0;
    }
}

/// Child `i` of the container `t`.
inline const yojson& child(const yojson& t, std::size_t i) {
    return t.kind() == yojson_kind::List ? t.as_list()[i] : t.as_assoc()[i].second;
}

/// Appends `key` to `out` as a JSON Pointer token: '~' as "~0", '/' as "~1".
inline void append_pointer_token(std::string& out, std::string_view key) {
    for (std::size_t at; (at = key.find_first_of("~/")) != std::string_view::npos;
         key.remove_prefix(at + 1)) {
        out.append(key.substr(0, at)).append(key[at] == '~' ? "~0" : "~1");
    }
    out.append(key);
}

/// Appends to `out` the JSON Pointer tokens of `path` (indexes of items or entries) from `root`
/// down; returns the node at its end.
inline const yojson& append_path(std::string& out, const yojson& root,
                                 const std::vector<std::size_t>& path) {
    const yojson* node = &root;
    for (std::size_t i : path) {
        out += '/';
        if (node->kind() == yojson_kind::List) {
            out += std::to_string(i);
            node = &node->as_list()[i];
        } else {
            append_pointer_token(out, node->as_assoc()[i].first);
            node = &node->as_assoc()[i].second;
        }
    }
    return *node;
}

}  // namespace Sylvane::json_tree::detail
