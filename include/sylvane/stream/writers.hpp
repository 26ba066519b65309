#pragma once
/// Writing values to a stream as they come: JSON Lines, or the items of one huge array.
///
///     Sylvane::lines_writer lines(std::cout);
///     for (const event& e : events) lines.write(e);      // {"id":1,...}\n{"id":2,...}\n
///     lines.flush();
///
///     Sylvane::array_writer items(file);
///     while (auto f = next_feature()) items.write(*f);   // [{...},{...}]
///     items.close();
///
/// Text is kept in a block and written to the stream when the block is full, on `flush`, and on
/// `close`. Each value is written compact, as `write(value, options)` writes it; a value that
/// cannot be written (`write_error`) is not written at all, and the text stays whole. The
/// destructors write what is left, but cannot report a failure: call `flush` or `close`.

#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/write_value.hpp>

namespace Sylvane {

namespace stream::detail {

/// A block of text on its way to a stream.
class SYLVANE_API text_block {
public:
    /// Throws `std::invalid_argument` for pretty options: the writers of streams write compact.
    text_block(std::ostream& out, const write_options& options, std::size_t block_size);
    text_block(const text_block&) = delete;
    text_block& operator=(const text_block&) = delete;

    /// Appends the compact text of `value`; nothing when it cannot be written (and throws).
    template <class T>
    void append(const T& value) {
        if constexpr (std::is_same_v<T, yojson>) {
            text_ += json_tree::write(value, options_);
        } else {
            derive::detail::require_converters<T>();
            // Straight to the block; the sink appends only when the whole value is written.
            const json_tree::detail::conversion_scope scope;
            json_tree::detail::text_sink sink(text_, options_);
            derive::detail::write_direct(sink, value);
            sink.finish();
        }
    }
    void append(char c) { text_ += c; }
    /// The text in the block, and a way back to a shorter one.
    std::size_t size() const noexcept { return text_.size(); }
    void truncate(std::size_t n) { text_.resize(n); }
    /// Writes the block when it is full.
    void spill() {
        if (text_.size() >= block_size_) write_out();
    }
    /// Writes the block and flushes the stream; throws `std::ios_base::failure` if it fails.
    void flush();

private:
    void write_out();

    std::ostream& out_;
    write_options options_;
    std::size_t block_size_;
    std::string text_;
};

}  // namespace stream::detail

/// Writes one document per line (JSON Lines).
class lines_writer {
public:
    explicit lines_writer(std::ostream& out, const write_options& options = {},
                          std::size_t block_size = 64 * 1024)
        : block_(out, options, block_size) {}
    ~lines_writer() {
        try {
            block_.flush();
        } catch (...) {  // a destructor cannot report it: `flush` does
        }
    }

    /// Writes `value` and a line end.
    template <class T>
    void write(const T& value) {
        block_.append(value);
        block_.append('\n');
        block_.spill();
    }
    void flush() { block_.flush(); }

private:
    stream::detail::text_block block_;
};

/// Writes the items of one array as they come: the text of `write(std::vector<T>)` in the end.
class array_writer {
public:
    explicit array_writer(std::ostream& out, const write_options& options = {},
                          std::size_t block_size = 64 * 1024)
        : block_(out, options, block_size) {
        block_.append('[');
    }
    ~array_writer() {
        try {
            close();
        } catch (...) {  // a destructor cannot report it: `close` does
        }
    }

    /// Writes `value` as the next item.
    template <class T>
    void write(const T& value) {
        if (closed_) throw std::logic_error("array_writer: write after close");
        const std::size_t before = block_.size();
        if (items_ != 0) block_.append(',');
        try {
            block_.append(value);
        } catch (...) {
            block_.truncate(before);
            throw;
        }
        ++items_;
        block_.spill();
    }
    /// Closes the array and flushes the stream; once only.
    void close() {
        if (closed_) return;
        closed_ = true;
        block_.append(']');
        block_.flush();
    }
    /// How many items were written.
    std::size_t size() const noexcept { return items_; }

private:
    stream::detail::text_block block_;
    std::size_t items_ = 0;
    bool closed_ = false;
};

/// Writes each value of `values` as one line of `out` (JSON Lines), and flushes.
template <class Range>
void write_lines(std::ostream& out, const Range& values, const write_options& options = {}) {
    lines_writer lines(out, options);
    for (const auto& v : values) lines.write(v);
    lines.flush();
}

}  // namespace Sylvane
