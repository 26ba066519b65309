#pragma once
/// How a record reaches its fields: a member pointer, or a path of them to a field of a member
/// whose fields are flattened into the record's object.

#include <cstddef>
#include <tuple>
#include <type_traits>

namespace Sylvane::derive {

/// The members of a record, in field order: member pointers or `member_path`s. The leading
/// `nullptr` lets a macro write every member with a leading comma.
template <std::nullptr_t, auto... M>
struct member_list {};

/// The field reached from a record through the member pointers `M...` in turn.
template <auto... M>
struct member_path {
    template <class T>
    static constexpr auto& get(T& value) noexcept {
        return (value.*....*M);
    }
};

namespace detail {

template <class M>
struct member_traits;
template <class C, class F>
struct member_traits<F C::*> {
    using field = F;
};
template <auto... M>
struct member_traits<member_path<M...>> {
    using field = typename member_traits<
        std::tuple_element_t<sizeof...(M) - 1, std::tuple<decltype(M)...>>>::field;
};

/// The field of `value` that `M` (a member pointer or a path) reaches.
template <auto M, class T>
constexpr auto& member_of(T& value) noexcept {
    if constexpr (requires { std::remove_cv_t<decltype(M)>::get(value); })
        return std::remove_cv_t<decltype(M)>::get(value);
    else
        return value.*M;
}

/// The `I`th of `list`'s members.
template <std::size_t I, auto... M>
constexpr auto nth_member(member_list<nullptr, M...>) noexcept {
    return std::get<I>(std::tuple{M...});
}

}  // namespace detail

}  // namespace Sylvane::derive
