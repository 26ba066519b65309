#pragma once
/// Source positions of the nodes of a tree read from text.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

namespace detail {
template <bool Track, class Offset>
class parser;
}  // namespace detail

/// Answers where each node of a tree returned by `read_with_positions` starts in the text: the
/// byte of its first character ('{', '[', '"', a digit, ...).
///
/// A node is found by its address (every node reached through the tree's accessors, and the
/// address that `Of_yojson_error::tree_address()` records) and, for `String`, `Intlit`, `List`
/// and `Assoc`, also by its shared payload, so a copy of such a node or the moved root is found
/// too. A scalar at the root has no identity: ask `root()`. Answers are meaningful only while
/// the tree is alive; the locator keeps no reference to the text.
///
///     auto [tree, positions] = read_with_positions(text);
///     try { convert(tree); }
///     catch (const Treeform::Of_yojson_error& e) {
///         if (auto p = positions.position_of(e.tree_address())) report(p->line, p->column);
///     }
class SYLVANE_API locator {
public:
    locator() = default;

    /// The position of `node`: by address, then by payload; empty for a node not from the tree.
    std::optional<text_position> position_of(const yojson& node) const;
    /// The position of the node at `address`, which is compared and never dereferenced.
    std::optional<text_position> position_of(const yojson* address) const;
    /// The position of the root value.
    text_position root() const { return at(root_offset_); }
    /// The number of nodes located by address (every node but the root).
    std::size_t size() const noexcept {
        return wide_ ? wide_tables_.offsets.size() : narrow_tables_.offsets.size();
    }

private:
    template <bool Track, class Offset>
    friend class detail::parser;

    /// Items appended in blocks of a fixed size, so that none is copied once the first block is
    /// full; the first block grows as a vector does, so a small tree costs little.
    template <class Item>
    class blocks {
    public:
        blocks() = default;
        /// Leaves `other` empty, so that a moved-from locator answers nothing.
        blocks(blocks&& other) noexcept
            : blocks_(std::move(other.blocks_)),
              tail_(std::exchange(other.tail_, nullptr)),
              size_(std::exchange(other.size_, 0)),
              capacity_(std::exchange(other.capacity_, 0)) {}
        blocks& operator=(blocks&& other) noexcept {
            blocks_ = std::move(other.blocks_);
            tail_ = std::exchange(other.tail_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
            return *this;
        }
        void push_back(const Item& item) {
            if (size_ == capacity_) grow();
            tail_[size_ % block] = item;
            ++size_;
        }
        /// Room for `n` more items, or null when they would not be in one block.
        Item* extend(std::size_t n) noexcept {
            if (n > capacity_ - size_) return nullptr;
            Item* at = tail_ + size_ % block;
            size_ += n;
            return at;
        }
        void append(const Item* from, std::size_t n);
        const Item& operator[](std::size_t i) const noexcept {
            return blocks_[i / block][i % block];
        }
        std::size_t size() const noexcept { return size_; }
        void clear() noexcept;

    private:
        static constexpr std::size_t block = 4096;
        void grow();
        std::vector<std::unique_ptr<Item[]>> blocks_;
        Item* tail_ = nullptr;  // the last block
        std::size_t size_ = 0;
        std::size_t capacity_ = 0;
    };

    /// Records of nodes at ascending addresses, in runs: each run holds the records of one
    /// stretch of an arena chunk, as distances from its base (the first record's address), so
    /// that a record is small. The low three bits of a distance are free for the record's tag.
    template <class Record, class Offset>
    class address_table {
    public:
        /// Whether a record at `address`, not below the current run's base, can be stored in
        /// that run. Only once a run is started.
        bool fits(std::uintptr_t address) const noexcept { return address - base_ <= max_distance; }
        /// Starts a run at `address`, above or below all earlier runs.
        void start(std::uintptr_t address);
        /// `address`'s distance from the current run's base, which `fits` it.
        Offset distance(std::uintptr_t address) const noexcept {
            return static_cast<Offset>(address - base_);
        }
        void push_back(const Record& r) { records_.push_back(r); }
        /// Orders the runs for lookup.
        void seal();
        /// The record of the highest address not above `key`, or null; `address` is set to
        /// the record's address.
        const Record* floor(std::uintptr_t key, std::uintptr_t& address) const;

    private:
        static constexpr std::uintptr_t max_distance =
            std::numeric_limits<Offset>::max() & ~std::uintptr_t{7};
        struct run {
            std::uintptr_t base;
            std::size_t begin, end;  // of its records
        };
        std::uintptr_t address_of(const run& r, std::size_t i) const noexcept {
            return r.base + (records_[i].distance & ~Offset{7});
        }
        blocks<Record> records_;
        std::vector<run> runs_;
        std::uintptr_t base_ = 0;  // of the current run
    };

    /// The tables of one width: 32-bit offsets for a text under 4 GiB, 64-bit beyond.
    template <class Offset>
    struct tables {
        /// A `String` or `Intlit` node.
        struct text_record {
            Offset distance;
            Offset offset;
        };
        /// A `List` or `Assoc` node (tagged 1 in `distance`) and its `count` elements, whose
        /// offsets are the located offsets from index `at` on.
        struct container_record {
            Offset distance;
            Offset offset;
            Offset at;
            Offset count;
        };
        address_table<text_record, Offset> texts;
        address_table<container_record, Offset> containers;
        blocks<Offset> offsets;      // of the elements of each container in turn
        blocks<Offset> line_starts;  // the offset after each line feed, ascending
    };

    template <class Offset>
    tables<Offset>& tables_of() noexcept {
        if constexpr (sizeof(Offset) == sizeof(std::uint32_t))
            return narrow_tables_;
        else
            return wide_tables_;
    }
    template <class Offset>
    static std::optional<std::size_t> offset_at(const tables<Offset>& t, std::uintptr_t address);
    template <class Offset>
    static std::optional<std::size_t> offset_of_payload(const tables<Offset>& t, std::uintptr_t id,
                                                        bool container);
    text_position at(std::size_t offset) const noexcept;
    template <class Offset>
    static text_position at(const tables<Offset>& t, std::size_t offset) noexcept;

    tables<std::uint32_t> narrow_tables_;
    tables<std::uint64_t> wide_tables_;
    bool wide_ = false;  // which tables hold the positions
    std::size_t root_offset_ = 0;
};

}  // namespace Sylvane::json_tree
