#pragma once
/// The unit `Treeform_error`: the error reporters that derived converters call when a tree does
/// not describe a tuple, sum type, record or polymorphic variant, and `No_variant_match`.
///
/// Every reporter raises `Treeform::Of_yojson_error` whose cause is a `std::runtime_error`
/// holding the message and whose tree is the very tree passed. Every message is the type name,
/// verbatim, then "_of_yojson: " and the reporter's text. Reporters return `Treeform::never`,
/// so a call stands wherever a value of any type is expected:
///
///     point point_of_yojson(const yojson& t) {
///         if (t.kind() == yojson_kind::List) {
///             return Treeform_error::record_list_instead_atom("point", t);
///         }
///         ...
///     }

#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/base/format.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>
#include <sylvane/treeform/opaque_of_tree.hpp>

namespace Sylvane::Treeform_error {

/// Formatted printing into a new string with "%s", "%d" and "%S" (see `Sylvane::sprintf`).
using Sylvane::sprintf;

// Tuples and sum types.

/// "<type>_of_yojson: tuple of size <size> expected".
[[noreturn]] SYLVANE_API Treeform::never tuple_of_size_n_expected(std::string_view type_name,
                                                                  int size, const yojson& tree);
/// "<type>_of_yojson: this constructor does not take arguments".
[[noreturn]] SYLVANE_API Treeform::never stag_no_args(std::string_view type_name,
                                                      const yojson& tree);
/// "<type>_of_yojson: sum tag <quoted tag> has incorrect number of arguments".
[[noreturn]] SYLVANE_API Treeform::never stag_incorrect_n_args(std::string_view type_name,
                                                               std::string_view tag,
                                                               const yojson& tree);
/// "<type>_of_yojson: this constructor requires arguments".
[[noreturn]] SYLVANE_API Treeform::never stag_takes_args(std::string_view type_name,
                                                         const yojson& tree);
/// "<type>_of_yojson: expected a variant type, saw a nested list".
[[noreturn]] SYLVANE_API Treeform::never nested_list_invalid_sum(std::string_view type_name,
                                                                 const yojson& tree);
/// "<type>_of_yojson: expected a variant type, saw an empty list".
[[noreturn]] SYLVANE_API Treeform::never empty_list_invalid_sum(std::string_view type_name,
                                                                const yojson& tree);
/// "<type>_of_yojson: unexpected variant constructor".
[[noreturn]] SYLVANE_API Treeform::never unexpected_stag(std::string_view type_name,
                                                         const yojson& tree);

// Records. Field-name lists are taken as collected, newest first, and shown oldest first.

/// "<type>_of_yojson: <kind>: <fields>", the fields oldest first, joined by single spaces.
/// Note the order: the kind text ("duplicate fields", "extra fields") comes first.
[[noreturn]] SYLVANE_API Treeform::never record_superfluous_fields(
    std::string_view kind, std::string_view type_name, const std::vector<std::string>& fields,
    const yojson& tree);
/// `record_superfluous_fields` with the kind text "duplicate fields".
[[noreturn]] SYLVANE_API Treeform::never record_duplicate_fields(
    std::string_view type_name, const std::vector<std::string>& fields, const yojson& tree);
/// `record_superfluous_fields` with the kind text "extra fields". It reports whenever called:
/// whether extra fields matter (`Treeform::record_check_extra_fields`) is the caller's decision.
[[noreturn]] SYLVANE_API Treeform::never record_extra_fields(std::string_view type_name,
                                                             const std::vector<std::string>& fields,
                                                             const yojson& tree);
/// The `accumulated` names oldest first, then the names in `flagged` whose flag is true, in
/// order, all joined by single spaces. Raises nothing; constant stack space.
///
///     record_get_undefined_loop({"q", "p"}, {{true, "x"}, {false, "y"}});  // "p q x"
SYLVANE_API std::string record_get_undefined_loop(
    const std::vector<std::string>& accumulated,
    const std::vector<std::pair<bool, std::string>>& flagged);
/// "<type>_of_yojson: the following record elements were undefined: <names>", the names of the
/// true-flagged fields in order. Note the order: the tree comes second.
[[noreturn]] SYLVANE_API Treeform::never record_undefined_elements(
    std::string_view type_name, const yojson& tree,
    const std::vector<std::pair<bool, std::string>>& flagged);
/// "<type>_of_yojson: list instead of atom for record expected".
[[noreturn]] SYLVANE_API Treeform::never record_list_instead_atom(std::string_view type_name,
                                                                  const yojson& tree);
/// "<type>_of_yojson: cannot convert values of types resulting from polymorphic record fields".
[[noreturn]] SYLVANE_API Treeform::never record_poly_field_value(std::string_view type_name,
                                                                 const yojson& tree);

// Polymorphic variants.

/// The signal that no variant matched a tree; it carries nothing. Distinct from
/// `Of_yojson_error`: neither one's handler catches the other.
class SYLVANE_API No_variant_match : public std::exception {
public:
    /// The printed name of the exception.
    static constexpr std::string_view printed_name = "Sylvane__Treeform_error.No_variant_match";

    No_variant_match() noexcept = default;
    No_variant_match(const No_variant_match&) noexcept = default;
    No_variant_match& operator=(const No_variant_match&) noexcept = default;
    ~No_variant_match() override;

    /// "Sylvane__Treeform_error.No_variant_match".
    const char* what() const noexcept override;

    /// Throws a `No_variant_match`; out of line, so that no throwing code is inlined.
    [[noreturn]] static void raise();
};

/// Raises `No_variant_match`; the argument, of any type, is ignored.
template <class T>
[[noreturn]] Treeform::never no_variant_match(const T&) {
    No_variant_match::raise();
}

/// "<type>_of_yojson: no matching variant found".
[[noreturn]] SYLVANE_API Treeform::never no_matching_variant_found(std::string_view type_name,
                                                                   const yojson& tree);
/// "<type>_of_yojson: polymorphic variant does not take arguments".
[[noreturn]] SYLVANE_API Treeform::never ptag_no_args(std::string_view type_name,
                                                      const yojson& tree);
/// "<type>_of_yojson: polymorphic variant tag <quoted tag> has incorrect number of arguments".
[[noreturn]] SYLVANE_API Treeform::never ptag_incorrect_n_args(std::string_view type_name,
                                                               std::string_view tag,
                                                               const yojson& tree);
/// "<type>_of_yojson: polymorphic variant tag takes an argument".
[[noreturn]] SYLVANE_API Treeform::never ptag_takes_args(std::string_view type_name,
                                                         const yojson& tree);
/// "<type>_of_yojson: a nested list is an invalid polymorphic variant".
[[noreturn]] SYLVANE_API Treeform::never nested_list_invalid_poly_var(std::string_view type_name,
                                                                      const yojson& tree);
/// "<type>_of_yojson: the empty list is an invalid polymorphic variant".
[[noreturn]] SYLVANE_API Treeform::never empty_list_invalid_poly_var(std::string_view type_name,
                                                                     const yojson& tree);
/// "<type>_of_yojson: trying to convert an empty type".
[[noreturn]] SYLVANE_API Treeform::never empty_type(std::string_view type_name, const yojson& tree);

}  // namespace Sylvane::Treeform_error
