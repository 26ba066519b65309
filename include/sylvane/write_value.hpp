#pragma once
/// Writing a value as JSON text in one call, without a tree.
///
///     std::string text = Sylvane::write(timeline);
///
/// The text is byte for byte that of `write(yojson_of(value), options)`, failures included; the
/// value is written straight to the text (`direct_write.hpp`), and only parts without a direct
/// writer make a tree of their own. Pretty printing, and a write that fails, go through the
/// value's whole tree.

#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>

#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane {

namespace derive::detail {

/// The compact text of `value`, or nothing when the direct path gives up.
template <class T>
std::optional<std::string> write_direct_text(const T& value, const write_options& options) {
    try {
        // Parts written through trees make them in one arena, not node by node on the heap.
        const json_tree::detail::conversion_scope scope;
        std::optional<std::string> text(std::in_place);
        text_sink out(*text, options);
        write_direct(out, value);
        out.finish();
        return text;
    } catch (...) {
        // Any failure: the tree path raises it as `write(yojson_of(value))` does, from the
        // failure it meets first.
        return std::nullopt;
    }
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
        if (!options.pretty) {
            if (auto text = derive::detail::write_direct_text(value, options))
                return std::move(*text);
        }
        ++derive::detail::trees_written();
        return json_tree::write(yojson_of(value), options);
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
