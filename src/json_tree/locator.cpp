// Looking up where a node of a tree read with positions starts in its text.

#include <sylvane/json_tree/locator.hpp>

#include <algorithm>

namespace Sylvane::json_tree {

text_position locator::at(std::size_t offset) const noexcept {
    const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    const std::size_t line = static_cast<std::size_t>(next - line_starts_.begin());
    return {offset, line, offset - line_starts_[line - 1] + 1};
}

std::optional<std::size_t> locator::find(const std::vector<entry>& table, std::uintptr_t key) {
    const auto it = std::lower_bound(table.begin(), table.end(), key,
                                     [](const entry& e, std::uintptr_t k) { return e.first < k; });
    if (it == table.end() || it->first != key) return std::nullopt;
    return it->second;
}

void locator::seal() {
    std::sort(by_address_.begin(), by_address_.end());
    std::sort(by_payload_.begin(), by_payload_.end());
}

std::optional<text_position> locator::position_of(const yojson* address) const {
    if (auto off = find(by_address_, reinterpret_cast<std::uintptr_t>(address))) return at(*off);
    return std::nullopt;
}

std::optional<text_position> locator::position_of(const yojson& node) const {
    if (auto p = position_of(&node)) return p;
    if (const void* id = detail::tree_access::payload(node))
        if (auto off = find(by_payload_, reinterpret_cast<std::uintptr_t>(id))) return at(*off);
    return std::nullopt;
}

}  // namespace Sylvane::json_tree
