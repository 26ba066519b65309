#pragma once
/// The items of a huge array, typed, one at a time, in bounded memory.
///
///     std::ifstream in("places.geojson");
///     for (const feature& f : Sylvane::read_array_items<feature>(in, "/features")) draw(f);
///
/// The array is the one at a JSON Pointer (the whole text by default). The whole text is
/// checked as it is read: what comes before the array, each item, and after it the rest of the
/// document (an unclosed document or text after it fails at the end). Memory is the longest
/// item, or value stepped over on the way, plus one block (`stream_options`). Failures are
/// `parse_error` and `located_error`, placed in the whole text, the pointer leading from its
/// root (`/features/5121/geometry`); an array that is not there is `no_array_at_pointer`.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

#include <sylvane/stream/detail/read_item.hpp>
#include <sylvane/stream/detail/sources.hpp>
#include <sylvane/stream/detail/value_iterator.hpp>
#include <sylvane/stream/detail/walks.hpp>
#include <sylvane/stream/stream_options.hpp>

namespace Sylvane {

/// The items of an array in a text read from a stream, as `T`s: a range to iterate once.
template <class T>
class array_items_reader {
public:
    array_items_reader(std::istream& in, std::string_view pointer, const stream_options& options)
        : state_(std::make_unique<state>(stream::detail::readable(in), pointer, options)) {}
    array_items_reader(const std::filesystem::path& path, std::string_view pointer,
                       const stream_options& options)
        : file_(stream::detail::open_file(path)),
          state_(std::make_unique<state>(*file_, pointer, options)) {}

    using iterator = stream::detail::value_iterator<array_items_reader, T>;

    /// Reads the first value.
    iterator begin() { return iterator(next() ? this : nullptr); }
    std::default_sentinel_t end() const noexcept { return {}; }

    /// Reads the next item; false after the last, once the rest of the text is checked.
    bool next() {
        state& s = *state_;
        s.current.reset();
        for (;;) {
            stream::detail::step at = s.walk.advance(s.window);
            if (at == stream::detail::step::end) return false;
            if (at == stream::detail::step::item) {
                at = stream::detail::read_item<T>(s.window, s.walk, s.current);
                if (at == stream::detail::step::item) return true;
            }
            s.window.fill(s.in);
        }
    }
    /// The item read last.
    T& value() { return *state_->current; }

private:
    struct state {
        state(std::istream& source, std::string_view pointer, const stream_options& options)
            : in(source),
              window(options.block_size, options.max_value_size),
              walk(pointer, options.read) {}
        std::istream& in;
        stream::detail::text_window window;
        stream::detail::array_walk walk;
        std::optional<T> current;
    };
    std::unique_ptr<std::ifstream> file_;
    std::unique_ptr<state> state_;
};

/// The items of the array at `pointer` (the whole text by default) of the text of `in`.
template <class T>
array_items_reader<T> read_array_items(std::istream& in, std::string_view pointer = "",
                                       const stream_options& options = {}) {
    return array_items_reader<T>(in, pointer, options);
}
/// The items of the array at `pointer` of the file at `path`; throws `std::system_error` if it
/// cannot be opened.
template <class T>
array_items_reader<T> read_array_items(const std::filesystem::path& path,
                                       std::string_view pointer = "",
                                       const stream_options& options = {}) {
    return array_items_reader<T>(path, pointer, options);
}

}  // namespace Sylvane
