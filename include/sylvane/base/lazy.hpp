#pragma once
/// The deferred value `lazy<T>`.

#include <atomic>
#include <concepts>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include <sylvane/base/export.hpp>

namespace Sylvane {

/// Thrown by `lazy::force` when the value cannot be had: its computation forced the same value
/// again (which would otherwise never finish), or the deferred value was moved from before it
/// was computed.
class SYLVANE_API lazy_undefined : public std::logic_error {
public:
    lazy_undefined() : std::logic_error("Sylvane::lazy: the value is undefined") {}
};

namespace detail {
/// The deferred values whose computation runs on this thread, innermost first: a chain of
/// stack frames, so that a computation that forces itself is detected instead of waiting forever.
struct lazy_forcing {
    const void* value;
    const lazy_forcing* outer;
};
inline thread_local const lazy_forcing* lazy_forcing_now = nullptr;

/// `F` is a computation that gives a `T`.
template <class F, class T>
concept lazy_computation = std::invocable < std::decay_t<F>
& > &&std::convertible_to<std::invoke_result_t<std::decay_t<F>&>, T>;
}  // namespace detail

/// A deferred value: built from a computation (a callable returning `T`) or from a ready value,
/// and computed at most once, on the first `force()`.
///
///     Sylvane::lazy<int> l{[] { return expensive(); }};
///     l.is_val();   // false
///     l.force();    // runs the computation: expensive()
///     l.force();    // the same value; runs nothing
///     auto r = Sylvane::lazy_from_val(42);  // already computed
///
/// Failures: when the computation throws, the exception passes out of `force()`; the deferred
/// value remembers it, and every later `force()` rethrows the very same exception without running
/// the computation again. `is_val()` stays false. A computation that forces its own deferred
/// value throws `lazy_undefined`.
///
/// Threads: `force()` may be called from several threads at once. Exactly one of them runs the
/// computation; the others block until it has finished and then see its value or its exception.
/// Two computations that force each other's deferred values, run by two threads at once, wait
/// for each other forever, as two locks taken in opposite orders would; this is not detected.
/// Once computed, `force()` is one acquire load. Moving, assigning and destroying are not
/// thread-safe, as for any standard type.
///
/// Deferred values are move-only: a computation is run once, so it cannot be duplicated. A
/// moved-from `lazy` that was not yet computed throws `lazy_undefined` when forced.
template <class T>
class lazy {
    static_assert(std::is_object_v<T> && !std::is_const_v<T> && !std::is_array_v<T>,
                  "a deferred value holds a mutable object");

    template <class U>
    static constexpr bool is_self = std::is_same_v<std::remove_cvref_t<U>, lazy> ||
                                    std::is_same_v<std::remove_cvref_t<U>, std::in_place_t>;

public:
    /// A deferred value that `compute()` gives on first demand.
    template <class F>
    requires(!is_self<F> && detail::lazy_computation<F, T>) explicit lazy(F&& compute)
        : thunk_(std::make_unique<thunk<std::decay_t<F>>>(std::forward<F>(compute))),
          state_(pending) {}

    /// A deferred value already computed: `value`. (A callable that gives a `T` is taken as the
    /// computation; use `lazy_from_val` to store such a callable itself.)
    template <class U>
    requires(!is_self<U> && !detail::lazy_computation<U, T> &&
             std::is_constructible_v<T, U&&>) explicit lazy(U&& value)
        : state_(ready) {
        ::new (static_cast<void*>(std::addressof(slot_.value))) T(std::forward<U>(value));
    }

    /// A deferred value already computed: a `T` built in place from `args`.
    template <class... Args>
    requires std::is_constructible_v<T, Args&&...>
    explicit lazy(std::in_place_t, Args&&... args) : state_(ready) {
        ::new (static_cast<void*>(std::addressof(slot_.value))) T(std::forward<Args>(args)...);
    }

    lazy(lazy&& other) noexcept(std::is_nothrow_move_constructible_v<T>) : state_(empty) {
        take(other);
    }
    lazy& operator=(lazy&& other) noexcept(std::is_nothrow_move_constructible_v<T>) {
        if (this != &other) {
            clear();
            take(other);
        }
        return *this;
    }
    lazy(const lazy&) = delete;
    lazy& operator=(const lazy&) = delete;
    ~lazy() { clear(); }

    /// The value, computed now if it was not yet. Rethrows the computation's exception if it
    /// threw, on this and every later call.
    const T& force() const {
        if (state().load(std::memory_order_acquire) == ready) [[likely]]
            return slot_.value;
        return force_slow();
    }

    /// Whether the value has been computed (a computation that threw leaves it false).
    bool is_val() const noexcept { return state().load(std::memory_order_acquire) == ready; }

private:
    enum : unsigned char { pending, running, ready, failed, empty };

    struct thunk_base {
        virtual ~thunk_base() = default;
        virtual T run() = 0;
    };
    template <class F>
    struct thunk final : thunk_base {
        template <class G>
        explicit thunk(G&& g) : f(std::forward<G>(g)) {}
        T run() override { return std::invoke(f); }
        F f;
    };

    const T& force_slow() const {
        unsigned char s = pending;
        if (state().compare_exchange_strong(s, running, std::memory_order_acquire)) return run();
        for (;;) {
            switch (s) {
                case ready: return slot_.value;
                case failed: std::rethrow_exception(error_);
                case running:
                    for (auto* f = detail::lazy_forcing_now; f != nullptr; f = f->outer)
                        if (f->value == this) throw lazy_undefined();
                    state().wait(running, std::memory_order_acquire);
                    s = state().load(std::memory_order_acquire);
                    break;
                default: throw lazy_undefined();
            }
        }
    }

    // Runs the computation; only the thread that moved the state from pending to running.
    const T& run() const {
        struct frame {
            detail::lazy_forcing link;
            explicit frame(const void* v) : link{v, detail::lazy_forcing_now} {
                detail::lazy_forcing_now = &link;
            }
            ~frame() { detail::lazy_forcing_now = link.outer; }
        } on_chain(this);
        try {
            ::new (static_cast<void*>(std::addressof(slot_.value))) T(thunk_->run());
        } catch (...) {
            error_ = std::current_exception();
            finish(failed);
            throw;
        }
        finish(ready);
        return slot_.value;
    }

    void finish(unsigned char final_state) const noexcept {
        thunk_.reset();  // the computation may hold resources; it never runs again
        state().store(final_state, std::memory_order_release);
        state().notify_all();
    }

    void take(lazy& other) {
        switch (other.state_) {
            case pending:
                thunk_ = std::move(other.thunk_);
                other.state_ = empty;
                state_ = pending;
                break;
            case ready:
                ::new (static_cast<void*>(std::addressof(slot_.value)))
                    T(std::move(other.slot_.value));
                state_ = ready;
                break;
            case failed:
                error_ = other.error_;
                state_ = failed;
                break;
            default: break;
        }
    }

    void clear() noexcept {
        if (state_ == ready) slot_.value.~T();
        thunk_.reset();
        error_ = nullptr;
        state_ = empty;
    }

    // `force()` is const and safe from several threads, so the state it settles is mutable.
    mutable std::unique_ptr<thunk_base> thunk_;
    mutable std::exception_ptr error_;
    union storage {
        storage() noexcept {}
        ~storage() {}
        T value;
    };
    mutable storage slot_;
    // Plain, so that moving (never concurrent) reads it plainly; `force()` goes through
    // `state()`, which accesses it atomically.
    mutable unsigned char state_;
    std::atomic_ref<unsigned char> state() const noexcept {
        return std::atomic_ref<unsigned char>(state_);
    }
};

/// A deferred value already computed: `value` (also when `T` is itself callable).
template <class T>
lazy<std::decay_t<T>> lazy_from_val(T&& value) {
    return lazy<std::decay_t<T>>(std::in_place, std::forward<T>(value));
}

}  // namespace Sylvane
