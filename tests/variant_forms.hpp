#pragma once
// An enumeration, a record, and a variant of it in each form, for the tests of check<T>,
// json_schema<T> and their agreement.

#include <cstdint>
#include <string>
#include <tuple>
#include <variant>

#include <sylvane/derive/derive.hpp>

namespace forms {

enum class hue { deep_red, light_blue };
SYLVANE_ENUM_WITH(hue, (rename_all(kebab_case)), deep_red, light_blue)

struct circle {
    double r = 0;
    std::int64_t id = 0;
};
SYLVANE_RECORD_WITH(circle, (deny_unknown_keys), r, id)
struct blank {};
using pair_args = std::tuple<std::string, bool>;

using list_shape = std::variant<circle, blank, pair_args>;
SYLVANE_VARIANT(list_shape, (circle, "c"), (blank, "b"), (pair_args, "p"))
struct ext_shape : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(ext_shape, (external_tag), (circle, "c"), (blank, "b"))
struct int_shape : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(int_shape, (internal_tag("type")), (circle, "c"), (blank, "b"))
struct adj_shape : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(adj_shape, (adjacent_tag("t", "v")), (circle, "c"), (blank, "b"))
struct any_shape : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(any_shape, (untagged), (circle, "c"), (blank, "b"))

}  // namespace forms
