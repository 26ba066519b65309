#pragma once
// The lines of a JSON Lines text, read from a stream in blocks; not part of the API.

#include <cstddef>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/stream/detail/text_window.hpp>
#include <sylvane/stream/stream_options.hpp>

namespace Sylvane::stream::detail {

class SYLVANE_API line_source {
public:
    /// The lines of `in`, which must be readable (`std::ios_base::failure` otherwise).
    line_source(std::istream& in, const stream_options& options);
    /// The lines of the file at `path` (`std::system_error` if it cannot be opened).
    line_source(const std::filesystem::path& path, const stream_options& options);

    /// The next line that holds a document, without its line end and any leading record
    /// separators (blank lines are passed over); nothing at the end of the text. The view lasts
    /// until the next call.
    std::optional<std::string_view> next();
    /// The number of the line `next` gave, from 1.
    std::size_t line() const noexcept { return line_; }

    /// `failure`, met reading the line `next` gave, placed in the whole text; thrown, or
    /// recorded when bad lines are skipped.
    void fail(const parse_error& failure);
    void fail(const located_error& failure);

    const std::vector<skipped_line>& skipped() const noexcept { return skipped_; }
    std::size_t skipped_count() const noexcept { return skipped_count_; }
    const stream_options& options() const noexcept { return options_; }

private:
    template <class Failure>
    void keep(const Failure& placed);

    std::unique_ptr<std::ifstream> file_;
    std::istream* in_;
    stream_options options_;
    text_window window_;
    std::size_t line_ = 0;
    std::size_t start_ = 0;     // the pending offset of the line `next` gave
    std::size_t consumed_ = 0;  // pending bytes read by the last `next`, consumed by the next
    std::vector<skipped_line> skipped_;
    std::size_t skipped_count_ = 0;
};

}  // namespace Sylvane::stream::detail
