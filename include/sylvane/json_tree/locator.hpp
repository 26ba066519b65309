#pragma once
/// Source positions of the nodes of a tree read from text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/parse_error.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

namespace detail {
template <bool Track>
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
    std::size_t size() const noexcept { return offsets_.size(); }

private:
    template <bool Track>
    friend class detail::parser;
    using entry = std::pair<std::uintptr_t, std::size_t>;  // payload identity, byte offset
    /// The elements of one container: `count` trees `stride` bytes apart from the address
    /// `first`, whose offsets are the located offsets from index `at` on.
    struct elements {
        std::uintptr_t first;
        std::size_t stride;
        std::size_t count;
        std::size_t at;
    };

    /// Items filled in ascending runs of their `first` member (a run for each chunk of the tree's
    /// arena), looked up by run, then by item. Runs are kept apart rather than joined into one
    /// large block, which would be copied and, on a large document, mapped afresh.
    template <class Item>
    class runs {
    public:
        /// Starts a run: what is added from now on lies above or below all earlier runs.
        void start() { runs_.emplace_back().reserve(64); }
        void push_back(const Item& item) { runs_.back().push_back(item); }
        /// Orders the runs for lookup.
        void seal();
        /// The last item whose `first` is not above `key`, or null.
        const Item* floor(std::uintptr_t key) const;

    private:
        std::vector<std::vector<Item>> runs_;
    };

    /// The offsets of the nodes located by address, in blocks of a fixed size.
    class offsets {
    public:
        void append(const std::size_t* from, std::size_t n);
        std::size_t operator[](std::size_t i) const noexcept {
            return blocks_[i / block][i % block];
        }
        std::size_t size() const noexcept { return size_; }

    private:
        static constexpr std::size_t block = 4096;
        std::vector<std::unique_ptr<std::size_t[]>> blocks_;
        std::size_t size_ = 0;
    };

    text_position at(std::size_t offset) const noexcept;

    runs<elements> by_address_;
    runs<entry> by_payload_;
    offsets offsets_;
    std::vector<std::size_t> line_starts_{0};
    std::size_t root_offset_ = 0;
};

}  // namespace Sylvane::json_tree
