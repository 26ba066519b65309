#pragma once
/// The JSON tree `yojson`: an immutable value whose heap payloads are shared by reference count.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <sylvane/export.hpp>

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

namespace detail {

/// The reference count of an arena (see arena.hpp): references from outside the arena to any of
/// its nodes. The links between its nodes are not counted.
struct arena_count {
    std::atomic<std::size_t> refs;
};

/// Frees an arena whose count has dropped to zero, with every node in it.
SYLVANE_API void free_arena(arena_count* a) noexcept;

inline void release_arena(arena_count* a) noexcept {
    if (a->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) free_arena(a);
}

/// Shared header of every payload. For a node of its own, `refs` is even: twice the number of
/// references. For a node in an arena, it is odd: the arena's address with the low bit set,
/// and the arena counts the references to all of its nodes at once. Atomic, so that trees may
/// be copied and dropped from many threads at once.
struct payload_node {
    std::atomic<std::size_t> refs;
    constexpr explicit payload_node(std::size_t word) noexcept : refs(word) {}

    /// The count of a node with one reference.
    static constexpr std::size_t one_ref = 2;
    /// The word of a node in `a`.
    static std::size_t in(const arena_count* a) noexcept { return reinterpret_cast<std::uintptr_t>(a) | 1u; }
    /// The arena of a node whose word is `w`, or null.
    static arena_count* arena_of(std::size_t w) noexcept {
        return (w & 1u) != 0 ? reinterpret_cast<arena_count*>(w - 1) : nullptr;
    }
    arena_count* arena() const noexcept { return arena_of(refs.load(std::memory_order_relaxed)); }

    void retain() noexcept {
        if (arena_count* a = arena()) a->refs.fetch_add(1, std::memory_order_relaxed);
        else refs.fetch_add(one_ref, std::memory_order_relaxed);
    }
    /// Drops a reference; true when it was the last one to a node of its own, which the caller
    /// then frees.
    bool release() noexcept {
        if (arena_count* a = arena()) {
            release_arena(a);
            return false;
        }
        return refs.fetch_sub(one_ref, std::memory_order_acq_rel) == one_ref;
    }
};
static_assert(alignof(arena_count) >= 2, "an arena's address leaves the low bit free");

/// A count that no sequence of copies and drops brings to zero: static payloads.
inline constexpr std::size_t immortal_refs = std::size_t{1} << 62;

/// Payload of `String` and `Intlit`. `text` views one of four stores: characters copied right
/// behind the node in the same allocation, a moved-in `std::string` (the node is then an
/// `owned_string_node`), characters in the node's arena, or static text (the constant nodes).
struct string_node : payload_node {
    std::string_view text;
    bool owns_string = false;

    /// A constant node over static text; never freed.
    struct static_text_t {};
    constexpr string_node(static_text_t, std::string_view static_text) noexcept
        : payload_node(immortal_refs), text(static_text) {}

    /// A node holding the very string `s`: its buffer is taken, not copied.
    static string_node* adopt(std::string&& s);
    /// A node holding a copy of `s`, in one allocation with the node.
    static string_node* copy(std::string_view s);
    /// Frees a node made by `adopt` or `copy`.
    static void free(string_node* node) noexcept;

    string_node(const string_node&) = delete;
    string_node& operator=(const string_node&) = delete;
    constexpr ~string_node() = default;  // not virtual: `free` knows the node's real type

    explicit string_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
};

struct list_node;
struct assoc_node;
struct tree_access;  // payload identity and raw trees for the reader

/// The bits of a tree without its ownership: what the reader keeps while a container is open.
struct raw_tree {
    yojson_kind kind;
    std::uint64_t bits;
};

}  // namespace detail

/// An immutable JSON tree. Scalars are held inline in 16 bytes and allocate nothing; `Intlit`,
/// `String`, `List` and `Assoc` payloads sit in one shared heap node each (elements and keys in
/// the node itself), so copying a tree never copies its payload and two copies show the same
/// payload address. A moved-from tree is `Null`. Trees made by the text reader, or under an
/// `arena_scope`, keep their nodes in one arena, which lives while any tree holds one of them.
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
    constexpr yojson(yojson_kind k, detail::string_node* node) noexcept
        : kind_(k), string_(node) {}
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

namespace detail {

/// Payload of `List`: the elements follow the node in the same allocation (or arena).
struct list_node : payload_node {
    std::size_t size = 0;
    list_node* next_dead = nullptr;  // links dying nodes while a tree is freed
    explicit list_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
    yojson* items() noexcept { return reinterpret_cast<yojson*>(this + 1); }
};

/// Payload of `Assoc`: the entries follow the node, and the keys' characters follow them.
struct assoc_node : payload_node {
    std::size_t size = 0;
    assoc_node* next_dead = nullptr;  // links dying nodes while a tree is freed
    explicit assoc_node(std::size_t initial_refs) noexcept : payload_node(initial_refs) {}
    yojson::entry* entries() noexcept { return reinterpret_cast<yojson::entry*>(this + 1); }
};

/// What the reader and the locator need beyond the public API.
struct tree_access {
    /// The shared payload of a tree, as its identity: null for scalars.
    static const void* payload(const yojson& t) noexcept { return t.is_heap() ? t.node() : nullptr; }
    static raw_tree raw(const yojson& t) noexcept { return {t.kind_, t.bits_}; }
    /// A tree over `r` that holds a reference of its own.
    static yojson counted(raw_tree r) noexcept {
        yojson t(r);
        t.retain();
        return t;
    }
    /// The tree `r`, made at `where` without counting a reference: a link inside an arena.
    static yojson* place(void* where, raw_tree r) noexcept { return ::new (where) yojson(r); }
    /// Drops the counted reference that `r` stands for.
    static void drop(raw_tree r) noexcept { yojson counted(r); }
    /// The bits of a tree over `node`, which no reference is counted for.
    // Each sets the pointer in a Null tree, so dropping that tree releases nothing.
    static raw_tree raw_of(yojson_kind k, string_node* node) noexcept {
        yojson t;
        t.string_ = node;
        return {k, t.bits_};
    }
    static raw_tree raw_of(list_node* node) noexcept {
        yojson t;
        t.list_ = node;
        return {yojson_kind::List, t.bits_};
    }
    static raw_tree raw_of(assoc_node* node) noexcept {
        yojson t;
        t.assoc_ = node;
        return {yojson_kind::Assoc, t.bits_};
    }
    /// The entry of `key` and the tree `r`, made at `where` likewise.
    static void place_entry(void* where, std::string_view key, raw_tree r) noexcept {
        ::new (where) yojson::entry{key, yojson(r)};
    }
};

static_assert(alignof(yojson) <= alignof(list_node) && sizeof(list_node) % alignof(yojson) == 0);
static_assert(alignof(yojson::entry) <= alignof(assoc_node) &&
              sizeof(assoc_node) % alignof(yojson::entry) == 0);

}  // namespace detail

/// Builds a `List` in place: one allocation with room for `capacity` elements, each made where
/// it stays (under an `arena_scope`, in its arena; use the builder on that thread). Dropping an
/// unfinished builder drops the elements made so far.
///
///     list_builder b(xs.size());
///     for (auto x : xs) b.emplace([&] { return yojson::Int(x); });
///     yojson t = std::move(b).finish();
class SYLVANE_API list_builder {
public:
    explicit list_builder(std::size_t capacity);
    list_builder(const list_builder&) = delete;
    list_builder& operator=(const list_builder&) = delete;
    ~list_builder();

    /// Appends `t`. Throws `std::length_error` when the list is full.
    void push_back(yojson&& t) {
        yojson* s = ::new (static_cast<void*>(slot())) yojson(std::move(t));
        if (arena_ != nullptr) link(*s);
        ++node_->size;
    }
    /// Appends the tree that `make()` returns, made in its slot. If `make` throws, nothing is
    /// appended.
    template <class Make>
    void emplace(Make&& make) {
        yojson* s = ::new (static_cast<void*>(slot())) yojson(std::forward<Make>(make)());
        if (arena_ != nullptr) link(*s);
        ++node_->size;
    }
    std::size_t size() const noexcept { return node_->size; }
    /// Reverses the order of the elements appended so far.
    void reverse() noexcept { std::reverse(node_->items(), node_->items() + node_->size); }
    /// The `List` of the elements appended; the builder is empty afterwards.
    yojson finish() &&;

private:
    yojson* slot() {
        if (node_->size == capacity_) full();
        return node_->items() + node_->size;
    }
    [[noreturn]] static void full();
    void link(yojson& child);

    detail::list_node* node_;
    std::size_t capacity_;
    detail::arena_count* arena_ = nullptr;  // the arena the node is in, held until `finish`
};

/// Builds an `Assoc` in place: one allocation with room for `capacity` entries whose keys take
/// at most `key_bytes` bytes in all (under an `arena_scope`, in its arena; use the builder on
/// that thread). Dropping an unfinished builder drops the entries so far.
class SYLVANE_API assoc_builder {
public:
    assoc_builder(std::size_t capacity, std::size_t key_bytes);
    assoc_builder(const assoc_builder&) = delete;
    assoc_builder& operator=(const assoc_builder&) = delete;
    ~assoc_builder();

    /// Appends `key` (copied) and `value`. Throws `std::length_error` when there is no room.
    void push_back(std::string_view key, yojson&& value) {
        emplace(key, [&]() noexcept { return std::move(value); });
    }
    /// Appends `key` and the tree that `make()` returns, made in its slot. If `make` throws,
    /// nothing is appended.
    template <class Make>
    void emplace(std::string_view key, Make&& make) {
        yojson::entry* e = slot(key.size());
        // The key's bytes are written first but kept only once the value is made.
        if (!key.empty()) std::memcpy(keys_next_, key.data(), key.size());
        ::new (static_cast<void*>(e)) yojson::entry{std::string_view(keys_next_, key.size()),
                                                    std::forward<Make>(make)()};
        if (arena_ != nullptr) link(e->second);
        keys_next_ += key.size();
        ++node_->size;
    }
    std::size_t size() const noexcept { return node_->size; }
    /// The `Assoc` of the entries appended; the builder is empty afterwards.
    yojson finish() &&;

private:
    yojson::entry* slot(std::size_t key_size) {
        if (node_->size == capacity_ || key_size > static_cast<std::size_t>(keys_end_ - keys_next_)) full();
        return node_->entries() + node_->size;
    }
    [[noreturn]] static void full();
    void link(yojson& child);

    detail::assoc_node* node_;
    std::size_t capacity_;
    char* keys_next_;
    char* keys_end_;
    detail::arena_count* arena_ = nullptr;  // the arena the node is in, held until `finish`
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

inline detail::payload_node* yojson::node() const noexcept {
    switch (kind_) {
        case yojson_kind::List: return list_;
        case yojson_kind::Assoc: return assoc_;
        default: return string_;
    }
}

inline std::span<const yojson> yojson::as_list() const {
    check(yojson_kind::List);
    return {list_->items(), list_->size};
}

inline std::span<const yojson::entry> yojson::as_assoc() const {
    check(yojson_kind::Assoc);
    return {assoc_->entries(), assoc_->size};
}

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::assoc_builder;
using json_tree::bad_kind_access;
using json_tree::list_builder;
using json_tree::yojson;
using json_tree::yojson_kind;
}  // namespace Sylvane
