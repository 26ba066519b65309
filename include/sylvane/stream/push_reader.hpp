#pragma once
/// Values from text that arrives in pieces (a socket, a decompressor): fed as it comes, taken
/// as soon as they are complete.
///
///     Sylvane::push_reader<event> reader;
///     while (auto chunk = receive()) {
///         reader.feed(*chunk);
///         while (auto e = reader.next()) handle(*e);
///     }
///     reader.finish();                              // a value cut short fails here
///     while (auto e = reader.next()) handle(*e);
///
/// The text is JSON values one after another, apart by white space (JSON Lines is one such
/// text; RFC 7464 record separators are taken too). The values and failures are the same
/// whatever the pieces: failures are `parse_error` and `located_error` placed in the whole
/// text. After a failure the reader gives nothing more. Memory is the longest value plus the
/// pieces not yet read.

#include <optional>
#include <string_view>

#include <sylvane/stream/detail/read_item.hpp>
#include <sylvane/stream/detail/walks.hpp>
#include <sylvane/stream/stream_options.hpp>

namespace Sylvane {

template <class T>
class push_reader {
public:
    explicit push_reader(const stream_options& options = {})
        : window_(options.block_size, options.max_value_size), values_(options.read) {}

    /// Adds the next piece of the text.
    void feed(std::string_view chunk) { window_.append(chunk); }
    /// The text has ended: what is left is read as it is.
    void finish() noexcept { window_.close(); }

    /// The next complete value; nothing when none is ready (feed more, or `finish`), or after
    /// the last.
    std::optional<T> next() {
        std::optional<T> value;
        if (failed_ || !window_.ready()) return value;
        failed_ = true;  // until the read below returns
        for (;;) {
            stream::detail::step at = values_.advance(window_);
            if (at == stream::detail::step::item)
                at = stream::detail::read_item<T>(window_, values_, value);
            if (at != stream::detail::step::more || !window_.ready()) break;
        }
        failed_ = false;
        return value;
    }

private:
    stream::detail::text_window window_;
    stream::detail::value_sequence values_;
    bool failed_ = false;
};

}  // namespace Sylvane
