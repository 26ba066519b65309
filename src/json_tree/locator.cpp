// Looking up where a node of a tree read with positions starts in its text.

#include <sylvane/json_tree/locator.hpp>

#include <algorithm>
#include <iterator>

namespace Sylvane::json_tree {

text_position locator::at(std::size_t offset) const noexcept {
    const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    const std::size_t line = static_cast<std::size_t>(next - line_starts_.begin());
    return {offset, line, offset - line_starts_[line - 1] + 1};
}

void locator::table::seal() {
    std::erase_if(runs_, [](const std::vector<entry>& r) { return r.empty(); });
    // Chunks lie wherever the allocator put them: the runs are ordered by their first entries.
    std::sort(runs_.begin(), runs_.end(),
              [](const std::vector<entry>& x, const std::vector<entry>& y) {
                  return x.front().first < y.front().first;
              });
    bool ordered = true;
    for (std::size_t r = 0; ordered && r < runs_.size(); ++r) {
        ordered = std::is_sorted(runs_[r].begin(), runs_[r].end()) &&
                  (r == 0 || runs_[r - 1].back().first < runs_[r].front().first);
    }
    if (ordered) return;
    // Should runs overlap after all, they become one sorted run.
    std::vector<entry> all;
    all.reserve(size_);
    for (const std::vector<entry>& r : runs_) all.insert(all.end(), r.begin(), r.end());
    std::sort(all.begin(), all.end());
    runs_.clear();
    runs_.push_back(std::move(all));
}

std::optional<std::size_t> locator::table::find(std::uintptr_t key) const {
    // The last run whose first entry is not above the key.
    auto run = std::upper_bound(
        runs_.begin(), runs_.end(), key,
        [](std::uintptr_t k, const std::vector<entry>& r) { return k < r.front().first; });
    if (run == runs_.begin()) return std::nullopt;
    const std::vector<entry>& r = *std::prev(run);
    const auto it = std::lower_bound(r.begin(), r.end(), key,
                                     [](const entry& e, std::uintptr_t k) { return e.first < k; });
    if (it == r.end() || it->first != key) return std::nullopt;
    return it->second;
}

std::optional<text_position> locator::position_of(const yojson* address) const {
    if (auto off = by_address_.find(reinterpret_cast<std::uintptr_t>(address))) return at(*off);
    return std::nullopt;
}

std::optional<text_position> locator::position_of(const yojson& node) const {
    if (auto p = position_of(&node)) return p;
    if (const void* id = detail::tree_access::payload(node))
        if (auto off = by_payload_.find(reinterpret_cast<std::uintptr_t>(id))) return at(*off);
    return std::nullopt;
}

}  // namespace Sylvane::json_tree
