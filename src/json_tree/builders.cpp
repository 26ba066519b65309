// Building containers in place, on the heap or in the thread's arena.

#include <sylvane/json_tree/builders.hpp>

#include "arena.hpp"

#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <utility>

namespace Sylvane::json_tree {

namespace {
/// Holds `a` once more, for a builder whose node is in it.
detail::arena* hold(detail::arena* a) noexcept {
    detail::arena::take(a);
    return a;
}

/// The size of a node of `capacity` elements and `extra` more bytes, refused when no
/// allocation could hold it, so that no size computed from it wraps around.
std::size_t node_bytes(std::size_t capacity, std::size_t header, std::size_t element,
                       std::size_t extra) {
    constexpr auto max = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (extra > max - header || capacity > (max - header - extra) / element)
        throw std::length_error("yojson: too many elements");
    return header + capacity * element + extra;
}

// What a finished builder points to: empty and full, so that any use of it reaches `full`.
constinit detail::list_node finished_list{detail::immortal_refs};
constinit detail::assoc_node finished_assoc{detail::immortal_refs};

/// Drops what an unfinished builder made: in an arena, the elements are links that the arena
/// frees with it; on the heap, they and the node go now.
template <class Node, class Element>
void drop_unfinished(Node* node, Element* elements, detail::arena_count* arena) noexcept {
    if (arena != nullptr) {
        detail::arena::give(static_cast<detail::arena*>(arena));
        return;
    }
    std::destroy_n(elements, node->size);
    ::operator delete(node);
}

/// Counts a reference for each of the `n` trees at `trees` that is a node of `a`: they are
/// links in a node of `a` and are about to move to the heap.
template <class Get>
void count_links(detail::arena* a, std::size_t n, Get tree) noexcept {
    std::size_t links = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (const void* p = detail::tree_access::payload(tree(i)))
            if (static_cast<const detail::payload_node*>(p)->arena() == a) ++links;
    if (links != 0) detail::arena::take(a, links);
}
}  // namespace

list_builder::list_builder(std::size_t capacity) : capacity_(capacity) {
    const std::size_t bytes = node_bytes(capacity, sizeof(detail::list_node), sizeof(yojson), 0);
    if (detail::arena* a = detail::arena::current()) {
        node_ = a->list(capacity);
        arena_ = hold(a);
    } else {
        node_ = ::new (::operator new(bytes)) detail::list_node(detail::payload_node::one_ref);
    }
}

list_builder::~list_builder() {
    if (node_ != &finished_list) drop_unfinished(node_, node_->items(), arena_);
}

void list_builder::full() const {
    if (node_ == &finished_list) throw std::logic_error("list_builder: used after finish");
    throw std::length_error("list_builder: more elements than its capacity");
}

// An arena's container holds only the arena's own nodes (see yojson.hpp). When another node
// comes, the container moves to the heap, where every reference it holds is counted, so that
// dropping it lets go of them whatever arena it was begun in.
void list_builder::move_to_heap() {
    auto* a = static_cast<detail::arena*>(arena_);
    void* memory = ::operator new(sizeof(detail::list_node) + capacity_ * sizeof(yojson));
    auto* heap = ::new (memory) detail::list_node(detail::payload_node::one_ref);
    // The elements so far and the one just placed, whose reference is counted already.
    const std::size_t n = node_->size;
    yojson* from = node_->items();
    count_links(a, n, [from](std::size_t i) -> const yojson& { return from[i]; });
    for (std::size_t i = 0; i <= n; ++i)
        detail::tree_access::place(heap->items() + i, detail::tree_access::raw(from[i]));
    heap->size = n;
    node_ = heap;
    arena_ = nullptr;
    detail::arena::give(a);  // the builder's hold; the elements hold it now, if any is in it
}

namespace {
/// If `child`, just placed in a container of `a`, may stay in it, links it; otherwise calls
/// `to_heap`. If that fails, drops `child`, so that the container is as it was before.
template <class ToHeap>
void link_or_drop(detail::arena_count* a, yojson& child, ToHeap to_heap) {
    if (static_cast<detail::arena*>(a)->link(child)) return;
    try {
        to_heap();
    } catch (...) {
        child.~yojson();
        throw;
    }
}
}  // namespace

void list_builder::link(yojson& child) {
    link_or_drop(arena_, child, [this] { move_to_heap(); });
}

yojson list_builder::finish() && {
    if (node_ == &finished_list) full();
    yojson t;  // takes over the builder's reference: to the node, or to its arena
    t.list_ = std::exchange(node_, &finished_list);
    t.kind_ = yojson_kind::List;
    capacity_ = 0;
    arena_ = nullptr;
    return t;
}

assoc_builder::assoc_builder(std::size_t capacity, std::size_t key_bytes) : capacity_(capacity) {
    const std::size_t bytes =
        node_bytes(capacity, sizeof(detail::assoc_node), sizeof(yojson::entry), key_bytes);
    if (detail::arena* a = detail::arena::current()) {
        node_ = a->assoc(capacity, key_bytes);
        arena_ = hold(a);
    } else {
        node_ = ::new (::operator new(bytes)) detail::assoc_node(detail::payload_node::one_ref);
    }
    keys_next_ = reinterpret_cast<char*>(node_->entries() + capacity);
    keys_end_ = keys_next_ + key_bytes;
}

assoc_builder::~assoc_builder() {
    if (node_ != &finished_assoc) drop_unfinished(node_, node_->entries(), arena_);
}

void assoc_builder::full() const {
    if (node_ == &finished_assoc) throw std::logic_error("assoc_builder: used after finish");
    throw std::length_error("assoc_builder: more entries or key bytes than its capacity");
}

void assoc_builder::move_to_heap() {
    auto* a = static_cast<detail::arena*>(arena_);
    char* keys = reinterpret_cast<char*>(node_->entries() + capacity_);
    const auto key_bytes = static_cast<std::size_t>(keys_end_ - keys);
    void* memory =
        ::operator new(sizeof(detail::assoc_node) + capacity_ * sizeof(yojson::entry) + key_bytes);
    auto* heap = ::new (memory) detail::assoc_node(detail::payload_node::one_ref);
    char* heap_keys = reinterpret_cast<char*>(heap->entries() + capacity_);
    // The entries so far and the one just placed, whose key ends the keys written.
    const std::size_t n = node_->size;
    yojson::entry* from = node_->entries();
    const std::string_view last_key = from[n].first;
    const auto used = static_cast<std::size_t>(last_key.data() + last_key.size() - keys);
    if (used != 0) std::memcpy(heap_keys, keys, used);
    count_links(a, n, [from](std::size_t i) -> const yojson& { return from[i].second; });
    for (std::size_t i = 0; i <= n; ++i) {
        const std::string_view k = from[i].first;
        detail::tree_access::place_entry(heap->entries() + i,
                                         std::string_view(heap_keys + (k.data() - keys), k.size()),
                                         detail::tree_access::raw(from[i].second));
    }
    heap->size = n;
    node_ = heap;
    keys_next_ = heap_keys + (keys_next_ - keys);
    keys_end_ = heap_keys + key_bytes;
    arena_ = nullptr;
    detail::arena::give(a);
}

void assoc_builder::link(yojson& child) {
    link_or_drop(arena_, child, [this] { move_to_heap(); });
}

yojson assoc_builder::finish() && {
    if (node_ == &finished_assoc) full();
    yojson t;
    t.assoc_ = std::exchange(node_, &finished_assoc);
    t.kind_ = yojson_kind::Assoc;
    capacity_ = 0;
    keys_next_ = keys_end_ = nullptr;
    arena_ = nullptr;
    return t;
}

}  // namespace Sylvane::json_tree
