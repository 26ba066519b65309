// The messages of the standard containers' converters.

#include <string>

#include <sylvane/derive/std_containers.hpp>
#include <sylvane/treeform.hpp>

namespace Sylvane::derive::detail {

void reject_std_container(container_fault fault, const yojson& tree) {
    const char* message = "";
    switch (fault) {
        case container_fault::list_needed: message = "sequence_of_yojson: list needed"; break;
        case container_fault::set_duplicate: message = "set_of_yojson: duplicate element"; break;
        case container_fault::object_needed: message = "map_of_yojson: object needed"; break;
        case container_fault::duplicate_key: message = "map_of_yojson: duplicate key"; break;
        case container_fault::integer_key: message = "map_of_yojson: integer key needed"; break;
        case container_fault::integer_key_range:
            message = "map_of_yojson: integer key out of range";
            break;
        case container_fault::enum_key: message = "map_of_yojson: unknown enumeration key"; break;
    }
    Treeform::of_yojson_error(message, tree);
}

void reject_fixed_array(std::size_t size, const yojson& tree) {
    Treeform::of_yojson_error(
        "fixed_array_of_yojson: list of " + std::to_string(size) + " elements needed", tree);
}

}  // namespace Sylvane::derive::detail
