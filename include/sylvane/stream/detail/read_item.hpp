#pragma once
// Reading one value of a stream, typed: straight from the window's text with the cursor, as
// `read_as` reads a whole text; not part of the API.

#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/text_window.hpp>
#include <sylvane/stream/detail/walks.hpp>

namespace Sylvane::stream::detail {

/// The value that does not read straight from the text, read as `read_as` reads a whole text
/// that stops: its tree converted, its failure located and placed in the whole text.
template <class T, class Walk>
step read_item_after_stop(text_window& w, Walk& walk, std::optional<T>& out,
                          const cursor_fault& fault, const Treeform::Of_yojson_error* raised) {
    const read_options& options = walk.options();
    const std::optional<std::size_t> end = value_end(w, walk.item_depth(), options);
    if (!end) return step::more;
    const std::string_view text = w.pending().substr(0, *end);
    read_options inner = options;  // the value is read as a text of its own
    inner.max_depth -= walk.item_depth();
    try {
        if (raised != nullptr) derive::detail::raise_noted(text, inner, fault, *raised);
        SYLVANE_COUNT_ROUTE(trees_read);
        std::optional<T> value;
        derive::detail::read_tree_value(text, inner, fault, &value,
                                        &derive::detail::emplace_converted<T, std::optional<T>>);
        const step s = walk.after_item(w, *end);
        if (s == step::item) out.emplace(std::move(*value));
        return s;
    } catch (const located_error& failure) {
        throw w.placed(failure, 0, walk.item_pointer());
    }
}

/// Reads the value at the start of `w`'s pending bytes into `out`, and in an array the comma or
/// bracket after it: `item` (consumed), or `more` when the window needs more text first. Throws
/// the value's failure, placed in the whole text.
template <class T, class Walk>
step read_item(text_window& w, Walk& walk, std::optional<T>& out) {
    const read_options& options = walk.options();
    json_tree::detail::text_cursor c(w.pending(), options, walk.item_depth());
    c.text_is_padded();  // as the window keeps it
    c.read_trees_with(walk.trees());
    bool another = false;
    try {
        out.emplace(derive::detail::direct_value<T>{c});  // made in place in `out`
        if constexpr (std::is_same_v<Walk, array_walk>) {
            if (!c.failed()) another = c.next_element();
        }
    } catch (const derive::detail::cursor_stopped&) {
    } catch (const parse_error& failure) {
        // A part read as a tree, by the reader.
        out.reset();
        if (!w.cut_short(failure.code(), failure.offset())) throw w.placed(failure, 0);
        w.need_more();
        return step::more;
    } catch (const Treeform::Of_yojson_error& failure) {
        out.reset();
        return read_item_after_stop(w, walk, out, c.fault(), &failure);
    }
    if (try_again(w, c, options)) {
        out.reset();
        return step::more;
    }
    if (c.failed()) {
        out.reset();
        return read_item_after_stop<T>(w, walk, out, c.fault(), nullptr);
    }
    walk.item_done(w, c.offset(), another);
    return step::item;
}

}  // namespace Sylvane::stream::detail
