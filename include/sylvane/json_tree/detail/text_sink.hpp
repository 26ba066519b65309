#pragma once
/// Writing JSON text piece by piece, as `write` writes a tree: how values are written without
/// a tree. Not part of the API.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree::detail {

/// Writes compact JSON text, each piece exactly as `write` writes it in a tree: strings and keys
/// escaped, doubles as `Float`s. A piece that has no text under the options throws
/// `write_error` with `write`'s message. The text grows in chunks, so that nothing is copied
/// while it grows; `finish` appends it to the string once.
class SYLVANE_API text_sink {
public:
    text_sink(std::string& out, const write_options& options);
    text_sink(const text_sink&) = delete;
    text_sink& operator=(const text_sink&) = delete;

    /// Appends the text written to the string.
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
    void integer(std::int64_t n) {
        char* p = room(20);
        next_ = std::to_chars(p, p + 20, n).ptr;
    }
    void integer(std::uint64_t n) {
        char* p = room(20);
        next_ = std::to_chars(p, p + 20, n).ptr;
    }
    /// A double as a `Float`.
    void number(double d);
    /// A string, or a key before its ':'.
    void string(std::string_view s);
    /// A whole tree.
    void tree(const yojson& t);

private:
    [[gnu::noinline]] void grow(std::size_t n);

    std::string& out_;
    const write_options& options_;
    std::vector<std::pair<std::unique_ptr<char[]>, std::size_t>> full_;  // chunks, their lengths
    std::size_t full_bytes_ = 0;
    std::unique_ptr<char[]> chunk_;
    std::size_t chunk_size_ = 0;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace Sylvane::json_tree::detail
