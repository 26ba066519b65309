#pragma once
/// The one-argument forms of the container converters: given only their element converters,
/// they return a converter that holds them.

#include <concepts>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

namespace Sylvane::Treeform::detail {

/// The container converter `Fn` with its element converters bound. Holds them by value and
/// takes no room when they are empty.
template <class Fn, class... Fs>
struct bound {
    [[no_unique_address]] std::tuple<Fs...> fs;

    template <class X>
    requires std::invocable<const Fn&, const Fs&..., X>
    decltype(auto) operator()(X&& x) const {
        return std::apply(
            [&](const Fs&... f) -> decltype(auto) { return Fn{}(f..., std::forward<X>(x)); }, fs);
    }
};

/// Accepts any element converter.
template <class F>
struct any_converter : std::true_type {};

/// Base of a container converter `Fn` of `N` element converters, each accepted by `Accepts`:
/// called with the element converters alone, it returns them bound. `Fn` brings this form in
/// with `using binds_elements::operator();`.
template <class Fn, std::size_t N, template <class> class Accepts = any_converter>
struct binds_elements {
    template <class... Fs>
    requires(sizeof...(Fs) == N && (Accepts<Fs>::value && ...)) constexpr auto operator()(
        Fs... fs) const {
        return bound<Fn, Fs...>{{std::move(fs)...}};
    }
};

}  // namespace Sylvane::Treeform::detail
