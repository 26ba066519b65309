#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/line_source.hpp>
#include <sylvane/stream/detail/sources.hpp>

#include <cstring>

namespace Sylvane::stream::detail {

namespace {

bool blank(std::string_view s) {
    return s.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

line_source::line_source(std::istream& in, const stream_options& options)
    : in_(&readable(in)), options_(options), window_(options.block_size, options.max_value_size) {}

line_source::line_source(const std::filesystem::path& path, const stream_options& options)
    : file_(open_file(path)),
      in_(file_.get()),
      options_(options),
      window_(options.block_size, options.max_value_size) {}

std::optional<std::string_view> line_source::next() {
    window_.consume(consumed_);
    consumed_ = 0;
    for (;;) {
        const std::string_view text = window_.pending();
        const void* nl = std::memchr(text.data(), '\n', text.size());
        if (nl == nullptr && !window_.closed()) {
            window_.need_more();  // the line goes on past the pending bytes
            window_.fill(*in_);
            continue;
        }
        if (text.empty()) return std::nullopt;
        const std::size_t end =
            nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data())
                          : text.size();
        if (end > options_.max_value_size) {
            window_.need_more();  // throws: the line is too long
        }
        ++line_;
        std::string_view line = text.substr(0, end);
        consumed_ = nl != nullptr ? end + 1 : end;
        // RFC 7464 puts a record separator before each document.
        std::size_t from = 0;
        while (from < line.size() && line[from] == '\x1e') ++from;
        line.remove_prefix(from);
        if (blank(line)) {
            window_.consume(consumed_);
            consumed_ = 0;
            continue;
        }
        start_ = from;
        return line;
    }
}

template <class Failure>
void line_source::keep(const Failure& placed) {
    if (!options_.skip_bad_lines) throw placed;
    ++skipped_count_;
    if (options_.on_skip) {
        options_.on_skip({line_, placed.what(), std::make_exception_ptr(placed)});
    } else if (skipped_.size() < options_.max_kept_failures) {
        skipped_.push_back({line_, placed.what(), std::make_exception_ptr(placed)});
    }
}

void line_source::fail(const parse_error& failure) {
    keep(window_.placed(failure, start_));
}

void line_source::fail(const located_error& failure) {
    keep(window_.placed(failure, start_, ""));
}

}  // namespace Sylvane::stream::detail
