// The failure of writing a kept key that a field or the tag already takes.

#include <sylvane/derive/extra_keys.hpp>

#include <sylvane/derive/detail/record_fields.hpp>

#include "shown_value.hpp"

#include <stdexcept>

namespace Sylvane::derive::detail {

void check_kept_key(const record_shape& shape, std::string_view key, std::string_view tag_key) {
    if (find_field(shape, key, 0) == shape.size && (tag_key.empty() || key != tag_key)) return;
    std::string message = "yojson_of_" + std::string(shape.name) + ": the extra key ";
    append_json_string(message, key);
    message += " is also a key of the record";
    throw std::invalid_argument(message);
}

}  // namespace Sylvane::derive::detail
