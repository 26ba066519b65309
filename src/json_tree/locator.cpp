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

/// Sorts `v`, filled in ascending runs that start at the indices `starts` (the reader starts one
/// whenever its arena starts a chunk; chunks lie wherever the allocator put them): the runs are
/// ordered by their first entries and copied once. Should runs overlap after all, `v` is sorted
/// outright.
void sort_runs(std::vector<std::pair<std::uintptr_t, std::size_t>>& v,
               const std::vector<std::size_t>& starts) {
    struct run {
        std::size_t begin, end;
    };
    std::vector<run> runs;
    std::size_t begin = 0;
    for (std::size_t k = 0; k <= starts.size(); ++k) {
        const std::size_t end = k < starts.size() ? std::min(starts[k], v.size()) : v.size();
        if (begin < end) runs.push_back({begin, end});
        begin = std::max(begin, end);
    }
    const auto at = [&](std::size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(i); };
    bool ordered = true;
    for (const run& r : runs) ordered = ordered && std::is_sorted(at(r.begin), at(r.end));
    if (ordered && runs.size() <= 1) return;
    std::sort(runs.begin(), runs.end(),
              [&](const run& x, const run& y) { return v[x.begin] < v[y.begin]; });
    for (std::size_t r = 1; ordered && r < runs.size(); ++r)
        ordered = v[runs[r - 1].end - 1] < v[runs[r].begin];
    if (!ordered) {
        std::sort(v.begin(), v.end());
        return;
    }
    std::vector<std::pair<std::uintptr_t, std::size_t>> sorted;
    sorted.reserve(v.size());
    for (const run& r : runs) sorted.insert(sorted.end(), at(r.begin), at(r.end));
    v.swap(sorted);
}

}  // namespace

void locator::seal(const std::vector<std::size_t>& address_runs,
                   const std::vector<std::size_t>& payload_runs) {
    sort_runs(by_address_, address_runs);
    sort_runs(by_payload_, payload_runs);
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
