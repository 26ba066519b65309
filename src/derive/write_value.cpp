#include <sylvane/write_value.hpp>

namespace Sylvane::derive::detail {

std::size_t& trees_written() noexcept {
    thread_local std::size_t count = 0;
    return count;
}

}  // namespace Sylvane::derive::detail
