#pragma once
// The reader's stacks and scratch text, kept per thread between reads.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include <sylvane/json_tree/memory.hpp>
#include "block_cache.hpp"

namespace Sylvane::json_tree::detail {

/// The largest buffer that a thread keeps for its next read beside its kept large blocks: a
/// larger one goes back with them (`block_cache.hpp`).
inline constexpr std::size_t kept_buffer_bytes = std::size_t{64} << 10;

/// A stack of trivially copyable items whose push is inline and whose growth is not: the
/// reader pushes every value of the text. Its storage is taken from, and given back to, one
/// spare buffer per thread and item type, so that reading many small documents allocates no
/// stacks; a buffer larger than `kept_buffer_bytes` goes back to the thread's kept blocks, and
/// the next stack that outgrows the spare grows at once to that size, taking that block again.
template <class T>
class flat_stack {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    flat_stack() noexcept {
        spare_buffer& kept = spare();
        if (kept.data != nullptr) unkeep(kept.capacity * sizeof(T));
        data_ = std::exchange(kept.data, nullptr);
        capacity_ = std::exchange(kept.capacity, 0);
    }
    ~flat_stack() {
        const std::size_t bytes = capacity_ * sizeof(T);
        if (bytes > kept_buffer_bytes) {
            // The next large read grows at once to this size only if the block can be kept.
            spare().grown = bytes <= cached_memory_limit() ? capacity_ : 0;
            give_block(data_, bytes);
        } else if (data_ != nullptr) {
            keep_or_free(data_, capacity_);
        }
    }
    flat_stack(const flat_stack&) = delete;
    flat_stack& operator=(const flat_stack&) = delete;

    [[gnu::always_inline]] void push_back(const T& item) {
        if (size_ == capacity_) [[unlikely]]
            grow();
        data_[size_++] = item;
    }
    void pop_back() noexcept { --size_; }
    /// Drops the items from `n` on; `n` is at most the size.
    void resize(std::size_t n) noexcept { size_ = n; }
    T& back() noexcept { return data_[size_ - 1]; }
    T* data() noexcept { return data_; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    // Trivially destructible: the thread's kept memory frees it (`release_spare`), also after
    // the thread's other objects are gone.
    struct spare_buffer {
        T* data;
        std::size_t capacity;
        std::size_t grown;  // the capacity of the last stack that outgrew the spare
    };
    /// This thread's spare buffer: empty while a stack of this type uses it.
    static spare_buffer& spare() noexcept {
        constinit static thread_local spare_buffer kept{};
        return kept;
    }
    /// Makes `data` the thread's spare, or frees it.
    static void keep_or_free(T* data, std::size_t capacity) noexcept {
        spare_buffer& kept = spare();
        const std::size_t bytes = capacity * sizeof(T);
        if (kept.data == nullptr && on_release(&release_spare) && keep(bytes)) {
            kept.data = data;
            kept.capacity = capacity;
        } else {
            give_block(data, bytes);
        }
    }
    static void release_spare() noexcept {
        spare_buffer& kept = spare();
        if (kept.data == nullptr) return;
        unkeep(kept.capacity * sizeof(T));
        give_block(std::exchange(kept.data, nullptr), kept.capacity * sizeof(T));
        kept.capacity = 0;
    }

    [[gnu::noinline]] void grow() {
        std::size_t capacity = capacity_ == 0 ? 64 : capacity_ * 2;
        if (capacity * sizeof(T) > kept_buffer_bytes) capacity = std::max(capacity, spare().grown);
        const std::size_t bytes = block_size(capacity * sizeof(T));
        T* data = static_cast<T*>(take_block(bytes));
        if (size_ > 0) std::memcpy(data, data_, size_ * sizeof(T));
        // The buffer outgrown is the spare again if it was one; a step between is not kept,
        // since the next large read grows at once to this one's final size.
        if (data_ != nullptr && capacity_ * sizeof(T) <= kept_buffer_bytes &&
            bytes > kept_buffer_bytes)
            keep_or_free(data_, capacity_);
        else
            ::operator delete(data_);
        data_ = data;
        capacity_ = bytes / sizeof(T);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

/// A string for decoded text, taken from and given back to one spare per thread, as the stacks
/// are, so that reading small documents with escapes allocates none.
class kept_string {
public:
    kept_string() noexcept {
        spare_string& kept = spare();
        if (!kept.full) return;
        unkeep(kept.counted);
        text = std::move(*kept.string());
        std::destroy_at(kept.string());
        kept.full = false;
    }
    ~kept_string() {
        spare_string& kept = spare();
        const std::size_t bytes = text.capacity();
        // A string within its own object holds nothing to keep.
        if (kept.full || bytes <= std::string().capacity() || bytes > kept_buffer_bytes ||
            !on_release(&release_spare) || !keep(bytes))
            return;
        text.clear();
        ::new (kept.bytes) std::string(std::move(text));
        kept.counted = bytes;
        kept.full = true;
    }
    kept_string(const kept_string&) = delete;
    kept_string& operator=(const kept_string&) = delete;

    std::string text;

private:
    // Trivially destructible, as the stacks' spares are: the string lives in it only while kept.
    struct spare_string {
        alignas(std::string) unsigned char bytes[sizeof(std::string)];
        std::size_t counted;  // its capacity when kept
        bool full;
        std::string* string() noexcept {
            return std::launder(reinterpret_cast<std::string*>(bytes));
        }
    };
    static spare_string& spare() noexcept {
        constinit static thread_local spare_string kept{};
        return kept;
    }
    static void release_spare() noexcept {
        spare_string& kept = spare();
        if (!kept.full) return;
        unkeep(kept.counted);
        std::destroy_at(kept.string());
        kept.full = false;
    }
};

}  // namespace Sylvane::json_tree::detail
