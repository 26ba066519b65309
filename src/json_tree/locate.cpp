// Finding a node of a tree by its address, and spelling its place as a JSON Pointer.

#include <sylvane/json_tree/locate.hpp>

#include "tree_paths.hpp"

#include <cstddef>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Sylvane::json_tree {

namespace {

struct frame {
    const yojson* node;  // a List or an Assoc
    std::size_t next;    // the child to visit next
};

using detail::child;
using detail::child_count;

/// The payload of a container tree, shared by all its copies.
const void* payload(const yojson& t) {
    return t.kind() == yojson_kind::List ? static_cast<const void*>(t.as_list().data())
                                         : static_cast<const void*>(t.as_assoc().data());
}

bool is_container(const yojson& t) {
    return t.kind() == yojson_kind::List || t.kind() == yojson_kind::Assoc;
}

std::string pointer_of(const std::vector<frame>& path) {
    std::string out;
    for (const frame& f : path) {
        const std::size_t i = f.next - 1;  // the child being visited
        out += '/';
        if (f.node->kind() == yojson_kind::List) {
            out += std::to_string(i);
        } else {
            detail::append_pointer_token(out, f.node->as_assoc()[i].first);
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> locate(const yojson& root, const yojson* address) {
    if (address == nullptr) return std::nullopt;
    if (&root == address) return std::string();
    if (!is_container(root)) return std::nullopt;
    // Depth-first, children in order, so the first place found is the first in the document.
    // A payload already searched holds no match, wherever else it appears.
    std::unordered_set<const void*> searched;
    std::vector<frame> path{{&root, 0}};
    searched.insert(payload(root));
    while (!path.empty()) {
        frame& top = path.back();
        if (top.next == child_count(*top.node)) {
            path.pop_back();
            continue;
        }
        const yojson& c = child(*top.node, top.next++);
        if (&c == address) return pointer_of(path);
        if (is_container(c) && child_count(c) != 0 && searched.insert(payload(c)).second) {
            path.push_back({&c, 0});
        }
    }
    return std::nullopt;
}

}  // namespace Sylvane::json_tree
