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

namespace {

/// Sorts `v`, which the reader fills nearly in order: nodes are placed in the arena in the order
/// their containers close, so the table is a few ascending runs. Those are merged; a table of
/// many runs is sorted outright.
void sort_runs(std::vector<std::pair<std::uintptr_t, std::size_t>>& v) {
    constexpr std::size_t most_runs = 64;
    std::vector<std::size_t> bounds{0};
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i] < v[i - 1]) {
            if (bounds.size() == most_runs) {
                std::sort(v.begin(), v.end());
                return;
            }
            bounds.push_back(i);
        }
    }
    bounds.push_back(v.size());
    // Merges neighbouring runs pairwise until one is left.
    while (bounds.size() > 2) {
        std::vector<std::size_t> merged{0};
        for (std::size_t r = 0; r + 1 < bounds.size(); r += 2) {
            const auto first = v.begin() + static_cast<std::ptrdiff_t>(bounds[r]);
            if (r + 2 < bounds.size()) {
                std::inplace_merge(first, v.begin() + static_cast<std::ptrdiff_t>(bounds[r + 1]),
                                   v.begin() + static_cast<std::ptrdiff_t>(bounds[r + 2]));
                merged.push_back(bounds[r + 2]);
            } else {
                merged.push_back(bounds[r + 1]);
            }
        }
        bounds.swap(merged);
    }
}

}  // namespace

void locator::seal() {
    sort_runs(by_address_);
    sort_runs(by_payload_);
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
