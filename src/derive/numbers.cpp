// The checked number converters' out-of-line parts: every message they raise, and the parses
// and writes of number texts.

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include <sylvane/derive/numbers.hpp>

namespace Sylvane::derive::detail {

namespace {

std::string_view name_of(number_type type) noexcept {
    switch (type) {
        case number_type::int8: return "int8";
        case number_type::int16: return "int16";
        case number_type::int32: return "int32";
        case number_type::int_: return "int";
        case number_type::uint8: return "uint8";
        case number_type::uint16: return "uint16";
        case number_type::uint32: return "uint32";
        case number_type::uint64: return "uint64";
        case number_type::float32: return "float32";
        case number_type::float_: return "float";
    }
    return "";
}

bool is_float(number_type type) noexcept {
    return type == number_type::float32 || type == number_type::float_;
}

std::string_view text_of(number_fault fault, bool floating) noexcept {
    switch (fault) {
        case number_fault::wrong_kind: return floating ? "float needed" : "integer needed";
        case number_fault::out_of_range:
            return floating ? "float out of range" : "integer out of range";
        case number_fault::malformed:
            return floating ? "malformed number literal" : "malformed integer literal";
    }
    return "";
}

template <class Integer>
integer_text parse_whole(std::string_view text, Integer& out) noexcept {
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, out);
    if (ec == std::errc::result_out_of_range && end == last) return integer_text::out_of_range;
    if (ec != std::errc() || end != last) return integer_text::malformed;
    return integer_text::ok;
}

}  // namespace

void reject_number(number_type type, number_fault fault, const yojson& tree) {
    std::string message(name_of(type));
    message += "_of_yojson: ";
    message += text_of(fault, is_float(type));
    Treeform::of_yojson_error(message, tree);
}

integer_text parse_integer(std::string_view text, std::int64_t& out) noexcept {
    return parse_whole(text, out);
}

integer_text parse_integer(std::string_view text, std::uint64_t& out) noexcept {
    // `from_chars` reads "-0" as no unsigned number; a negative text is out of range.
    if (!text.empty() && text.front() == '-') {
        std::int64_t ignored = 0;
        const integer_text signed_parse = parse_whole(text, ignored);
        if (signed_parse == integer_text::malformed) return signed_parse;
        if (signed_parse == integer_text::ok && ignored == 0) return out = 0, integer_text::ok;
        return integer_text::out_of_range;
    }
    return parse_whole(text, out);
}

yojson intlit_of(std::uint64_t n) {
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, n);
    return yojson::Intlit(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

namespace {

/// The `Intlit` `tree` as the nearest `F`, or its failure as a `type`.
template <class F>
F intlit_as(number_type type, const yojson& tree) {
    // An `Intlit` is an integer text; one that `from_chars` takes as a number in any other form
    // ("1e5", "inf") is no integer text either.
    const std::string_view text = tree.as_intlit();
    std::int64_t ignored = 0;
    if (parse_integer(text, ignored) == integer_text::malformed)
        reject_number(type, number_fault::malformed, tree);
    F f = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), f);
    if (ec == std::errc::result_out_of_range) reject_number(type, number_fault::out_of_range, tree);
    if (ec != std::errc() || end != text.data() + text.size())
        reject_number(type, number_fault::malformed, tree);
    return f;
}

}  // namespace

double intlit_as_double(number_type type, const yojson& tree) {
    return intlit_as<double>(type, tree);
}

float intlit_as_float(const yojson& tree) {
    return intlit_as<float>(number_type::float32, tree);
}

yojson float32_tree(float f) noexcept {
    if (!std::isfinite(f)) return yojson::Float(static_cast<double>(f));
    // The shortest digits of the float, read as a double: the writer's shortest form of that
    // double is the same digits, and reading them back rounds to `f` again.
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, f);
    double d = 0;
    std::from_chars(buffer, end, d);
    return yojson::Float(d);
}

}  // namespace Sylvane::derive::detail
