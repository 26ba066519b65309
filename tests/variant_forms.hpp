#pragma once
// An enumeration, a record, and a variant of it in each form, with string tags and with integer
// codes, for the tests of check<T>, json_schema<T> and their agreement.

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

// Integer codes: the enumerators' values, codes given with each; each alternative's place, codes
// given with each.
enum class http : std::int16_t { ok = 200, not_found = 404 };
SYLVANE_ENUM_WITH(http, (as_integer), ok, not_found)
enum class kind { push, pull };
SYLVANE_ENUM(kind, (push, 1), (pull, 2))

struct list_coded : std::variant<circle, blank, pair_args> {
    using variant::variant;
};
SYLVANE_VARIANT(list_coded, (circle, 1), (blank, 2), (pair_args, 3))
struct int_coded : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(int_coded, (internal_tag("kind"), as_integer), (circle), (blank))
struct adj_coded : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(adj_coded, (adjacent_tag("t", "v")), (circle, 10), (blank, 20))

}  // namespace forms
