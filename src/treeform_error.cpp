// All the wording of the error reporters sits in this file.

#include <sylvane/treeform_error.hpp>

#include <cstddef>

namespace Sylvane::Treeform_error {

namespace {

using Treeform::never;
using Treeform::of_yojson_error;

/// Raises the failure whose message is the type name followed by `text`.
[[noreturn]] void fixed(std::string_view type_name, std::string_view text, const yojson& tree) {
    std::string message;
    message.reserve(type_name.size() + text.size());
    message.append(type_name).append(text);
    of_yojson_error(message, tree);
}

/// Appends `names` newest first, that is from the last element to the first, joined by single
/// spaces; `separate` tells whether a space must precede the first name appended.
void append_reversed(std::string& out, const std::vector<std::string>& names, bool separate) {
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (separate) out += ' ';
        out += *name;
        separate = true;
    }
}

}  // namespace

never tuple_of_size_n_expected(std::string_view type_name, int size, const yojson& tree) {
    of_yojson_error(Sylvane::sprintf("%s_of_yojson: tuple of size %d expected", type_name, size),
                    tree);
}

never stag_no_args(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: this constructor does not take arguments", tree);
}

never stag_incorrect_n_args(std::string_view type_name, std::string_view tag, const yojson& tree) {
    of_yojson_error(Sylvane::sprintf("%s_of_yojson: sum tag %S has incorrect number of arguments",
                                     type_name, tag),
                    tree);
}

never stag_takes_args(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: this constructor requires arguments", tree);
}

never nested_list_invalid_sum(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: expected a variant type, saw a nested list", tree);
}

never empty_list_invalid_sum(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: expected a variant type, saw an empty list", tree);
}

never unexpected_stag(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: unexpected variant constructor", tree);
}

never record_superfluous_fields(std::string_view kind, std::string_view type_name,
                                const std::vector<std::string>& fields, const yojson& tree) {
    std::string joined;
    append_reversed(joined, fields, false);
    of_yojson_error(Sylvane::sprintf("%s_of_yojson: %s: %s", type_name, kind, joined), tree);
}

never record_duplicate_fields(std::string_view type_name, const std::vector<std::string>& fields,
                              const yojson& tree) {
    record_superfluous_fields("duplicate fields", type_name, fields, tree);
}

never record_extra_fields(std::string_view type_name, const std::vector<std::string>& fields,
                          const yojson& tree) {
    record_superfluous_fields("extra fields", type_name, fields, tree);
}

std::string record_get_undefined_loop(const std::vector<std::string>& accumulated,
                                      const std::vector<std::pair<bool, std::string>>& flagged) {
    // One pass to size the result, so that it is allocated once; both passes are plain loops.
    std::size_t size = accumulated.size();
    for (const auto& name : accumulated) size += name.size();
    for (const auto& [undefined, name] : flagged) {
        if (undefined) size += name.size() + 1;
    }
    std::string joined;
    joined.reserve(size);
    append_reversed(joined, accumulated, false);
    bool separate = !accumulated.empty();
    for (const auto& [undefined, name] : flagged) {
        if (!undefined) continue;
        if (separate) joined += ' ';
        joined += name;
        separate = true;
    }
    return joined;
}

never record_undefined_elements(std::string_view type_name, const yojson& tree,
                                const std::vector<std::pair<bool, std::string>>& flagged) {
    of_yojson_error(
        Sylvane::sprintf("%s_of_yojson: the following record elements were undefined: %s",
                         type_name, record_get_undefined_loop({}, flagged)),
        tree);
}

never record_list_instead_atom(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: list instead of atom for record expected", tree);
}

never record_poly_field_value(std::string_view type_name, const yojson& tree) {
    fixed(type_name,
          "_of_yojson: cannot convert values of types resulting from polymorphic record fields",
          tree);
}

No_variant_match::~No_variant_match() = default;

const char* No_variant_match::what() const noexcept {
    return printed_name.data();
}

void No_variant_match::raise() {
    throw No_variant_match();
}

never no_matching_variant_found(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: no matching variant found", tree);
}

never ptag_no_args(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: polymorphic variant does not take arguments", tree);
}

never ptag_incorrect_n_args(std::string_view type_name, std::string_view tag, const yojson& tree) {
    of_yojson_error(
        Sylvane::sprintf(
            "%s_of_yojson: polymorphic variant tag %S has incorrect number of arguments", type_name,
            tag),
        tree);
}

never ptag_takes_args(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: polymorphic variant tag takes an argument", tree);
}

never nested_list_invalid_poly_var(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: a nested list is an invalid polymorphic variant", tree);
}

never empty_list_invalid_poly_var(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: the empty list is an invalid polymorphic variant", tree);
}

never empty_type(std::string_view type_name, const yojson& tree) {
    fixed(type_name, "_of_yojson: trying to convert an empty type", tree);
}

}  // namespace Sylvane::Treeform_error
