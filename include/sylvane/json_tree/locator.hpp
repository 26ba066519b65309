#pragma once
/// Source positions of the nodes of a tree read from text.

#include <cstddef>
#include <cstdint>
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
    std::size_t size() const noexcept { return by_address_.size(); }

private:
    template <bool Track>
    friend class detail::parser;
    using entry = std::pair<std::uintptr_t, std::size_t>;  // identity, byte offset

    /// Identities and their offsets, filled in ascending runs (one for each chunk of the tree's
    /// arena) and looked up by run, then by entry. Runs are kept apart rather than joined into
    /// one large block, which malloc would map afresh, and fault in page by page, on every read.
    class table {
    public:
        /// Starts a run: what is appended from now on lies above or below all earlier runs.
        void start_run() { runs_.emplace_back().reserve(256); }
        /// Room for `n` more entries in the current run.
        entry* append(std::size_t n) {
            std::vector<entry>& run = runs_.back();
            const std::size_t at = run.size();
            run.resize(at + n);
            size_ += n;
            return run.data() + at;
        }
        void push_back(entry e) {
            runs_.back().push_back(e);
            ++size_;
        }
        /// Orders the runs for lookup.
        void seal();
        std::optional<std::size_t> find(std::uintptr_t key) const;
        std::size_t size() const noexcept { return size_; }

    private:
        std::vector<std::vector<entry>> runs_;
        std::size_t size_ = 0;
    };

    text_position at(std::size_t offset) const noexcept;

    table by_address_;
    table by_payload_;
    std::vector<std::size_t> line_starts_{0};
    std::size_t root_offset_ = 0;
};

}  // namespace Sylvane::json_tree
