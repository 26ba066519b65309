// Building containers in place, on the heap or in the thread's arena.

#include <sylvane/json_tree/builders.hpp>

#include "arena.hpp"

#include <limits>
#include <stdexcept>
#include <utility>

namespace Sylvane::json_tree {

namespace {
/// Holds `a` once more, for a builder whose node is in it.
detail::arena* hold(detail::arena* a) noexcept {
    detail::arena::take(a);
    return a;
}

void check_room(std::size_t capacity, std::size_t header, std::size_t element, std::size_t extra) {
    if (capacity > (std::numeric_limits<std::size_t>::max() - header - extra) / element)
        throw std::length_error("yojson: too many elements");
}
}  // namespace

list_builder::list_builder(std::size_t capacity) : capacity_(capacity) {
    check_room(capacity, sizeof(detail::list_node), sizeof(yojson), 0);
    if (detail::arena* a = detail::arena::current()) {
        node_ = a->list(capacity);
        arena_ = hold(a);
    } else {
        node_ = ::new (::operator new(sizeof(detail::list_node) + capacity * sizeof(yojson)))
            detail::list_node(detail::payload_node::one_ref);
    }
}

namespace {
/// Drops what an unfinished builder made: in an arena, the elements are links or kept
/// references that the arena frees with it; on the heap, they and the node go now.
template <class Node, class Element>
void drop_unfinished(Node* node, Element* elements, detail::arena_count* arena) noexcept {
    if (node == nullptr) return;
    if (arena != nullptr) {
        detail::arena::give(static_cast<detail::arena*>(arena));
        return;
    }
    std::destroy_n(elements, node->size);
    ::operator delete(node);
}
}  // namespace

list_builder::~list_builder() {
    drop_unfinished(node_, node_ ? node_->items() : nullptr, arena_);
}

void list_builder::full() {
    throw std::length_error("list_builder: more elements than its capacity");
}

namespace {
/// Links `child`, just made in a container of `a`; if that fails, drops it, so that the
/// container is as it was before.
void link_or_drop(detail::arena_count* a, yojson& child) {
    try {
        static_cast<detail::arena*>(a)->link(child);
    } catch (...) {
        child.~yojson();
        throw;
    }
}
}  // namespace

void list_builder::link(yojson& child) {
    link_or_drop(arena_, child);
}

yojson list_builder::finish() && {
    yojson t;  // takes over the builder's reference: to the node, or to its arena
    t.list_ = std::exchange(node_, nullptr);
    t.kind_ = yojson_kind::List;
    return t;
}

assoc_builder::assoc_builder(std::size_t capacity, std::size_t key_bytes) : capacity_(capacity) {
    check_room(capacity, sizeof(detail::assoc_node), sizeof(yojson::entry), key_bytes);
    if (detail::arena* a = detail::arena::current()) {
        node_ = a->assoc(capacity, key_bytes);
        arena_ = hold(a);
    } else {
        node_ =
            ::new (::operator new(sizeof(detail::assoc_node) + capacity * sizeof(yojson::entry) +
                                  key_bytes)) detail::assoc_node(detail::payload_node::one_ref);
    }
    keys_next_ = reinterpret_cast<char*>(node_->entries() + capacity);
    keys_end_ = keys_next_ + key_bytes;
}

assoc_builder::~assoc_builder() {
    drop_unfinished(node_, node_ ? node_->entries() : nullptr, arena_);
}

void assoc_builder::full() {
    throw std::length_error("assoc_builder: more entries or key bytes than its capacity");
}

void assoc_builder::link(yojson& child) {
    link_or_drop(arena_, child);
}

yojson assoc_builder::finish() && {
    yojson t;
    t.assoc_ = std::exchange(node_, nullptr);
    t.kind_ = yojson_kind::Assoc;
    return t;
}

}  // namespace Sylvane::json_tree
