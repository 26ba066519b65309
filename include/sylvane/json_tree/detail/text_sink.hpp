#pragma once
/// Writing JSON text piece by piece, as `write` writes a tree: how values are written without
/// a tree. Not part of the API.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// Gives a chunk of text back to the thread's kept memory (`memory.hpp`) for the next write.
struct SYLVANE_API chunk_deleter {
    std::size_t size = 0;  ///< of the chunk
    void operator()(char* chunk) const noexcept;
};
using text_chunk = std::unique_ptr<char[], chunk_deleter>;
/// A chunk of at least `n` bytes, from the thread's kept memory when it has one of the size;
/// its deleter holds its size.
text_chunk make_text_chunk(std::size_t n);

/// Writes compact JSON text, each piece exactly as `write` writes it in a tree: strings and keys
/// escaped, doubles as `Float`s. The text grows in chunks, so that nothing is copied while it
/// grows; `finish` appends it to the string once.
///
/// A piece that has no text under the options (a refused NaN, a string that is not UTF-8, a tree
/// that `write` refuses) does not throw: the sink keeps `write`'s `write_error` for it and
/// `finish` throws that. The caller goes on writing the rest of the value, so that its
/// converters run, and fail, as they would in making the value's tree before `write` saw it;
/// from then on nothing written is kept, and trees are not written at all.
class SYLVANE_API text_sink {
public:
    text_sink(std::string& out, const write_options& options);
    text_sink(const text_sink&) = delete;
    text_sink& operator=(const text_sink&) = delete;

    /// Appends the text written to the string; after a piece without text, throws its
    /// `write_error` instead and leaves the string as it was.
    void finish();

    const write_options& options() const noexcept { return options_; }

    void put_char(char c) {
        if (next_ == end_) grow(1);
        *next_++ = c;
    }
    void put(const char* s, std::size_t n) {
        if (static_cast<std::size_t>(end_ - next_) < n) grow(n);
        std::memcpy(next_, s, n);
        next_ += n;
    }
    /// At least `n` free bytes, to be written and then passed to `advance`.
    char* room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - next_) < n) grow(n);
        return next_;
    }
    void advance(char* p) noexcept { next_ = p; }

    void null() { put("null", 4); }
    void boolean(bool b) { b ? put("true", 4) : put("false", 5); }
    void integer(std::int64_t n);
    void integer(std::uint64_t n);
    /// A double as a `Float`.
    void number(double d);
    /// A string, or a key before its ':'.
    void string(std::string_view s);
    /// A whole tree.
    void tree(const yojson& t);

private:
    [[gnu::noinline]] void grow(std::size_t n);
    /// Keeps the first failure and frees the text written so far.
    void fail(const write_error& e);

    std::string& out_;
    const write_options& options_;
    std::vector<std::pair<text_chunk, std::size_t>> full_;  // chunks, their lengths
    std::size_t full_bytes_ = 0;
    text_chunk chunk_;
    std::size_t chunk_size_ = 0;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::optional<write_error> failure_;
};

/// The pretty text of `compact`, compact JSON text as `write` makes it (no white space): the
/// text that `write` makes of the same tree with `pretty` set and `indent`, byte for byte. It
/// lets a value be written pretty without making its tree.
SYLVANE_API std::string pretty_text(std::string_view compact, unsigned indent);

}  // namespace Sylvane::json_tree::detail
