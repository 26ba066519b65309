#pragma once
// The unread part of a text that arrives in pieces, for the readers of streams; not part of the
// API.
//
// The readers of streams read one value (or one token of the structure around values) at a
// time, with the same cursor as `read_as`, from the start of the window's unread bytes. A read
// that meets the end of those bytes before its value is complete is not a failure while more
// text may come: the window takes more (`need_more`), and the read is tried again from the same
// start. Each try waits for at least twice the bytes of the last, so a value split over many
// pieces is read again only a few times, in time linear in its size. Memory is the longest
// value plus one block, never the whole text.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/read.hpp>

namespace Sylvane {
class located_error;
}  // namespace Sylvane

namespace Sylvane::stream::detail {

using json_tree::parse_errc;
using json_tree::parse_error;
using json_tree::read_options;
using json_tree::text_position;
using json_tree::detail::cursor_fault;

/// The failure of a value that starts at `where` and is longer than `limit` bytes.
SYLVANE_API parse_error value_too_long(const text_position& where, std::size_t limit);

class SYLVANE_API text_window {
public:
    /// A window that takes `block_size` bytes at a time from a stream, and refuses a value
    /// longer than `max_value` bytes; it counts the lines of the bytes it drops, for `position`,
    /// unless its reader counts them itself.
    text_window(std::size_t block_size, std::size_t max_value, bool counts_lines = true);
    text_window(text_window&&) noexcept;
    text_window& operator=(text_window&&) noexcept;
    ~text_window();

    /// The bytes not yet consumed; valid until the next `append` or `fill`. The cursor's
    /// `text_padding` bytes after them may be read.
    std::string_view pending() const noexcept { return {data_.get() + begin_, end_ - begin_}; }
    /// The first `n` pending bytes are read.
    void consume(std::size_t n) noexcept {
        begin_ += n;
        wanted_ = 1;
    }
    /// Whether the text has ended: nothing comes after the pending bytes.
    bool closed() const noexcept { return closed_; }
    void close() noexcept { closed_ = true; }
    /// The next try waits for `n` pending bytes.
    void want(std::size_t n) noexcept { wanted_ = n; }
    /// Whether enough bytes are pending for the next try (or the text has ended).
    bool ready() const noexcept { return closed_ || end_ - begin_ >= wanted_; }

    /// Adds `chunk` to the pending bytes.
    void append(std::string_view chunk);

    /// The first `n` pending bytes, consumed, in the buffer that holds them (with the cursor's
    /// `text_padding` bytes after them, which may be read): handed over rather than copied,
    /// for a reader on another thread. The window goes on in a buffer of its own, the pending
    /// bytes after the `n` moved there.
    struct taken {
        std::unique_ptr<char[]> buffer;
        std::string_view text;
        std::size_t capacity = 0;  // of `buffer`, its padding not counted
    };
    taken take(std::size_t n);
    /// Keeps `buffer`, of `capacity` bytes and the padding, which a `take` handed over, for the
    /// next buffer the window needs: a reader on other threads hands its buffers back rather
    /// than freeing one and allocating another for every run of text. One is kept at most.
    void reuse(std::unique_ptr<char[]> buffer, std::size_t capacity) noexcept;
    /// Reads from `in` until the next try is ready, at least a block; closes at the end of
    /// `in`. Throws `std::ios_base::failure` when `in` fails other than by ending.
    void fill(std::istream& in);

    /// The value at the start of the pending bytes runs past their end: the next try waits for
    /// twice as many. Throws `parse_error` (`value_too_long`) when they already exceed the
    /// longest value allowed.
    void need_more();
    /// Whether a failure of the text with `code` at pending offset `at` may come from the end
    /// of the pending bytes cutting a value short, so that more text may mend it.
    bool cut_short(parse_errc code, std::size_t at) const noexcept;

    /// Where pending offset `at` stands in the whole text (its line and column only if the
    /// window counts lines).
    text_position position(std::size_t at) const noexcept;
    /// The offset in the whole text of pending offset `at`.
    std::size_t offset(std::size_t at) const noexcept { return base_.offset + begin_ + at; }
    /// `failure`, met reading the pending bytes from offset `base` on, with its place in the
    /// whole text.
    parse_error placed(const parse_error& failure, std::size_t base) const;
    /// The failure of the text that `fault` records, met by a cursor over the pending bytes
    /// from offset `base` on, as the reader reports it.
    parse_error placed(const cursor_fault& fault, std::size_t base,
                       const read_options& options) const;
    /// `failure`, met converting the value at pending offset `base`, with its place in the
    /// whole text; `pointer` leads from the document's root to that value.
    located_error placed(const located_error& failure, std::size_t base,
                         std::string_view pointer) const;

private:
    /// Makes room for `n` more bytes after the pending ones, dropping the consumed ones.
    void make_room(std::size_t n);
    /// Moves the bytes from buffer offset `from` to the end of the pending ones to the start of
    /// a new buffer of `capacity` bytes, whose padding is set, and returns the old buffer.
    std::unique_ptr<char[]> move_to_new_buffer(std::size_t from, std::size_t capacity);
    /// A buffer of `capacity` bytes and the padding after them, not set.
    static std::unique_ptr<char[]> allocate(std::size_t capacity);
    /// Sets the padding after the pending bytes, so that a cursor may read it.
    void pad() noexcept;
    /// `base_` moved past the first `n` bytes of the buffer, which are dropped.
    void drop(std::size_t n) noexcept;

    std::unique_ptr<char[]> data_;
    std::size_t capacity_ = 0;
    std::unique_ptr<char[]> spare_;  // from `reuse`
    std::size_t spare_capacity_ = 0;
    std::size_t begin_ = 0;  // the first pending byte
    std::size_t end_ = 0;    // after the last
    std::size_t wanted_ = 1;
    std::size_t block_size_;
    std::size_t max_value_;
    bool closed_ = false;
    bool counts_lines_;
    text_position base_;  // where `data_[0]` stands in the whole text
};

}  // namespace Sylvane::stream::detail
