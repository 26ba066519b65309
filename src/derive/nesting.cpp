// The failure of converters nested deeper than the stack is meant to hold.

#include <sylvane/derive/detail/nesting.hpp>

#include <string>

namespace Sylvane::derive::detail {

nesting_failure::~nesting_failure() = default;

void too_deep(std::string_view type_name, const yojson& tree) {
    throw nesting_failure(
        std::string(type_name) + "_of_yojson: nesting deeper than " + std::to_string(max_nesting),
        tree);
}

}  // namespace Sylvane::derive::detail
