#pragma once
// The lines of a JSON Lines text, read from a stream in blocks; not part of the API.

#include <cstddef>
#include <exception>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/stream/detail/text_window.hpp>
#include <sylvane/stream/stream_options.hpp>

namespace Sylvane::stream::detail {

/// A line that holds a document: its text (without its line end and any leading record
/// separators), its number from 1, the offset of the text's first byte in the whole text, and
/// the bytes of the line before it.
struct text_line {
    std::string_view text;
    std::size_t number = 0;
    std::size_t offset = 0;
    std::size_t lead = 0;
};

/// The document of `line` (without its line end): the text after any RFC 7464 record
/// separators, and how many there were; nothing for a blank line.
inline std::optional<std::pair<std::string_view, std::size_t>> line_document(
    std::string_view line) {
    std::size_t lead = 0;
    while (lead < line.size() && line[lead] == '\x1e') ++lead;
    line.remove_prefix(lead);
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) return std::nullopt;
    return std::pair{line, lead};
}

/// A run of whole lines of the text, in a buffer of its own with the cursor's padding after
/// them, and the offset of its first byte in the whole text.
struct text_chunk {
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;  // of `buffer`, the padding not counted
    std::string_view text;
    std::size_t offset = 0;
    bool too_long = false;  ///< a line longer than the longest allowed, cut at that length
};

/// The failure in `placed`, a `parse_error` or `located_error`, moved `lines` lines and `bytes`
/// bytes further into the text.
SYLVANE_API std::exception_ptr shifted(const std::exception_ptr& placed, std::size_t lines,
                                       std::size_t bytes);

/// Each line of `chunk` that holds a document, as `line_source::next` gives them, its number
/// and offset counted from the chunk's start; returns how many lines the chunk has.
template <class Each>
std::size_t each_line(std::string_view chunk, Each each);

/// `failure`, met reading the document of `line` as a text of its own, placed in the whole text.
SYLVANE_API parse_error placed_in_line(const parse_error& failure, const text_line& line);
SYLVANE_API located_error placed_in_line(const located_error& failure, const text_line& line);

class SYLVANE_API line_source {
public:
    /// The lines of `in`, which must be readable (`std::ios_base::failure` otherwise).
    line_source(std::istream& in, const stream_options& options);
    /// The lines of the file at `path` (`std::system_error` if it cannot be opened).
    line_source(const std::filesystem::path& path, const stream_options& options);

    /// The next line that holds a document (blank lines are passed over); nothing at the end
    /// of the text. Its text lasts until the next call.
    std::optional<text_line> next();
    /// The next run of whole lines: every whole line read once `size` bytes are (about a
    /// block; more when a line is longer), for another thread to split with `each_line`;
    /// nothing at the end of the text. It holds the buffer its bytes were read into (never a
    /// copy). A line longer than the longest allowed is a run of its own, with no line end,
    /// that many bytes long.
    std::optional<text_chunk> next_chunk(std::size_t size);
    /// Takes back the buffer of a run read to the end, for a later run.
    void reuse(text_chunk&& spent) noexcept {
        window_.reuse(std::move(spent.buffer), spent.capacity);
    }

    /// A failure of the document of line `number`, placed: thrown, or recorded when bad lines
    /// are skipped.
    void fail(std::size_t number, std::exception_ptr placed);

    const std::vector<skipped_line>& skipped() const noexcept { return skipped_; }
    std::size_t skipped_count() const noexcept { return skipped_count_; }
    const stream_options& options() const noexcept { return options_; }

private:
    std::unique_ptr<std::ifstream> file_;
    std::istream* in_;
    stream_options options_;
    text_window window_;
    std::size_t line_ = 0;
    std::size_t consumed_ = 0;  // pending bytes read by the last `next`, consumed by the next
    std::vector<skipped_line> skipped_;
    std::size_t skipped_count_ = 0;
};

template <class Each>
std::size_t each_line(std::string_view chunk, Each each) {
    std::size_t number = 0;
    for (std::size_t at = 0; at < chunk.size();) {
        ++number;
        std::size_t end = chunk.find('\n', at);
        if (end == std::string_view::npos) end = chunk.size();
        if (const auto doc = line_document(chunk.substr(at, end - at)))
            each(text_line{doc->first, number, at + doc->second, doc->second});
        at = end + 1;
    }
    return number;
}

/// Reads the document of `line` into `out` with `read(out, text)`; its failure, placed, into
/// `failure`. Other exceptions (`std::bad_alloc`, a converter's own) go through.
template <class T, class Read>
void read_line(const text_line& line, std::optional<T>& out, std::exception_ptr& failure,
               Read& read) {
    try {
        read(out, line.text);
    } catch (const located_error& e) {
        failure = std::make_exception_ptr(placed_in_line(e, line));
    } catch (const parse_error& e) {
        failure = std::make_exception_ptr(placed_in_line(e, line));
    }
}

}  // namespace Sylvane::stream::detail
