#pragma once
// Elements of a long array read from text before their count is known; not part of the API.
//
// A vector grown one element at a time moves every element again at each doubling and takes a
// fresh block twice the size each time: for large elements (a variant of records, a kilobyte
// each) that costs more than reading them. Past its first few kilobytes, an array's elements
// are made in place in blocks that never move, reused from the thread's kept memory, and moved
// once into a vector of the exact size at the end. An array that is the whole text (a list of
// records) tells its count from the bytes that its first elements took: its vector is sized
// once and its elements made straight into it.

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>

namespace Sylvane::derive::detail {

/// A block of `bytes` for elements: one the thread keeps, or a new one.
SYLVANE_API void* take_element_block(std::size_t bytes);
/// Gives back a block from `take_element_block(bytes)`.
SYLVANE_API void give_element_block(void* block, std::size_t bytes) noexcept;

/// The bytes a vector of elements may take before the rest are staged in blocks: small
/// arrays, the usual case, are read straight into their vector.
inline constexpr std::size_t staging_after_bytes = std::size_t{16} << 10;

/// How many elements of `element_size` bytes an array that is the whole text holds in all, told
/// from the `n` read in its first `consumed` bytes and the `left` bytes of text after them, with
/// a margin: room for them all in one allocation. 0 where no estimate is safe: where the
/// elements take more than twice the array's text.
SYLVANE_API std::size_t expected_elements(std::size_t n, std::size_t consumed, std::size_t left,
                                          std::size_t element_size) noexcept;

/// Elements made in blocks of `bytes_per_block` bytes (one element in each when an element is
/// larger), in the order they were added.
template <class T>
class element_blocks {
public:
    element_blocks() = default;
    element_blocks(const element_blocks&) = delete;
    element_blocks& operator=(const element_blocks&) = delete;
    ~element_blocks() { clear(); }

    /// Makes the next element from `make()`, in place.
    template <class Make>
    void add(Make&& make) {
        if (in_last_ == per_block) new_block();
        T* slot = blocks_.back() + in_last_;
        ::new (static_cast<void*>(slot)) T(make());
        ++in_last_;
        ++size_;
    }

    std::size_t size() const noexcept { return size_; }

    /// Moves the elements to the end of `out`, with room made for all of them at once, and
    /// frees the blocks.
    void move_to(std::vector<T>& out) {
        out.reserve(out.size() + size_);
        for_each([&](T& e) { out.push_back(std::move(e)); });
        clear();
    }

private:
    static constexpr std::size_t bytes_per_block = std::size_t{64} << 10;
    static constexpr std::size_t per_block =
        sizeof(T) < bytes_per_block ? bytes_per_block / sizeof(T) : 1;
    static constexpr std::size_t block_bytes = per_block * sizeof(T);
    static_assert(alignof(T) <= alignof(std::max_align_t),
                  "element_blocks: over-aligned elements need an aligned block");

    void new_block() {
        // Room first, so that a block taken is never lost to a failed push.
        if (blocks_.size() == blocks_.capacity()) blocks_.reserve(2 * blocks_.size() + 8);
        blocks_.push_back(static_cast<T*>(take_element_block(block_bytes)));
        in_last_ = 0;
    }

    template <class F>
    void for_each(F f) {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            const std::size_t n = b + 1 == blocks_.size() ? in_last_ : per_block;
            for (std::size_t i = 0; i < n; ++i) f(blocks_[b][i]);
        }
    }

    void clear() noexcept {
        for_each([](T& e) { e.~T(); });
        for (T* block : blocks_) give_element_block(block, block_bytes);
        blocks_.clear();
        in_last_ = per_block;
        size_ = 0;
    }

    std::vector<T*> blocks_;
    std::size_t in_last_ = per_block;  // elements in the last block; full when there is none
    std::size_t size_ = 0;
};

}  // namespace Sylvane::derive::detail
