#pragma once
// The payloads of containers, the internal access to trees, and the accessors that need both.
// Included by yojson.hpp only, after the tree type is complete.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <string_view>

namespace Sylvane::json_tree {

namespace detail {

/// Payload of `List`: the elements follow the node in the same allocation (or arena). While a
/// tree is freed, the count word of a dying node, which nothing reads any more, links it to the
/// next.
struct list_node : payload_node {
    std::size_t size = 0;
    constexpr explicit list_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
    yojson* items() noexcept { return reinterpret_cast<yojson*>(this + 1); }
};

/// Payload of `Assoc`: the entries follow the node, and the keys' characters follow them. Its
/// count word links dying nodes as for `List`.
struct assoc_node : payload_node {
    std::size_t size = 0;
    constexpr explicit assoc_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
    yojson::entry* entries() noexcept { return reinterpret_cast<yojson::entry*>(this + 1); }
};

/// What the reader and the locator need beyond the public API.
struct tree_access {
    /// The shared payload of a tree, as its identity: null for scalars.
    static const void* payload(const yojson& t) noexcept {
        return t.is_heap() ? t.node() : nullptr;
    }
    static raw_tree raw(const yojson& t) noexcept { return {t.kind_, t.bits_}; }
    /// The bits of the scalar trees, as their factories make them, with no tree to destroy: in
    /// the reader's loop, the destructor of a temporary is a call.
    static raw_tree raw_null() noexcept { return {yojson_kind::Null, 0}; }
    static raw_tree raw_bool(bool b) noexcept {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &b, sizeof b);  // where the union keeps `bool_`
        return {yojson_kind::Bool, bits};
    }
    static raw_tree raw_int(std::int64_t n) noexcept {
        return {yojson_kind::Int, std::bit_cast<std::uint64_t>(n)};
    }
    static raw_tree raw_float(double d) noexcept {
        return {yojson_kind::Float, std::bit_cast<std::uint64_t>(d)};
    }
    /// A tree over `r` that holds a reference of its own.
    static yojson counted(raw_tree r) noexcept {
        yojson t(r);
        t.retain();
        return t;
    }
    /// The tree `r`, made at `where` without counting a reference: a link inside an arena.
    static yojson* place(void* where, raw_tree r) noexcept { return ::new (where) yojson(r); }
    /// Drops the counted reference that `r` stands for.
    static void drop(raw_tree r) noexcept { yojson counted(r); }
    /// The bits of a tree over `node`, which no reference is counted for.
    // Each sets the pointer in a Null tree, so dropping that tree releases nothing.
    static raw_tree raw_of(yojson_kind k, string_node* node) noexcept {
        yojson t;
        t.string_ = node;
        return {k, t.bits_};
    }
    static raw_tree raw_of(list_node* node) noexcept {
        yojson t;
        t.list_ = node;
        return {yojson_kind::List, t.bits_};
    }
    static raw_tree raw_of(assoc_node* node) noexcept {
        yojson t;
        t.assoc_ = node;
        return {yojson_kind::Assoc, t.bits_};
    }
    /// The entry of `key` and the tree `r`, made at `where` likewise.
    static void place_entry(void* where, std::string_view key, raw_tree r) noexcept {
        ::new (where) yojson::entry{key, yojson(r)};
    }
};

static_assert(alignof(yojson) <= alignof(list_node) && sizeof(list_node) % alignof(yojson) == 0);
static_assert(alignof(yojson::entry) <= alignof(assoc_node) &&
              sizeof(assoc_node) % alignof(yojson::entry) == 0);

}  // namespace detail

inline detail::payload_node* yojson::node() const noexcept {
    switch (kind_) {
        case yojson_kind::List: return list_;
        case yojson_kind::Assoc: return assoc_;
        default: return string_;
    }
}

inline std::span<const yojson> yojson::as_list() const {
    check(yojson_kind::List);
    return {list_->items(), list_->size};
}

inline std::span<const yojson::entry> yojson::as_assoc() const {
    check(yojson_kind::Assoc);
    return {assoc_->entries(), assoc_->size};
}

}  // namespace Sylvane::json_tree
