#pragma once
// The iterator of the readers of streams, ranges that are iterated once; not part of the API.

#include <cstddef>
#include <iterator>

namespace Sylvane::stream::detail {

/// Iterates the values of `Reader`, which reads them one at a time with `next()` (false at the
/// end) and gives the one read last with `value()`.
template <class Reader, class T>
class value_iterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using reference = T&;

    value_iterator() = default;
    /// At the value `reader` has read, or at the end when it is null.
    explicit value_iterator(Reader* reader) noexcept : reader_(reader) {}

    T& operator*() const { return reader_->value(); }
    T* operator->() const { return &reader_->value(); }
    value_iterator& operator++() {
        if (!reader_->next()) reader_ = nullptr;
        return *this;
    }
    void operator++(int) { ++*this; }
    friend bool operator==(const value_iterator& i, std::default_sentinel_t) noexcept {
        return i.reader_ == nullptr;
    }

private:
    Reader* reader_ = nullptr;
};

}  // namespace Sylvane::stream::detail
