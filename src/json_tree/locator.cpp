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

template <class Item>
void locator::runs<Item>::seal() {
    const auto before = [](const Item& x, const Item& y) { return x.first < y.first; };
    std::erase_if(runs_, [](const std::vector<Item>& r) { return r.empty(); });
    // Chunks lie wherever the allocator put them: the runs are ordered by their first items.
    std::sort(runs_.begin(), runs_.end(),
              [&](const std::vector<Item>& x, const std::vector<Item>& y) {
                  return before(x.front(), y.front());
              });
    bool ordered = true;
    for (std::size_t r = 0; ordered && r < runs_.size(); ++r) {
        ordered = std::is_sorted(runs_[r].begin(), runs_[r].end(), before) &&
                  (r == 0 || before(runs_[r - 1].back(), runs_[r].front()));
    }
    if (ordered) return;
    // Should runs overlap after all, they become one sorted run.
    std::vector<Item> all;
    for (const std::vector<Item>& r : runs_) all.insert(all.end(), r.begin(), r.end());
    std::sort(all.begin(), all.end(), before);
    runs_.clear();
    runs_.push_back(std::move(all));
}

template <class Item>
const Item* locator::runs<Item>::floor(std::uintptr_t key) const {
    const auto run = std::upper_bound(
        runs_.begin(), runs_.end(), key,
        [](std::uintptr_t k, const std::vector<Item>& r) { return k < r.front().first; });
    if (run == runs_.begin()) return nullptr;
    const std::vector<Item>& r = *std::prev(run);
    const auto it = std::upper_bound(r.begin(), r.end(), key,
                                     [](std::uintptr_t k, const Item& e) { return k < e.first; });
    return &*std::prev(it);  // the run's first item is not above the key
}

template class locator::runs<locator::elements>;
template class locator::runs<locator::entry>;

void locator::offsets::append(const std::size_t* from, std::size_t n) {
    while (n > 0) {
        const std::size_t in_block = size_ % block;
        if (in_block == 0) blocks_.push_back(std::make_unique_for_overwrite<std::size_t[]>(block));
        const std::size_t k = std::min(n, block - in_block);
        std::copy_n(from, k, blocks_.back().get() + in_block);  // short: no call
        from += k;
        n -= k;
        size_ += k;
    }
}

std::optional<text_position> locator::position_of(const yojson* address) const {
    const auto key = reinterpret_cast<std::uintptr_t>(address);
    const elements* e = by_address_.floor(key);
    if (e == nullptr) return std::nullopt;
    const std::uintptr_t past = key - e->first;
    if (past % e->stride != 0 || past / e->stride >= e->count) return std::nullopt;
    return at(offsets_[e->at + past / e->stride]);
}

std::optional<text_position> locator::position_of(const yojson& node) const {
    if (auto p = position_of(&node)) return p;
    if (const void* id = detail::tree_access::payload(node)) {
        const auto key = reinterpret_cast<std::uintptr_t>(id);
        if (const entry* e = by_payload_.floor(key); e != nullptr && e->first == key)
            return at(e->second);
    }
    return std::nullopt;
}

}  // namespace Sylvane::json_tree
