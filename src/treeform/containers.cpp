// Out-of-line parts of the container converters: their messages.

#include <stdexcept>

#include <sylvane/treeform/containers_of_tree.hpp>
#include <sylvane/treeform/containers_to_tree.hpp>

namespace Sylvane::Treeform::detail {

void reject_container(container_need which, const yojson& tree) {
    const char* message = "";
    switch (which) {
        case container_need::pair: message = "pair_of_yojson: invalid format"; break;
        case container_need::triple: message = "triple_of_yojson: invalid format"; break;
        case container_need::list: message = "list_of_yojson: list needed"; break;
        case container_need::array: message = "array_of_yojson: list needed"; break;
        case container_need::hashtbl_list: message = "hashtbl_of_yojson: list needed"; break;
        case container_need::hashtbl_tuple: message = "hashtbl_of_yojson: tuple list needed"; break;
    }
    of_yojson_error(message, tree);
}

void array_shrank() {
    throw std::out_of_range("yojson_of_array: the array shrank while it was converted");
}

}  // namespace Sylvane::Treeform::detail
