#pragma once
// A reader of many small documents one after another, for the readers of streams; not part of
// the API.

#include <cstddef>
#include <memory>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// Reads documents one after another into trees, each exactly as `read(text, options)` does,
/// failures included. What one read sets up is kept for the next: the reader's stacks, and
/// memory for a run of trees, so that a run of small documents costs about what one document
/// holding them would. The trees of a run share their memory: a tree kept holds at most one
/// block of 64 KiB beyond its own needs. Used by one thread at a time; it may move between them.
class SYLVANE_API document_reader {
public:
    /// A reader that sets nothing up until its first read.
    explicit document_reader(const read_options& options);
    ~document_reader();
    document_reader(document_reader&&) noexcept;
    document_reader& operator=(document_reader&&) noexcept;

    /// The tree of `text`; throws `parse_error` as `read` does. `padded`: the cursor's
    /// `text_padding` bytes after `text` may be read (they are allocated and set), so that its
    /// last tokens are read as quickly as the others.
    yojson read(std::string_view text, bool padded = false);
    /// The tree of the value at `at` in `text`, inside `depth` open containers of a larger
    /// text; `at` is left after it. Throws `parse_error` as the reader does on the whole text.
    yojson read_value(std::string_view text, std::size_t& at, std::size_t depth,
                      bool padded = false);

private:
    struct state;
    state& ready();
    read_options options_;
    std::unique_ptr<state> state_;
};

}  // namespace Sylvane::json_tree::detail
