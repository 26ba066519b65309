#pragma once
/// Making trees in one arena instead of one heap allocation per node.

#include <cstddef>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::json_tree {

namespace detail {
class arena;

/// A scope of a thread: its arena (null until a conversion's scope makes its first node), how
/// many references to that arena the thread has handed out without counting them in the arena
/// (the ownership rules are beside `yojson`), and the scope made before it.
struct scope_state {
    arena* current;
    std::size_t lent;
    scope_state* outer;
};

/// The scope that `yojson_of` opens around a conversion when this thread has none open: the
/// trees made until it ends go into one arena, made with the first node, so that a conversion
/// that makes no node allocates nothing. Inside any other scope it does nothing, so that the
/// outermost conversion, or the user's `arena_scope`, decides.
class SYLVANE_API conversion_scope {
public:
    conversion_scope() noexcept;
    ~conversion_scope() {
        if (open_) end();
    }
    conversion_scope(const conversion_scope&) = delete;
    conversion_scope& operator=(const conversion_scope&) = delete;

private:
    void end() noexcept;

    scope_state state_;
    bool open_;
};
}  // namespace detail

/// While it lives, the trees that this thread makes (`String`, `Intlit`, `List` and `Assoc` by
/// the factories, the builders and every converter to the tree) take their nodes from one
/// arena: a few large allocations instead of one per node, and nothing freed node by node.
/// `yojson_of` does this by itself for each result; a scope puts many results in one arena. The
/// trees are ordinary trees: they may be copied, shared across threads and outlive the scope.
/// The arena's memory goes back when the scope has ended and no tree holds any of its nodes,
/// so a small tree kept for long keeps the whole arena: use a scope for a document that is
/// built, used and dropped together. Scopes nest; the one made last is used. They may end in
/// any order, on the thread that made them (as a lock guard does).
///
///     yojson tree;
///     {
///         Sylvane::arena_scope scope;
///         tree = Sylvane::yojson_of(orders);  // every node in the scope's arena
///     }
///     send(write(tree));
class SYLVANE_API arena_scope {
public:
    arena_scope();
    ~arena_scope();
    arena_scope(const arena_scope&) = delete;
    arena_scope& operator=(const arena_scope&) = delete;

private:
    detail::scope_state state_;
};

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::arena_scope;
}  // namespace Sylvane
