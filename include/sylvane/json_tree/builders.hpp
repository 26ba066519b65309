#pragma once
/// Building `List` and `Assoc` trees in place, without a vector in between.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

/// Builds a `List` in place: one allocation with room for `capacity` elements, each made where
/// it stays (under an `arena_scope`, in its arena; use the builder on that thread). Dropping an
/// unfinished builder drops the elements made so far. A capacity that cannot be allocated
/// throws `std::length_error` or `std::bad_alloc`; a finished builder is empty and throws
/// `std::logic_error` when used again.
///
///     list_builder b(xs.size());
///     for (auto x : xs) b.emplace([&] { return yojson::Int(x); });
///     yojson t = std::move(b).finish();
class SYLVANE_API list_builder {
public:
    explicit list_builder(std::size_t capacity);
    list_builder(const list_builder&) = delete;
    list_builder& operator=(const list_builder&) = delete;
    ~list_builder();

    /// Appends `t`. Throws `std::length_error` when the list is full.
    void push_back(yojson&& t) {
        yojson* s = ::new (static_cast<void*>(slot())) yojson(std::move(t));
        if (arena_ != nullptr) link(*s);
        ++node_->size;
    }
    /// Appends the tree that `make()` returns, made in its slot. If `make` throws, nothing is
    /// appended.
    template <class Make>
    void emplace(Make&& make) {
        yojson* s = ::new (static_cast<void*>(slot())) yojson(std::forward<Make>(make)());
        if (arena_ != nullptr) link(*s);
        ++node_->size;
    }
    std::size_t size() const noexcept { return node_->size; }
    /// Reverses the order of the elements appended so far.
    void reverse() noexcept { std::reverse(node_->items(), node_->items() + node_->size); }
    /// The `List` of the elements appended; the builder is empty afterwards.
    yojson finish() &&;

private:
    yojson* slot() {
        if (node_->size == capacity_) full();
        return node_->items() + node_->size;
    }
    [[noreturn]] void full() const;
    void link(yojson& child);
    void move_to_heap();

    detail::list_node* node_;
    std::size_t capacity_;
    detail::arena_count* arena_ = nullptr;  // the arena the node is in, held until `finish`
};

/// Builds an `Assoc` in place: one allocation with room for `capacity` entries whose keys take
/// at most `key_bytes` bytes in all (under an `arena_scope`, in its arena; use the builder on
/// that thread). Dropping an unfinished builder drops the entries so far. Sizes that cannot be
/// allocated and use after `finish` are refused as by `list_builder`.
class SYLVANE_API assoc_builder {
public:
    assoc_builder(std::size_t capacity, std::size_t key_bytes);
    assoc_builder(const assoc_builder&) = delete;
    assoc_builder& operator=(const assoc_builder&) = delete;
    ~assoc_builder();

    /// Appends `key` (copied) and `value`. Throws `std::length_error` when there is no room.
    void push_back(std::string_view key, yojson&& value) {
        emplace(key, [&]() noexcept { return std::move(value); });
    }
    /// Appends `key` and the tree that `make()` returns, made in its slot. If `make` throws,
    /// nothing is appended.
    template <class Make>
    void emplace(std::string_view key, Make&& make) {
        yojson::entry* e = slot(key.size());
        // The key's bytes are written first but kept only once the value is made.
        if (!key.empty()) std::memcpy(keys_next_, key.data(), key.size());
        ::new (static_cast<void*>(e))
            yojson::entry{std::string_view(keys_next_, key.size()), std::forward<Make>(make)()};
        if (arena_ != nullptr) link(e->second);
        keys_next_ += key.size();
        ++node_->size;
    }
    std::size_t size() const noexcept { return node_->size; }
    /// The `Assoc` of the entries appended; the builder is empty afterwards.
    yojson finish() &&;

private:
    yojson::entry* slot(std::size_t key_size) {
        if (node_->size == capacity_ || key_size > static_cast<std::size_t>(keys_end_ - keys_next_))
            full();
        return node_->entries() + node_->size;
    }
    [[noreturn]] void full() const;
    void link(yojson& child);
    void move_to_heap();

    detail::assoc_node* node_;
    std::size_t capacity_;
    char* keys_next_;
    char* keys_end_;
    detail::arena_count* arena_ = nullptr;  // the arena the node is in, held until `finish`
};

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::assoc_builder;
using json_tree::list_builder;
}  // namespace Sylvane
