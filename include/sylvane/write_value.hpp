#pragma once
/// Writing a value as JSON text in one call, without a tree.
///
///     std::string text = Sylvane::write(timeline);
///
/// The text is byte for byte that of `write(yojson_of(value), options)`, failures included; the
/// value is written straight to the text (`direct_write.hpp`), and only parts without a direct
/// writer make a tree of their own. Pretty text is the compact text laid out.

#include <memory>
#include <ostream>
#include <string>
#include <type_traits>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/detail/routes.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/nullable_field.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane {

namespace derive::detail {

/// The compact text of the value at `value`, written by `write`: the sink, its failure and the
/// arena of the parts written through trees, compiled once in the library.
SYLVANE_API std::string write_text_value(const void* value,
                                         void (*write)(text_sink& out, const void* value),
                                         const write_options& options);

/// The compact text of `value`. Fails as `write(yojson_of(value), options)` does, without
/// making the value's tree.
template <class T>
std::string write_direct_text(const T& value, const write_options& options) {
    return write_text_value(std::addressof(value), &write_text_field<T>, options);
}

}  // namespace derive::detail

/// The JSON text of any value whose type has converters: `write(yojson_of(value), options)`,
/// made without the tree.
///
///     Sylvane::write(std::vector<double>{1, 2.5});  // "[1.0,2.5]"
template <class T>
requires(!std::is_same_v<T, yojson>) std::string
    write(const T& value, const write_options& options = {}) {
    derive::detail::require_converters<T>();
    if constexpr (Yojsonable_intf::yojsonable<T>) {
        if (!options.pretty) return derive::detail::write_direct_text(value, options);
        // Pretty text is the compact text laid out, not a tree written: a type written only
        // this way needs no tree writer.
        write_options compact = options;
        compact.pretty = false;
        return json_tree::detail::pretty_text(derive::detail::write_direct_text(value, compact),
                                              options.indent);
    } else {
        return {};
    }
}

/// Writes the JSON text of `value` to `out`: the text of `write(value, options)`.
///
///     Sylvane::write(std::cout, timeline);
template <class T>
requires(!std::is_same_v<T, yojson>) void write(std::ostream& out, const T& value,
                                                const write_options& options = {}) {
    const std::string text = Sylvane::write(value, options);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace Sylvane
