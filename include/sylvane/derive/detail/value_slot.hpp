#pragma once
// Room for one value made in place by a function given only its address; not part of the API.

#include <new>
#include <type_traits>
#include <utility>

namespace Sylvane::derive::detail {

/// Room for a `T`, empty until `emplace`, destroyed with the slot. What `std::optional<T>` does
/// for `read_as`, without the dozens of small functions that it makes the compiler build and
/// inline for each type read.
template <class T>
class value_slot {
public:
    value_slot() noexcept {}
    value_slot(const value_slot&) = delete;
    value_slot& operator=(const value_slot&) = delete;
    ~value_slot() { reset(); }

    /// Makes the value from `from`, a value of `T` or a converter to one (made in place).
    template <class From>
    void emplace(From&& from) {
        reset();
        ::new (static_cast<void*>(&value_)) T(static_cast<T>(std::forward<From>(from)));
        made_ = true;
    }
    void reset() noexcept {
        if (made_) value_.~T();
        made_ = false;
    }
    /// The value, moved out; the slot must hold one.
    T take() { return std::move(value_); }

private:
    union {
        T value_;
    };
    bool made_ = false;
};

}  // namespace Sylvane::derive::detail
