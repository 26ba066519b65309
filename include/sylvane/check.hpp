#pragma once
/// Every failure of a JSON document as a `T`, not only the first.
///
///     Sylvane::check_result r = Sylvane::check<config>(text);          // or check_file<config>
///     if (!r) r.print(std::cerr, "config.json");
///     // config.json:3:14: /servers/0/port: uint16_of_yojson: integer out of range
///     // config.json:7:5: /servers/1: server_of_yojson: the following record elements were
///     undefined: host
///
/// The first failure is the one `read_as<T>` would raise, with its message, JSON Pointer, line
/// and column; the others follow in the order a reader meets them, up to
/// `check_options::max_failures` (100 by default; `check_result::more` counts the rest). Text
/// that is not JSON has one failure, the reader's. A document that converts costs what
/// `read_as<T>` costs: it is read straight from the text the same way, and only when that stops
/// is it read again, with positions, and walked for every failure (`check/detail/collect.hpp`).
/// Converters' exceptions other than conversion failures, and `std::bad_alloc`, reach the caller
/// as they are.

#include <filesystem>
#include <optional>
#include <string_view>
#include <type_traits>

#include <sylvane/base/export.hpp>
#include <sylvane/check/check_result.hpp>
#include <sylvane/check/detail/collect.hpp>
#include <sylvane/check/detail/collect_sum.hpp>
#include <sylvane/check/detail/failure_sink.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/read_as.hpp>

namespace Sylvane {

namespace derive::detail {

/// `text` read with positions; nothing if it is not JSON, its one failure then put in `out`.
SYLVANE_API std::optional<positioned> read_for_check(std::string_view text,
                                                     const check_options& options,
                                                     check_result& out);

/// Every failure of `text` as a `T`, read with positions and walked.
template <class T>
check_result collect_failures(std::string_view text, const check_options& options) {
    check_result out;
    const std::optional<positioned> doc = read_for_check(text, options, out);
    if (!doc) return out;
    failure_sink sink(*doc, options.max_failures);
    collect<T>(sink, doc->tree);
    // The direct read stopped, so the converter fails; should the walk miss it, it is kept.
    if (sink.count() == 0) collect_leaf<T>(sink, doc->tree);
    return std::move(sink).take();
}

}  // namespace derive::detail

/// Every failure of the JSON text `text` as a `T`; none if `read_as<T>(text, options.read)`
/// would succeed.
template <class T>
check_result check(std::string_view text, const check_options& options = {}) {
    if constexpr (std::is_move_constructible_v<T> && !std::is_same_v<T, yojson>) {
        json_tree::detail::text_cursor c(text, options.read);
        try {
            if (derive::detail::read_direct_text<T>(c)) return {};
        } catch (const parse_error&) {
            // Found again, with positions, below.
        } catch (const Treeform::Of_yojson_error&) {
            // Found again below, with the document's other failures.
        }
    } else {
        try {
            (void)of_yojson<T>(read(text, options.read));
            return {};
        } catch (const parse_error&) {
        } catch (const Treeform::Of_yojson_error&) {
        }
    }
    return derive::detail::collect_failures<T>(text, options);
}

/// `check<T>` on the text of the file at `path`; throws `std::system_error` if it cannot be
/// read.
template <class T>
check_result check_file(const std::filesystem::path& path, const check_options& options = {}) {
    return check<T>(derive::detail::file_text(path), options);
}

}  // namespace Sylvane
