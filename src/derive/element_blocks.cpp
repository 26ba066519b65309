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

}  // namespace Sylvane::derive::detail
