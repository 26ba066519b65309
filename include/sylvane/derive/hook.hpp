#pragma once
/// The customisation hook through which every type gets its JSON converters.
///
/// A type `T` has converters when the call `sylvane_converters(Sylvane::derive::type_tag<T>{})`
/// finds, by argument-dependent lookup, a function returning a `converters` pair. The library
/// defines the hook for its primitive and container types in this namespace (which ADL always
/// searches, `type_tag` being declared here); the macros `SYLVANE_RECORD`, `SYLVANE_ENUM`,
/// `SYLVANE_VARIANT` and `SYLVANE_CONVERTERS` define it for a user type in that type's namespace.
/// A type that cannot be changed (a standard or third-party type) gets it from a specialisation
/// of `Sylvane::converter<T>` (converter.hpp).
///
///     namespace shop {
///     constexpr auto sylvane_converters(Sylvane::derive::type_tag<money>) noexcept {
///         return Sylvane::derive::converters{yojson_of_money, money_of_yojson};
///     }
///     }

namespace Sylvane::derive {

/// Names a type in a call without making a value of it; its only job is to steer ADL.
template <class T>
struct type_tag {
    using type = T;
};

/// The pair of converters of one type: `to` from a value to a tree, `of` from a tree back.
template <class To, class Of>
struct converters {
    [[no_unique_address]] To to;
    [[no_unique_address]] Of of;
};
template <class To, class Of>
converters(To, Of) -> converters<To, Of>;

}  // namespace Sylvane::derive
