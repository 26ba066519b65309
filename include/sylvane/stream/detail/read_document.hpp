#pragma once
// Reading the documents of lines one after another; not part of the API.

#include <optional>
#include <string_view>

#include <sylvane/json_tree/detail/document_reader.hpp>
#include <sylvane/read_as.hpp>

namespace Sylvane::stream::detail {

/// Reads one document after another as `T`s, each as `read_as<T>` reads a whole text. Each
/// text stands in a buffer with the cursor's padding after it (`text_window`, a parallel run).
template <class T>
class document_reader {
public:
    explicit document_reader(const read_options& options) : options_(options) {}
    void operator()(std::optional<T>& out, std::string_view text) {
        derive::detail::read_as_into<T>(out, text, options_, true);
    }

private:
    read_options options_;
};

/// Trees: through one reader of documents, which keeps what it sets up for the next.
template <>
class document_reader<yojson> {
public:
    explicit document_reader(const read_options& options) : trees_(options) {}
    void operator()(std::optional<yojson>& out, std::string_view text) {
        out.emplace(trees_.read(text, true));
    }

private:
    json_tree::detail::document_reader trees_;
};

}  // namespace Sylvane::stream::detail
