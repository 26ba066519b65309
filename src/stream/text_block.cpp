#include <sylvane/stream/writers.hpp>

#include <stdexcept>

namespace Sylvane::stream::detail {

text_block::text_block(std::ostream& out, const write_options& options, std::size_t block_size)
    : out_(out), options_(options), block_size_(block_size) {
    if (options.pretty)
        throw std::invalid_argument("the writers of streams write compact text: pretty is not set");
    text_.reserve(block_size_ + block_size_ / 4);
}

void text_block::write_out() {
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
    if (!out_) throw std::ios_base::failure("writing JSON to a stream: the stream failed");
}

void text_block::flush() {
    write_out();
    out_.flush();
    if (!out_) throw std::ios_base::failure("writing JSON to a stream: the stream failed");
}

}  // namespace Sylvane::stream::detail
