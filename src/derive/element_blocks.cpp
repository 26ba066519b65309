// Blocks for the elements of long arrays, from the memory each thread keeps.

#include <sylvane/derive/detail/element_blocks.hpp>

#include "../json_tree/block_cache.hpp"

namespace Sylvane::derive::detail {

void* take_element_block(std::size_t bytes) {
    return json_tree::detail::take_block(json_tree::detail::block_size(bytes));
}

void give_element_block(void* block, std::size_t bytes) noexcept {
    json_tree::detail::give_block(block, json_tree::detail::block_size(bytes));
}

std::size_t expected_elements(std::size_t n, std::size_t consumed, std::size_t left,
                              std::size_t element_size) noexcept {
    if (n == 0 || consumed == 0 || element_size == 0) return 0;
    // The rest as dense as the first elements, and a sixteenth more for elements that vary.
    const double rest =
        static_cast<double>(n) * static_cast<double>(left) / static_cast<double>(consumed);
    const double total = static_cast<double>(n) + rest * (17.0 / 16.0) + 1;
    const double limit =
        2.0 * static_cast<double>(consumed + left) / static_cast<double>(element_size);
    if (total > limit) return 0;
    return static_cast<std::size_t>(total);
}

}  // namespace Sylvane::derive::detail
