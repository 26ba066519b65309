#pragma once
/// How the readers of streams read: JSON Lines, the items of a huge array, text in pieces.

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

#include <sylvane/json_tree/read.hpp>

namespace Sylvane {

/// A line that `read_lines` skipped (`stream_options::skip_bad_lines`).
struct skipped_line {
    std::size_t line = 0;        ///< its number, from 1
    std::string message;         ///< the failure's `what()`: position in the whole stream
    std::exception_ptr failure;  ///< the `parse_error` or `located_error` itself
};

struct stream_options {
    /// What each document may hold, as for `read` and `read_as`.
    read_options read{};
    /// Bytes taken from the stream at a time.
    std::size_t block_size = 256 * 1024;
    /// The longest line, array item or value, in bytes; a longer one fails with
    /// `parse_errc::value_too_long` instead of growing memory without bound. Memory is about
    /// the longest value read plus one block.
    std::size_t max_value_size = std::size_t{64} << 20;
    /// `read_lines`: how many threads read the documents. With more than one, blocks of lines
    /// are read by the calling thread and `threads - 1` workers, and the values still come in
    /// the file's order.
    unsigned threads = 1;
    /// `read_lines`: a line that fails is recorded in `skipped()` and reading goes on, instead
    /// of the failure being thrown.
    bool skip_bad_lines = false;
    /// `read_lines`: how many of the skipped lines keep their failure (all are counted).
    std::size_t max_kept_failures = 1000;
    /// `read_lines`: when set, each skipped line is handed to it as it is met, instead of being
    /// kept.
    std::function<void(const skipped_line&)> on_skip;
};

}  // namespace Sylvane
