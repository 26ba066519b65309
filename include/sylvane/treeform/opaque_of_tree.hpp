#pragma once
/// Converters to opaque values and functions: no tree can be read back as one, so they always
/// fail.

#include <exception>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::Treeform {

/// The result type of a converter that never returns. It converts to any type, so such a
/// converter stands wherever a converter of any result type is expected.
struct never {
    template <class T>
    [[noreturn]] operator T() const noexcept {
        std::terminate();  // unreachable: no `never` value is ever made
    }
};

namespace detail {
[[noreturn]] SYLVANE_API void reject_opaque(const yojson& tree);
[[noreturn]] SYLVANE_API void reject_fun(const yojson& tree);
}  // namespace detail

/// Always raises "opaque_of_yojson: cannot convert opaque values" with the tree.
inline constexpr struct opaque_of_yojson_fn {
    [[noreturn]] never operator()(const yojson& t) const { detail::reject_opaque(t); }
} opaque_of_yojson{};

/// Always raises "fun_of_yojson: cannot convert function values" with the tree.
inline constexpr struct fun_of_yojson_fn {
    [[noreturn]] never operator()(const yojson& t) const { detail::reject_fun(t); }
} fun_of_yojson{};

}  // namespace Sylvane::Treeform
