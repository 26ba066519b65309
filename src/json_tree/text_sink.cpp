#include <sylvane/json_tree/detail/text_sink.hpp>

#include "text_out.hpp"

#include <algorithm>

namespace Sylvane::json_tree::detail {

text_sink::text_sink(std::string& out, const write_options& options)
    : out_(out), options_(options) {
    const std::size_t used = out_.size();
    out_.resize(std::max<std::size_t>(out_.capacity(), used + 256));
    next_ = out_.data() + used;
    end_ = out_.data() + out_.size();
}

void text_sink::finish() noexcept { out_.resize(static_cast<std::size_t>(next_ - out_.data())); }

void text_sink::grow(std::size_t n) {
    // Doubling: each byte is copied a bounded number of times, and the string is never joined
    // from pieces at the end.
    const auto used = static_cast<std::size_t>(next_ - out_.data());
    out_.resize(std::max(out_.size() * 2, used + n));
    next_ = out_.data() + used;
    end_ = out_.data() + out_.size();
}

void text_sink::number(double d) { put_float(*this, d, options_.allow_nan_infinity); }

void text_sink::string(std::string_view s) {
    options_.check_utf8 ? put_string<true>(*this, s) : put_string<false>(*this, s);
}

void text_sink::tree(const yojson& t) {
    const std::string text = write(t, options_);
    put(text.data(), text.size());
}

}  // namespace Sylvane::json_tree::detail
