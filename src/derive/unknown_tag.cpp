// The failure of a sum type that met a tag it does not list.

#include <sylvane/derive/unknown_tag.hpp>

#include <sylvane/treeform_error.hpp>

#include "shown_value.hpp"

#include <string>

namespace Sylvane::derive {

namespace {

std::string allowed_text(detail::tag_list tags) {
    std::string out;
    if (!tags.codes.empty()) {
        for (std::int64_t code : tags.codes) {
            if (!out.empty()) out += ", ";
            out += std::to_string(code);
        }
        return out;
    }
    for (std::string_view name : tags.names) {
        if (!out.empty()) out += ", ";
        detail::append_json_string(out, name);
    }
    return out;
}

}  // namespace

unknown_tag_error::unknown_tag_error(const Treeform::Of_yojson_error& failure,
                                     const std::string& allowed)
    : Treeform::Of_yojson_error(failure), allowed_(allowed) {}

unknown_tag_error::~unknown_tag_error() = default;

namespace detail {

void unknown_tag(std::string_view type_name, tag_list tags, const yojson& tree) {
    try {
        Treeform_error::unexpected_stag(type_name, tree);
    } catch (const Treeform::Of_yojson_error& failure) {
        throw unknown_tag_error(failure, allowed_text(tags));
    }
}

}  // namespace detail

}  // namespace Sylvane::derive
