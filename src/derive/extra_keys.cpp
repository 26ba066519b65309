// The failure of writing a kept key that a field or the tag already takes.

#include <sylvane/derive/extra_keys.hpp>

#include "shown_value.hpp"

#include <stdexcept>

namespace Sylvane::derive::detail {

void extra_key_taken(std::string_view type_name, std::string_view key) {
    std::string message = "yojson_of_" + std::string(type_name) + ": the extra key ";
    append_json_string(message, key);
    message += " is also a key of the record";
    throw std::invalid_argument(message);
}

}  // namespace Sylvane::derive::detail
