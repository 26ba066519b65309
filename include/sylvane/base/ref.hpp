#pragma once
/// The mutable cell `ref<T>`.

#include <atomic>
#include <type_traits>
#include <utility>

namespace Sylvane {

/// A mutable cell holding one value. A value type: copying a cell copies its content.
///
///     Sylvane::ref<int> r{1};
///     *r = 2;           // assignment through the cell
///     int v = r.get();  // 2
///
/// `ref<bool>` reads and writes its content with relaxed atomic operations, so that a flag such
/// as `Treeform::record_check_extra_fields` may be read and set from several threads without a
/// data race; its `*r` is a small proxy that converts to `bool` and accepts assignment.
template <class T>
class ref {
    static_assert(std::is_object_v<T> && !std::is_const_v<T>, "a cell holds a mutable object");

public:
    constexpr ref() requires std::is_default_constructible_v<T> : value_() {}
    constexpr explicit ref(T value) noexcept(std::is_nothrow_move_constructible_v<T>)
        : value_(std::move(value)) {}
    /// A cell whose content is built in place from `args`.
    template <class... Args>
    requires std::is_constructible_v<T, Args&&...>
    constexpr explicit ref(std::in_place_t, Args&&... args) : value_(std::forward<Args>(args)...) {}

    constexpr T& operator*() noexcept { return value_; }
    constexpr const T& operator*() const noexcept { return value_; }
    constexpr T* operator->() noexcept { return &value_; }
    constexpr const T* operator->() const noexcept { return &value_; }
    /// The content at this moment.
    constexpr const T& get() const noexcept { return value_; }
    constexpr void set(T value) { value_ = std::move(value); }
    /// Stores `value` and returns the previous content.
    constexpr T exchange(T value) { return std::exchange(value_, std::move(value)); }

    friend constexpr bool operator==(const ref& a, const ref& b) { return a.value_ == b.value_; }

private:
    T value_;
};

template <class T>
ref(T) -> ref<T>;

template <>
class ref<bool> {
public:
    /// What `*r` gives: reads and writes the cell atomically.
    class access {
    public:
        operator bool() const noexcept { return std::atomic_ref<bool>(*cell_).load(order); }
        access& operator=(bool v) noexcept {
            std::atomic_ref<bool>(*cell_).store(v, order);
            return *this;
        }
        access& operator=(const access& other) noexcept { return *this = bool(other); }
        access(const access&) = default;

    private:
        friend class ref;
        explicit access(bool* cell) noexcept : cell_(cell) {}
        bool* cell_;
    };

    constexpr ref() noexcept : value_(false) {}
    constexpr explicit ref(bool value) noexcept : value_(value) {}
    ref(const ref& other) noexcept : value_(other.get()) {}
    ref& operator=(const ref& other) noexcept {
        set(other.get());
        return *this;
    }

    access operator*() noexcept { return access(&value_); }
    bool operator*() const noexcept { return get(); }
    bool get() const noexcept {
        return std::atomic_ref<bool>(const_cast<bool&>(value_)).load(order);
    }
    void set(bool v) noexcept { std::atomic_ref<bool>(value_).store(v, order); }
    bool exchange(bool v) noexcept { return std::atomic_ref<bool>(value_).exchange(v, order); }

    friend bool operator==(const ref& a, const ref& b) noexcept { return a.get() == b.get(); }

private:
    static constexpr std::memory_order order = std::memory_order_relaxed;
    alignas(std::atomic_ref<bool>::required_alignment) bool value_;
};

}  // namespace Sylvane
