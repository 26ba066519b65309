#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/text_window.hpp>

#include "../json_tree/lexer.hpp"

#include <algorithm>
#include <cstring>
#include <istream>
#include <string>
#include <utility>

namespace Sylvane::stream::detail {

namespace {

/// `at` moved past the `n` bytes at `p`.
text_position advanced(text_position at, const char* p, std::size_t n) noexcept {
    if (n == 0) return at;
    const char* const end = p + n;
    const char* line = nullptr;  // the start of the last line begun in the bytes
    for (const char* q = p;
         (q = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(end - q))));) {
        ++at.line;
        line = ++q;
    }
    at.column = line != nullptr ? static_cast<std::size_t>(end - line) + 1 : at.column + n;
    at.offset += n;
    return at;
}

}  // namespace

parse_error value_too_long(const text_position& where, std::size_t limit) {
    return parse_error(where, parse_errc::value_too_long,
                       "value longer than " + std::to_string(limit) + " bytes");
}

text_window::text_window(std::size_t block_size, std::size_t max_value, bool counts_lines)
    : block_size_(std::max<std::size_t>(block_size, 1)),
      max_value_(max_value),
      counts_lines_(counts_lines) {}
text_window::text_window(text_window&&) noexcept = default;
text_window& text_window::operator=(text_window&&) noexcept = default;
text_window::~text_window() = default;

std::unique_ptr<char[]> text_window::allocate(std::size_t capacity) {
    return std::unique_ptr<char[]>(
        new char[capacity + json_tree::detail::text_cursor::text_padding]);
}

void text_window::pad() noexcept {
    // A cursor over any pending bytes may read past their end (`text_cursor::text_is_padded`):
    // there lie the bytes read after them, or these.
    std::memset(data_.get() + end_, 0, json_tree::detail::text_cursor::text_padding);
}

void text_window::drop(std::size_t n) noexcept {
    if (counts_lines_) {
        base_ = advanced(base_, data_.get(), n);
    } else {
        base_.offset += n;
    }
}

void text_window::make_room(std::size_t n) {
    const std::size_t pending = end_ - begin_;
    if (capacity_ - end_ >= n) return;
    if (begin_ != 0) {
        drop(begin_);
        if (capacity_ - pending >= n) {
            std::memmove(data_.get(), data_.get() + begin_, pending);
            begin_ = 0;
            end_ = pending;
            pad();
            return;
        }
    }
    move_to_new_buffer(begin_, std::max(capacity_ * 2, pending + n));
}

std::unique_ptr<char[]> text_window::move_to_new_buffer(std::size_t from, std::size_t capacity) {
    const std::size_t kept = end_ - from;
    std::unique_ptr<char[]> data;
    if (spare_ != nullptr && spare_capacity_ >= capacity) {
        data = std::move(spare_);
        capacity = spare_capacity_;
    } else {
        data = allocate(capacity);
    }
    if (kept != 0) std::memcpy(data.get(), data_.get() + from, kept);
    std::swap(data_, data);
    capacity_ = capacity;
    begin_ = 0;
    end_ = kept;
    pad();
    return data;
}

void text_window::append(std::string_view chunk) {
    if (chunk.empty()) return;
    make_room(chunk.size());
    std::memcpy(data_.get() + end_, chunk.data(), chunk.size());
    end_ += chunk.size();
    pad();
}

text_window::taken text_window::take(std::size_t n) {
    drop(begin_ + n);
    const std::string_view text(data_.get() + begin_, n);
    // Room for the bytes left and the next block after them, which `fill` reads next, rounded
    // up to an eighth of a block: the bytes left are usually part of a line, so buffers come in
    // one size and those handed back (`reuse`) fit the next take.
    const std::size_t capacity = capacity_;
    const std::size_t step = std::max<std::size_t>(block_size_ / 8, 1);
    const std::size_t needed = end_ - begin_ - n + block_size_;
    auto buffer = move_to_new_buffer(begin_ + n, (needed + step - 1) / step * step);
    wanted_ = 1;
    return {std::move(buffer), text, capacity};
}

void text_window::reuse(std::unique_ptr<char[]> buffer, std::size_t capacity) noexcept {
    if (buffer == nullptr || (spare_ != nullptr && spare_capacity_ >= capacity)) return;
    spare_ = std::move(buffer);
    spare_capacity_ = capacity;
}

void text_window::fill(std::istream& in) {
    const std::size_t goal = std::max(end_ - begin_ + block_size_, wanted_);
    while (!closed_ && end_ - begin_ < goal) {
        make_room(goal - (end_ - begin_));
        const auto room = static_cast<std::streamsize>(capacity_ - end_);
        in.read(data_.get() + end_, room);
        end_ += static_cast<std::size_t>(in.gcount());
        pad();
        if (in.bad()) throw std::ios_base::failure("reading a JSON stream: the stream failed");
        if (in.gcount() < room) closed_ = true;  // the end of the stream
    }
}

void text_window::need_more() {
    const std::size_t pending = end_ - begin_;
    if (pending > max_value_) {
        throw value_too_long(position(0), max_value_);
    }
    wanted_ = std::min(std::max(pending * 2, pending + 1), max_value_ + 1);
}

bool text_window::cut_short(parse_errc code, std::size_t at) const noexcept {
    if (closed_) return false;
    // A string or comment that does not close is reported where it opens; every other failure
    // that the end makes is met within an escape's length of it (a surrogate pair is 12 bytes).
    return code == parse_errc::unterminated_string || code == parse_errc::unterminated_comment ||
           at + 16 >= end_ - begin_;
}

text_position text_window::position(std::size_t at) const noexcept {
    return advanced(base_, data_.get(), begin_ + at);
}

parse_error text_window::placed(const parse_error& failure, std::size_t base) const {
    return parse_error(position(base + failure.offset()), failure.code(),
                       std::string(failure.reason()));
}

parse_error text_window::placed(const cursor_fault& fault, std::size_t base,
                                const read_options& options) const {
    const char* text = data_.get() + begin_;
    return parse_error(
        position(base + fault.at), fault.code,
        json_tree::detail::fault_reason(fault.code, text + base + fault.at, data_.get() + end_,
                                        fault.word, options.max_depth));
}

located_error text_window::placed(const located_error& failure, std::size_t base,
                                  std::string_view pointer) const {
    std::optional<std::string> at;
    if (const auto inner = failure.pointer()) at = std::string(pointer) + std::string(*inner);
    std::optional<text_position> where;
    if (const auto inner = failure.position()) where = position(base + inner->offset);
    return located_error(failure, std::move(at), where);
}

}  // namespace Sylvane::stream::detail
