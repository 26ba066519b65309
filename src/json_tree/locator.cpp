// Looking up where a node of a tree read with positions starts in its text.

#include <sylvane/json_tree/locator.hpp>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <type_traits>

namespace Sylvane::json_tree {

namespace {

static_assert(std::is_standard_layout_v<yojson::entry>);

/// How many of the indexes from `first` to `last` (excluded) satisfy `holds`, which holds for a
/// leading run of them and then for none: a binary search.
template <class Holds>
std::size_t count_while(std::size_t first, std::size_t last, Holds holds) {
    std::size_t count = 0;
    for (std::size_t rest = last - first; rest > 0;) {
        const std::size_t half = rest / 2;
        if (holds(first + count + half)) {
            count += half + 1;
            rest -= half + 1;
        } else {
            rest = half;
        }
    }
    return count;
}

/// Where the first element of a container lies, from its node's address.
std::uintptr_t first_element(std::uintptr_t node, bool assoc) noexcept {
    return assoc ? node + sizeof(detail::assoc_node) + offsetof(yojson::entry, second)
                 : node + sizeof(detail::list_node);
}

}  // namespace

text_position locator::at(std::size_t offset) const noexcept {
    return wide_ ? at(wide_tables_, offset) : at(narrow_tables_, offset);
}

template <class Offset>
text_position locator::at(const tables<Offset>& t, std::size_t offset) noexcept {
    // The lines after the first that start at or before `offset`.
    const std::size_t before = count_while(
        0, t.line_starts.size(), [&](std::size_t i) { return t.line_starts[i] <= offset; });
    const std::size_t line_start = before == 0 ? 0 : t.line_starts[before - 1];
    return {offset, before + 1, offset - line_start + 1};
}

template <class Item>
void locator::blocks<Item>::grow() {
    if (capacity_ < block) {
        // The first block doubles until it has its full size.
        const std::size_t wanted = capacity_ == 0 ? 64 : capacity_ * 2;
        auto first = std::make_unique_for_overwrite<Item[]>(wanted);
        if (size_ > 0) std::copy_n(tail_, size_, first.get());
        if (blocks_.empty())
            blocks_.push_back(std::move(first));
        else
            blocks_.front() = std::move(first);
        capacity_ = wanted;
    } else {
        blocks_.push_back(std::make_unique_for_overwrite<Item[]>(block));
        capacity_ += block;
    }
    tail_ = blocks_.back().get();
}

template <class Item>
void locator::blocks<Item>::append(const Item* from, std::size_t n) {
    while (n > 0) {
        if (size_ == capacity_) grow();
        const std::size_t k = std::min(n, capacity_ - size_);
        std::copy_n(from, k, tail_ + size_ % block);
        from += k;
        n -= k;
        size_ += k;
    }
}

template <class Item>
void locator::blocks<Item>::clear() noexcept {
    blocks_.clear();
    tail_ = nullptr;
    size_ = capacity_ = 0;
}

template <class Record, class Offset>
void locator::address_table<Record, Offset>::start(std::uintptr_t address) {
    if (!runs_.empty()) runs_.back().end = records_.size();
    runs_.push_back({address, records_.size(), records_.size()});
    base_ = address;
}

template <class Record, class Offset>
void locator::address_table<Record, Offset>::seal() {
    if (runs_.empty()) return;
    runs_.back().end = records_.size();
    // Chunks lie wherever the allocator put them: the runs are ordered by their bases. Within
    // a run, records ascend as the arena hands out memory.
    std::sort(runs_.begin(), runs_.end(),
              [](const run& x, const run& y) { return x.base < y.base; });
    bool apart = true;
    for (std::size_t r = 1; apart && r < runs_.size(); ++r)
        apart = address_of(runs_[r - 1], runs_[r - 1].end - 1) < runs_[r].base;
    if (apart) return;
    // Should runs overlap after all, every record is sorted by address into new runs.
    std::vector<std::pair<std::uintptr_t, Record>> all;
    all.reserve(records_.size());
    for (const run& r : runs_)
        for (std::size_t i = r.begin; i < r.end; ++i)
            all.emplace_back(address_of(r, i), records_[i]);
    std::sort(all.begin(), all.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    records_.clear();
    runs_.clear();
    for (auto& [address, record] : all) {
        if (runs_.empty() || !fits(address)) start(address);
        record.distance = static_cast<Offset>(distance(address) | (record.distance & 7u));
        records_.push_back(record);
    }
    runs_.back().end = records_.size();
}

template <class Record, class Offset>
const Record* locator::address_table<Record, Offset>::floor(std::uintptr_t key,
                                                            std::uintptr_t& address) const {
    const auto next = std::upper_bound(runs_.begin(), runs_.end(), key,
                                       [](std::uintptr_t k, const run& r) { return k < r.base; });
    if (next == runs_.begin()) return nullptr;
    const run& r = *std::prev(next);
    // The last record of the run at or below the key; the run's first record is at its base.
    const std::size_t last = r.begin - 1 + count_while(r.begin, r.end, [&](std::size_t i) {
                                 return address_of(r, i) <= key;
                             });
    address = address_of(r, last);
    return &records_[last];
}

template <class Offset>
std::optional<std::size_t> locator::offset_at(const tables<Offset>& t, std::uintptr_t address) {
    std::uintptr_t node = 0;
    const auto* c = t.containers.floor(address, node);
    if (c == nullptr) return std::nullopt;
    const bool assoc = (c->distance & 1u) != 0;
    const std::uintptr_t first = first_element(node, assoc);
    const std::size_t stride = assoc ? sizeof(yojson::entry) : sizeof(yojson);
    if (address < first) return std::nullopt;
    const std::uintptr_t past = address - first;
    if (past % stride != 0 || past / stride >= c->count) return std::nullopt;
    return static_cast<std::size_t>(t.offsets[c->at + past / stride]);
}

template <class Offset>
std::optional<std::size_t> locator::offset_of_payload(const tables<Offset>& t, std::uintptr_t id,
                                                      bool container) {
    std::uintptr_t found = 0;
    if (container) {
        if (const auto* c = t.containers.floor(id, found); c != nullptr && found == id)
            return static_cast<std::size_t>(c->offset);
    } else {
        if (const auto* s = t.texts.floor(id, found); s != nullptr && found == id)
            return static_cast<std::size_t>(s->offset);
    }
    return std::nullopt;
}

std::optional<text_position> locator::position_of(const yojson* address) const {
    const auto key = reinterpret_cast<std::uintptr_t>(address);
    const auto offset = wide_ ? offset_at(wide_tables_, key) : offset_at(narrow_tables_, key);
    if (!offset) return std::nullopt;
    return at(*offset);
}

std::optional<text_position> locator::position_of(const yojson& node) const {
    if (auto p = position_of(&node)) return p;
    const void* id = detail::tree_access::payload(node);
    if (id == nullptr) return std::nullopt;
    const auto key = reinterpret_cast<std::uintptr_t>(id);
    const bool container = node.kind() == yojson_kind::List || node.kind() == yojson_kind::Assoc;
    const auto offset = wide_ ? offset_of_payload(wide_tables_, key, container)
                              : offset_of_payload(narrow_tables_, key, container);
    if (!offset) return std::nullopt;
    return at(*offset);
}

template class locator::blocks<std::uint32_t>;
template class locator::blocks<std::uint64_t>;
template class locator::blocks<locator::tables<std::uint32_t>::text_record>;
template class locator::blocks<locator::tables<std::uint32_t>::container_record>;
template class locator::blocks<locator::tables<std::uint64_t>::text_record>;
template class locator::blocks<locator::tables<std::uint64_t>::container_record>;
template class locator::address_table<locator::tables<std::uint32_t>::text_record, std::uint32_t>;
template class locator::address_table<locator::tables<std::uint32_t>::container_record,
                                      std::uint32_t>;
template class locator::address_table<locator::tables<std::uint64_t>::text_record, std::uint64_t>;
template class locator::address_table<locator::tables<std::uint64_t>::container_record,
                                      std::uint64_t>;

}  // namespace Sylvane::json_tree
