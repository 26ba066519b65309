#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/line_source.hpp>
#include <sylvane/stream/detail/sources.hpp>

#include <cstring>
#include <string>

namespace Sylvane::stream::detail {

namespace {

/// Where `inner`, a place in the document of `line`, stands in the whole text.
text_position placed(const text_position& inner, const text_line& line) {
    return {line.offset + inner.offset, line.number, inner.column + line.lead};
}

}  // namespace

parse_error placed_in_line(const parse_error& failure, const text_line& line) {
    return parse_error(placed(failure.position(), line), failure.code(),
                       std::string(failure.reason()));
}

located_error placed_in_line(const located_error& failure, const text_line& line) {
    std::optional<text_position> where;
    if (const auto inner = failure.position()) where = placed(*inner, line);
    std::optional<std::string> pointer;
    if (const auto inner = failure.pointer()) pointer = std::string(*inner);
    return located_error(failure, std::move(pointer), where);
}

line_source::line_source(std::istream& in, const stream_options& options)
    : in_(&readable(in)),
      options_(options),
      window_(options.block_size, options.max_value_size, false) {}

line_source::line_source(const std::filesystem::path& path, const stream_options& options)
    : file_(open_file(path)),
      in_(file_.get()),
      options_(options),
      window_(options.block_size, options.max_value_size, false) {}

std::optional<text_line> line_source::next() {
    window_.consume(consumed_);
    consumed_ = 0;
    for (;;) {
        const std::string_view text = window_.pending();
        const void* nl = text.empty() ? nullptr : std::memchr(text.data(), '\n', text.size());
        const std::size_t end =
            nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data())
                          : text.size();
        if (end > options_.max_value_size) {
            throw value_too_long({window_.offset(0), line_ + 1, 1}, options_.max_value_size);
        }
        if (nl == nullptr && !window_.closed()) {
            window_.need_more();  // the line goes on past the pending bytes
            window_.fill(*in_);
            continue;
        }
        if (text.empty()) return std::nullopt;
        ++line_;
        consumed_ = nl != nullptr ? end + 1 : end;
        if (const auto doc = line_document(text.substr(0, end)))
            return text_line{doc->first, line_, window_.offset(doc->second), doc->second};
        window_.consume(consumed_);
        consumed_ = 0;
    }
}

std::optional<text_chunk> line_source::next_chunk(std::size_t size) {
    window_.consume(consumed_);
    consumed_ = 0;
    for (;;) {
        const std::string_view text = window_.pending();
        if (text.size() < size && !window_.closed()) {
            window_.want(size);
            window_.fill(*in_);
            continue;
        }
        if (text.empty()) return std::nullopt;
        // Every whole line pending: what is left is part of a line, so the buffers that the
        // runs are handed in, and handed back, come in one size.
        std::size_t end = text.rfind('\n');
        if (end == std::string_view::npos) {
            if (text.size() > options_.max_value_size) {
                const std::size_t offset = window_.offset(0);
                auto taken = window_.take(text.size());
                return text_chunk{std::move(taken.buffer), taken.capacity,
                                  taken.text.substr(0, options_.max_value_size), offset, true};
            } else if (!window_.closed()) {
                window_.need_more();  // a line goes on past the pending bytes
                window_.fill(*in_);
                continue;
            } else {
                end = text.size() - 1;  // the last line, without a line end
            }
        }
        const std::size_t offset = window_.offset(0);
        auto taken = window_.take(end + 1);
        return text_chunk{std::move(taken.buffer), taken.capacity, taken.text, offset};
    }
}

std::exception_ptr shifted(const std::exception_ptr& placed, std::size_t lines, std::size_t bytes) {
    const auto moved = [&](const text_position& p) {
        return text_position{p.offset + bytes, p.line + lines, p.column};
    };
    try {
        std::rethrow_exception(placed);
    } catch (const located_error& e) {
        std::optional<std::string> pointer;
        if (const auto inner = e.pointer()) pointer = std::string(*inner);
        std::optional<text_position> where;
        if (const auto inner = e.position()) where = moved(*inner);
        return std::make_exception_ptr(located_error(e, std::move(pointer), where));
    } catch (const parse_error& e) {
        return std::make_exception_ptr(
            parse_error(moved(e.position()), e.code(), std::string(e.reason())));
    } catch (...) {
        return std::current_exception();
    }
}

void line_source::fail(std::size_t number, std::exception_ptr placed) {
    if (!options_.skip_bad_lines) std::rethrow_exception(placed);
    ++skipped_count_;
    std::string message;
    try {
        std::rethrow_exception(placed);
    } catch (const std::exception& e) {
        message = e.what();
    }
    if (options_.on_skip) {
        options_.on_skip({number, std::move(message), std::move(placed)});
    } else if (skipped_.size() < options_.max_kept_failures) {
        skipped_.push_back({number, std::move(message), std::move(placed)});
    }
}

}  // namespace Sylvane::stream::detail
