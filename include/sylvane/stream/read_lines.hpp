#pragma once
/// JSON Lines, typed: one document per line, read from a stream in blocks.
///
///     std::ifstream in("events.jsonl");
///     for (const event& e : Sylvane::read_lines<event>(in)) handle(e);
///
/// Memory is the longest line plus one block (`stream_options`), never the file; with
/// `threads`, two blocks per thread and the values read from them. The values come in the file's
/// order either way. Blank lines, `\r\n` line ends, RFC 7464 record separators and a last line
/// without a line end are taken. A line that fails throws `parse_error` or `located_error`
/// placed in the whole stream (line and column; the pointer inside the line's document), or, with
/// `skip_bad_lines`, is recorded in `skipped()` and passed over. `T = yojson` gives trees.

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/line_source.hpp>
#include <sylvane/stream/detail/parallel_lines.hpp>
#include <sylvane/stream/detail/read_document.hpp>
#include <sylvane/stream/detail/value_iterator.hpp>
#include <sylvane/stream/stream_options.hpp>

namespace Sylvane {

/// The documents of a JSON Lines text as `T`s, one at a time: a range to iterate once.
template <class T>
class lines_reader {
public:
    lines_reader(std::istream& in, const stream_options& options)
        : source_(std::make_unique<stream::detail::line_source>(in, options)),
          reader_(options.read) {}
    lines_reader(const std::filesystem::path& path, const stream_options& options)
        : source_(std::make_unique<stream::detail::line_source>(path, options)),
          reader_(options.read) {}

    using iterator = stream::detail::value_iterator<lines_reader, T>;

    /// Reads the first document.
    iterator begin() { return iterator(next() ? this : nullptr); }
    std::default_sentinel_t end() const noexcept { return {}; }

    /// Reads the next document; false at the end of the text.
    bool next() {
        current_.reset();
        shared_ = nullptr;
        if (source_->options().threads > 1) {
            if (!parallel_)
                parallel_ = std::make_unique<stream::detail::parallel_lines<T>>(
                    *source_, source_->options().threads);
            return parallel_->next(shared_, line_);
        }
        while (const auto line = source_->next()) {
            line_ = line->number;
            std::exception_ptr failure;
            stream::detail::read_line<T>(*line, current_, failure, reader_);
            if (!failure) return true;
            source_->fail(line_, std::move(failure));
        }
        return false;
    }
    /// The document read last.
    T& value() { return shared_ != nullptr ? *shared_ : *current_; }
    /// The number of the line it stands on, from 1.
    std::size_t line() const noexcept { return line_; }
    /// The lines passed over (`skip_bad_lines`), each with its failure, up to
    /// `max_kept_failures`; `skipped_count()` counts them all.
    const std::vector<skipped_line>& skipped() const noexcept { return source_->skipped(); }
    std::size_t skipped_count() const noexcept { return source_->skipped_count(); }

private:
    std::unique_ptr<stream::detail::line_source> source_;
    std::unique_ptr<stream::detail::parallel_lines<T>> parallel_;
    stream::detail::document_reader<T> reader_;
    std::optional<T> current_;
    T* shared_ = nullptr;  // with threads: the value, in place in its batch
    std::size_t line_ = 0;
};

/// The JSON Lines text of `in` as `T`s.
template <class T>
lines_reader<T> read_lines(std::istream& in, const stream_options& options = {}) {
    return lines_reader<T>(in, options);
}
/// The JSON Lines file at `path` as `T`s; throws `std::system_error` if it cannot be opened.
template <class T>
lines_reader<T> read_lines(const std::filesystem::path& path, const stream_options& options = {}) {
    return lines_reader<T>(path, options);
}

}  // namespace Sylvane
