#pragma once
/// Converters from opaque values and functions to trees: constant `String` trees.

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::Treeform {

namespace detail {
/// The constant trees `String "<opaque>"` and `String "<fun>"`, constant-initialised.
extern SYLVANE_API constinit const yojson opaque_tree;
extern SYLVANE_API constinit const yojson fun_tree;
}  // namespace detail

/// `String "<opaque>"` for a value of any type, which is not looked at; the same tree each call.
inline constexpr struct yojson_of_opaque_fn {
    template <class T>
    yojson operator()(const T&) const noexcept {
        return detail::opaque_tree;
    }
} yojson_of_opaque{};

/// `String "<fun>"` for a function of any type, which is never called; the same tree each call.
inline constexpr struct yojson_of_fun_fn {
    template <class F>
    yojson operator()(const F&) const noexcept {
        return detail::fun_tree;
    }
} yojson_of_fun{};

}  // namespace Sylvane::Treeform
