#pragma once
// The reader's stacks and scratch text, kept per thread between reads.

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace Sylvane::json_tree::detail {

/// The largest buffer that a thread keeps for its next read; a larger one is freed, so that one
/// large document does not leave its memory behind.
inline constexpr std::size_t kept_buffer_bytes = std::size_t{64} << 10;

/// A stack of trivially copyable items whose push is inline and whose growth is not: the
/// reader pushes every value of the text. Its storage is taken from, and given back to, one
/// spare buffer per thread and item type, so that reading many small documents allocates no
/// stacks; a buffer larger than `kept_buffer_bytes` is freed instead of kept.
template <class T>
class flat_stack {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    flat_stack() noexcept {
        spare_buffer& kept = spare();
        data_ = std::move(kept.data);
        capacity_ = std::exchange(kept.capacity, 0);
    }
    ~flat_stack() {
        spare_buffer& kept = spare();
        if (capacity_ * sizeof(T) <= kept_buffer_bytes && capacity_ > kept.capacity) {
            kept.data = std::move(data_);
            kept.capacity = capacity_;
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
    T* data() noexcept { return data_.get(); }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    struct spare_buffer {
        std::unique_ptr<T[]> data;
        std::size_t capacity = 0;
    };
    /// This thread's spare buffer: empty while a stack of this type uses it.
    static spare_buffer& spare() noexcept {
        static thread_local spare_buffer kept;
        return kept;
    }

    [[gnu::noinline]] void grow() {
        const std::size_t capacity = capacity_ == 0 ? 64 : capacity_ * 2;
        auto data = std::make_unique_for_overwrite<T[]>(capacity);
        if (size_ > 0) std::memcpy(data.get(), data_.get(), size_ * sizeof(T));
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<T[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

/// A string for decoded text, taken from and given back to one spare per thread, as the stacks
/// are, so that reading small documents with escapes allocates none.
class kept_string {
public:
    kept_string() noexcept : text(std::exchange(spare(), std::string())) {}
    ~kept_string() {
        if (text.capacity() <= kept_buffer_bytes) {
            text.clear();
            spare() = std::move(text);
        }
    }
    kept_string(const kept_string&) = delete;
    kept_string& operator=(const kept_string&) = delete;

    std::string text;

private:
    static std::string& spare() noexcept {
        static thread_local std::string kept;
        return kept;
    }
};

}  // namespace Sylvane::json_tree::detail
