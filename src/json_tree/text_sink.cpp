#include <sylvane/json_tree/detail/text_sink.hpp>

#include "chunk_size.hpp"
#include "text_out.hpp"

#include <algorithm>

namespace Sylvane::json_tree::detail {

namespace {
// Chunks grow from this size up to `max_chunk`.
constexpr std::size_t first_chunk = 4096;
}  // namespace

text_sink::text_sink(std::string& out, const write_options& options)
    : out_(out), options_(options) {
    grow(0);
}

void text_sink::finish() {
    const auto used = static_cast<std::size_t>(next_ - chunk_.get());
    out_.reserve(out_.size() + full_bytes_ + used);
    for (const auto& [chunk, size] : full_) out_.append(chunk.get(), size);
    out_.append(chunk_.get(), used);
}

void text_sink::grow(std::size_t n) {
    // The full chunk is kept as it is and a new one started: nothing is copied until `finish`.
    if (chunk_) {
        const auto used = static_cast<std::size_t>(next_ - chunk_.get());
        full_bytes_ += used;
        full_.emplace_back(std::move(chunk_), used);
    }
    chunk_size_ =
        std::max(chunk_size_ == 0 ? first_chunk : std::min(chunk_size_ * 2, max_chunk), n);
    chunk_ = std::make_unique_for_overwrite<char[]>(chunk_size_);
    next_ = chunk_.get();
    end_ = next_ + chunk_size_;
}

void text_sink::number(double d) {
    put_float(*this, d, options_.allow_nan_infinity);
}

void text_sink::string(std::string_view s) {
    options_.check_utf8 ? put_string<true>(*this, s) : put_string<false>(*this, s);
}

void text_sink::tree(const yojson& t) {
    const std::string text = write(t, options_);
    put(text.data(), text.size());
}

}  // namespace Sylvane::json_tree::detail
