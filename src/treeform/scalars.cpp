// Out-of-line parts of the scalar converters: their messages, the number parses and the
// constant trees.

#include <charconv>
#include <stdexcept>
#include <string>
#include <system_error>

#include <sylvane/treeform/opaque_of_tree.hpp>
#include <sylvane/treeform/opaque_to_tree.hpp>
#include <sylvane/treeform/scalars_of_tree.hpp>

namespace Sylvane::Treeform {

namespace detail {

namespace {
using json_tree::detail::string_node;
constinit string_node opaque_node{string_node::static_text_t{}, "<opaque>"};
constinit string_node fun_node{string_node::static_text_t{}, "<fun>"};
}  // namespace

constinit const yojson opaque_tree = yojson::constant_string(opaque_node);
constinit const yojson fun_tree = yojson::constant_string(fun_node);

void reject_scalar(scalar_need which, const yojson& tree) {
    const char* message = "";
    switch (which) {
        case scalar_need::unit: message = "unit_of_yojson: `Null needed"; break;
        case scalar_need::bool_: message = "bool_of_yojson: true/false needed"; break;
        case scalar_need::string: message = "string_of_yojson: string needed"; break;
        case scalar_need::bytes: message = "bytes_of_yojson: string needed"; break;
        case scalar_need::char_not_string:
            message = "char_of_yojson: string of size one needed";
            break;
        case scalar_need::char_length:
            message = "char_of_yojson: string must contain one character only";
            break;
        case scalar_need::int_: message = "int_of_yojson: integer needed"; break;
        case scalar_need::float_: message = "float_of_yojson: float needed"; break;
        case scalar_need::int32: message = "int32_of_yojson: integer needed"; break;
        case scalar_need::int64: message = "int64_of_yojson: integer needed"; break;
        case scalar_need::nativeint: message = "nativeint_of_yojson: integer needed"; break;
    }
    of_yojson_error(message, tree);
}

void reject_opaque(const yojson& tree) {
    of_yojson_error("opaque_of_yojson: cannot convert opaque values", tree);
}

void reject_fun(const yojson& tree) {
    of_yojson_error("fun_of_yojson: cannot convert function values", tree);
}

namespace {

// Parses the whole of `text` with `std::from_chars`; `what` names the parse in its failures.
template <class Number>
Number parse_whole(std::string_view text, const char* what) {
    Number value{};
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range)
        throw std::out_of_range(std::string(what) + ": out of range: " + std::string(text));
    if (ec != std::errc() || end != last)
        throw std::invalid_argument(std::string(what) + ": not a number: " + std::string(text));
    return value;
}

}  // namespace

std::int32_t parse_int32(std::string_view text) {
    return parse_whole<std::int32_t>(text, "int32_of_string");
}

std::int64_t parse_int64(std::string_view text) {
    return parse_whole<std::int64_t>(text, "int64_of_string");
}

std::intptr_t parse_nativeint(std::string_view text) {
    return parse_whole<std::intptr_t>(text, "nativeint_of_string");
}

double parse_float(std::string_view text) {
    return parse_whole<double>(text, "float_of_string");
}

}  // namespace detail

}  // namespace Sylvane::Treeform
