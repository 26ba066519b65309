#include <sylvane/json_tree/detail/text_sink.hpp>

#include "block_cache.hpp"
#include "chunk_size.hpp"
#include "integer_text.hpp"
#include "text_out.hpp"

#include <algorithm>
#include <cmath>

namespace Sylvane::json_tree::detail {

namespace {
// Chunks grow from this size up to `max_chunk`.
constexpr std::size_t first_chunk = 4096;
}  // namespace

void chunk_deleter::operator()(char* chunk) const noexcept {
    give_block(chunk, size);
}

text_chunk make_text_chunk(std::size_t n) {
    const std::size_t size = block_size(n);
    return text_chunk(static_cast<char*>(take_block(size)), chunk_deleter{size});
}

// The writers shared with `write` (text_out.hpp, `write` itself) report a piece without text by
// throwing `write_error`; the sink catches exactly that, where it is thrown, around code that
// runs no converter, and keeps it. Anything else (`std::bad_alloc`) goes through.

text_sink::text_sink(std::string& out, const write_options& options)
    : out_(out), options_(options) {
    grow(0);
}

void text_sink::finish() {
    if (failure_) throw *failure_;
    const auto used = static_cast<std::size_t>(next_ - chunk_.get());
    out_.reserve(out_.size() + full_bytes_ + used);
    for (const auto& [chunk, size] : full_) out_.append(chunk.get(), size);
    out_.append(chunk_.get(), used);
}

void text_sink::grow(std::size_t n) {
    if (failure_) {
        // Nothing written is kept any more: the chunk is written over from its start.
        next_ = chunk_.get();
        if (n <= chunk_size_) return;
        chunk_.reset();
    }
    // The full chunk is kept as it is and a new one started: nothing is copied until `finish`.
    if (chunk_) {
        const auto used = static_cast<std::size_t>(next_ - chunk_.get());
        full_bytes_ += used;
        full_.emplace_back(std::move(chunk_), used);
    }
    chunk_ = make_text_chunk(
        std::max(chunk_size_ == 0 ? first_chunk : std::min(chunk_size_ * 2, max_chunk), n));
    chunk_size_ = chunk_.get_deleter().size;
    next_ = chunk_.get();
    end_ = next_ + chunk_size_;
}

void text_sink::fail(const write_error& e) {
    if (failure_) return;  // `write` stops at the first
    failure_.emplace(e);
    full_.clear();
    full_bytes_ = 0;
}

void text_sink::integer(std::int64_t n) {
    next_ = write_integer(room(24), n);
}

void text_sink::integer(std::uint64_t n) {
    next_ = write_unsigned(room(24), n);
}

void text_sink::number(double d) {
    if (std::isfinite(d) || options_.allow_nan_infinity) [[likely]]
        return put_float(*this, d, options_.allow_nan_infinity);
    try {
        put_float(*this, d, false);
    } catch (const write_error& e) {
        fail(e);
    }
}

void text_sink::string(std::string_view s) {
    if (!options_.check_utf8) return put_string<false>(*this, s);
    try {
        put_string<true>(*this, s);
    } catch (const write_error& e) {
        fail(e);
    }
}

void text_sink::tree(const yojson& t) {
    if (failure_) return;
    std::string text;
    try {
        text = write(t, options_);
    } catch (const write_error& e) {
        return fail(e);
    }
    put(text.data(), text.size());
}

std::string pretty_text(std::string_view compact, unsigned indent) {
    std::string out;
    out.reserve(compact.size() + compact.size() / 2);
    std::size_t depth = 0;
    const auto newline = [&] { out.append(1, '\n').append(depth * indent, ' '); };
    const char* p = compact.data();
    const char* const end = p + compact.size();
    while (p != end) {
        const char c = *p++;
        switch (c) {
            case '"': {
                // The string to its closing quote, escapes stepped over, copied as it is.
                const char* q = p;
                while (q < end && *q != '"') q += *q == '\\' ? 2 : 1;
                q = std::min(q + 1, end);
                out.append(p - 1, static_cast<std::size_t>(q - (p - 1)));
                p = q;
                break;
            }
            case '[':
            case '{':
                out.push_back(c);
                if (p != end && *p == (c == '[' ? ']' : '}')) {  // empty: as it is
                    out.push_back(*p++);
                } else {
                    ++depth;
                    newline();
                }
                break;
            case ']':
            case '}':
                depth -= depth > 0 ? 1 : 0;
                newline();
                out.push_back(c);
                break;
            case ',':
                out.push_back(',');
                newline();
                break;
            case ':': out.append(": "); break;
            default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace Sylvane::json_tree::detail
