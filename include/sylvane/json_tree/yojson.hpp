#pragma once
/// The JSON tree `yojson`: an immutable value whose heap payloads are shared by reference count.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>

namespace Sylvane::json_tree {

/// The constructor of a tree; `Assoc` is a JSON object.
enum class yojson_kind : std::uint8_t { Null, Bool, Int, Intlit, Float, String, List, Assoc };

/// The constructor's name as written in code: "Null", "Bool", ..., "Assoc".
SYLVANE_API std::string_view kind_name(yojson_kind kind) noexcept;

/// Thrown by a payload accessor used on a tree of another kind.
class SYLVANE_API bad_kind_access : public std::logic_error {
public:
    bad_kind_access(yojson_kind expected, yojson_kind actual);
    ~bad_kind_access() override;
    yojson_kind expected() const noexcept { return expected_; }
    yojson_kind actual() const noexcept { return actual_; }

private:
    yojson_kind expected_;
    yojson_kind actual_;
};

class yojson;

}  // namespace Sylvane::json_tree

#include <sylvane/json_tree/detail/payload.hpp>

namespace Sylvane::json_tree {

// Ownership of trees. This is the one statement of these rules; the files that implement them
// (detail/payload.hpp, detail/nodes.hpp, arena_scope.hpp, src/json_tree/arena.*, builders.cpp)
// refer here.
//
// - A tree is 16 bytes: a kind and either a scalar or a pointer to a payload node (`String`,
//   `Intlit`, `List`, `Assoc`). Payloads are immutable once made and shared by every copy; a
//   copy takes a reference, a drop gives one back, both atomically, so trees may be shared
//   across threads. One node may stand at several places of a tree: `read` gives equal short
//   strings of a document one node.
// - A payload node lives on the heap (a node of its own, or a constant that is never freed) or
//   in an arena. Its count word says which: even for a node of its own, holding twice its number
//   of references; odd for a node in an arena, holding the arena's address with the low bit set.
// - A node of its own is freed when its last reference goes; freeing a container releases its
//   elements, iteratively, so no depth of tree can overflow the stack.
// - An arena holds the nodes of one document (the reader), of one `arena_scope`, or of one
//   outermost `yojson_of` outside any scope (made with its first node, so a conversion that
//   makes none has none), carved from chunks that grow up to 64 KiB (the first holds the arena
//   itself), and counts the references from outside it to any of its nodes at once: trees,
//   builders, heap containers holding its nodes, and the scope or read that fills it. Its
//   containers hold only its own nodes (besides scalars and constants), as links that are not
//   counted. A container that is to hold any other node (a heap node, another arena's node) is
//   made on the heap instead, where every reference it holds is counted; a builder begun in an
//   arena moves its node to the heap when such a node comes. So an arena holds no reference out
//   of itself, counted references form no cycle, and dropping every tree frees every arena:
//   an arena and all its nodes go when its count reaches zero, freeing nothing else.
// - Only the thread that fills an arena makes nodes in it. A scope (an `arena_scope`, or the
//   one `yojson_of` opens) holds a large reserve of references to its arena and lends them to
//   the trees and builders its thread makes, counting them in a thread-local number instead of
//   the atomic count; when the scope ends, it gives back what it did not lend, so a converter
//   that throws leaves nothing behind. Scopes may end in any order.

/// An immutable JSON tree. Scalars are held inline in 16 bytes and allocate nothing; `Intlit`,
/// `String`, `List` and `Assoc` payloads sit in one shared heap node each (elements and keys in
/// the node itself), so copying a tree never copies its payload and two copies show the same
/// payload address. A moved-from tree is `Null`. Trees made by the text reader, by
/// `yojson_of`, or under an `arena_scope`, keep their nodes in one arena, which lives while any
/// tree holds one of them (see the ownership rules above).
///
///     auto t = yojson::List({yojson::Int(1), yojson::String("a")});
///     t.as_list()[1].as_string();  // "a"
class SYLVANE_API yojson {
public:
    /// What `Assoc` is built from: a key and its value.
    using field = std::pair<std::string, yojson>;
    /// What `as_assoc` shows: a key, viewed in the shared payload, and its value. Named like the
    /// members of `field`, so `auto& [key, value]` and `.first`/`.second` read both alike.
    struct entry;

    /// `Null`.
    constexpr yojson() noexcept : kind_(yojson_kind::Null), int_(0) {}

    static yojson Null() noexcept { return yojson(); }
    static yojson Bool(bool b) noexcept;
    static yojson Int(std::int64_t n) noexcept;
    /// An integer literal; the text is kept as given. A moved-in string is taken as it is; any
    /// other argument is copied, together with the node, in one allocation.
    static yojson Intlit(std::string&& text);
    static yojson Intlit(const std::string& text) { return Intlit(std::string_view(text)); }
    static yojson Intlit(const char* text) { return Intlit(std::string_view(text)); }
    static yojson Intlit(std::string_view text);
    static yojson Float(double d) noexcept;
    /// A moved-in string is placed in the tree itself, never copied; any other argument is
    /// copied, together with the node, in one allocation.
    static yojson String(std::string&& s);
    static yojson String(const std::string& s) { return String(std::string_view(s)); }
    static yojson String(const char* s) { return String(std::string_view(s)); }
    static yojson String(std::string_view s);
    /// The elements are moved into the list's node. `list_builder` builds one without the vector.
    static yojson List(std::vector<yojson> items);
    /// A JSON object: keys in order, duplicates kept. Keys are copied into the object's node;
    /// `assoc_builder` builds one without the vector.
    static yojson Assoc(std::vector<field> fields);

    /// A tree over a constant node (e.g. the "<opaque>" tree); usable in constant initialisation.
    static constexpr yojson constant_string(detail::string_node& node) noexcept {
        return yojson(yojson_kind::String, &node);
    }

    yojson(const yojson& other) noexcept : kind_(other.kind_), bits_(other.bits_) { retain(); }
    yojson(yojson&& other) noexcept : kind_(other.kind_), bits_(other.bits_) {
        other.kind_ = yojson_kind::Null;
    }
    yojson& operator=(const yojson& other) noexcept {
        yojson(other).swap(*this);
        return *this;
    }
    yojson& operator=(yojson&& other) noexcept {
        yojson(std::move(other)).swap(*this);
        return *this;
    }
    constexpr ~yojson() {
        if (!std::is_constant_evaluated()) release();
    }

    void swap(yojson& other) noexcept {
        std::swap(kind_, other.kind_);
        std::swap(bits_, other.bits_);
    }
    friend void swap(yojson& a, yojson& b) noexcept { a.swap(b); }

    yojson_kind kind() const noexcept { return kind_; }
    bool is_null() const noexcept { return kind_ == yojson_kind::Null; }

    // Payload accessors: they throw `bad_kind_access` on a tree of another kind. Views point
    // into the shared payload and live as long as some tree holds it.
    bool as_bool() const { return check(yojson_kind::Bool), bool_; }
    std::int64_t as_int() const { return check(yojson_kind::Int), int_; }
    double as_float() const { return check(yojson_kind::Float), float_; }
    std::string_view as_intlit() const { return check(yojson_kind::Intlit), string_->text; }
    std::string_view as_string() const { return check(yojson_kind::String), string_->text; }
    std::span<const yojson> as_list() const;
    std::span<const entry> as_assoc() const;

    /// Structural equality; `Float` compares by bits, so a NaN tree equals itself and
    /// 0.0 differs from -0.0. Runs in constant stack space.
    friend SYLVANE_API bool operator==(const yojson& a, const yojson& b);

    /// A readable form for diagnostics, e.g. `List [Int 1; String "a"]`; not JSON text.
    friend SYLVANE_API std::ostream& operator<<(std::ostream& os, const yojson& t);

private:
    constexpr yojson(yojson_kind k, detail::string_node* node) noexcept : kind_(k), string_(node) {}
    /// Takes the bits as they are: no reference is counted.
    constexpr explicit yojson(detail::raw_tree r) noexcept : kind_(r.kind), bits_(r.bits) {}

    bool is_heap() const noexcept {
        return kind_ == yojson_kind::Intlit || kind_ == yojson_kind::String ||
               kind_ == yojson_kind::List || kind_ == yojson_kind::Assoc;
    }
    detail::payload_node* node() const noexcept;
    void retain() const noexcept {
        if (is_heap()) node()->retain();
    }
    void release() noexcept {
        if (is_heap() && node()->release()) destroy();
    }
    /// Frees this tree's payload and every payload below it that nothing else holds, without
    /// recursion, so that dropping a tree of any depth cannot overflow the stack.
    void destroy() noexcept;
    void check(yojson_kind expected) const {
        if (kind_ != expected) throw bad_kind_access(expected, kind_);
    }
    friend class list_builder;
    friend class assoc_builder;
    friend struct detail::tree_access;

    yojson_kind kind_;
    union {
        bool bool_;
        std::int64_t int_;
        double float_;
        detail::string_node* string_;
        detail::list_node* list_;
        detail::assoc_node* assoc_;
        std::uint64_t bits_;
    };
};

static_assert(sizeof(yojson) == 16, "a scalar tree takes 16 bytes");

struct yojson::entry {
    std::string_view first;  // the key
    yojson second;           // the value
};

inline yojson yojson::Bool(bool b) noexcept {
    yojson t;
    t.kind_ = yojson_kind::Bool;
    t.bits_ = 0;
    t.bool_ = b;
    return t;
}

inline yojson yojson::Int(std::int64_t n) noexcept {
    yojson t;
    t.kind_ = yojson_kind::Int;
    t.int_ = n;
    return t;
}

inline yojson yojson::Float(double d) noexcept {
    yojson t;
    t.kind_ = yojson_kind::Float;
    t.float_ = d;
    return t;
}

}  // namespace Sylvane::json_tree

#include <sylvane/json_tree/detail/nodes.hpp>

namespace Sylvane {
using json_tree::bad_kind_access;
using json_tree::yojson;
using json_tree::yojson_kind;
}  // namespace Sylvane
