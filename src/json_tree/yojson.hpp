#pragma once
/// The JSON tree `yojson`: an immutable value whose heap payloads are shared by reference count.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
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

/// Shared header of every heap payload. The count is atomic so that trees may be copied and
/// dropped from many threads at once.
struct payload_node {
    std::atomic<std::size_t> refs;
    constexpr explicit payload_node(std::size_t initial) noexcept : refs(initial) {}
};

/// A reference count that no sequence of copies and drops brings to zero: static payloads.
inline constexpr std::size_t immortal_refs = std::size_t{1} << 62;

/// Payload of `String` and `Intlit`. `text` views one of three stores: characters copied right
/// behind the node in the same allocation, a moved-in `std::string` (the node is then an
/// `owned_string_node`), or static text (the constant nodes, constant-initialised).
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

protected:
    string_node() noexcept : payload_node(1) {}
};

struct list_node;
struct assoc_node;
struct tree_access;  // payload identity for the text reader's locator

}  // namespace detail

/// An immutable JSON tree. Scalars are held inline in 16 bytes and allocate nothing; `Intlit`,
/// `String`, `List` and `Assoc` payloads sit in one shared heap node each, so copying a tree never
/// copies its payload and two copies show the same payload address. A moved-from tree is `Null`.
///
///     auto t = yojson::List({yojson::Int(1), yojson::String("a")});
///     t.as_list()[1].as_string();  // "a"
class SYLVANE_API yojson {
public:
    using field = std::pair<std::string, yojson>;

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
    static yojson List(std::vector<yojson> items);
    /// A JSON object: keys in order, duplicates kept.
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
    std::span<const field> as_assoc() const;

    /// Structural equality; `Float` compares by bits, so a NaN tree equals itself and
    /// 0.0 differs from -0.0. Runs in constant stack space.
    friend SYLVANE_API bool operator==(const yojson& a, const yojson& b);

    /// A readable form for diagnostics, e.g. `List [Int 1; String "a"]`; not JSON text.
    friend SYLVANE_API std::ostream& operator<<(std::ostream& os, const yojson& t);

private:
    constexpr yojson(yojson_kind k, detail::string_node* node) noexcept
        : kind_(k), string_(node) {}

    bool is_heap() const noexcept {
        return kind_ == yojson_kind::Intlit || kind_ == yojson_kind::String ||
               kind_ == yojson_kind::List || kind_ == yojson_kind::Assoc;
    }
    detail::payload_node* node() const noexcept;
    void retain() const noexcept {
        if (is_heap()) node()->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept {
        if (is_heap() && node()->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
    }
    /// Frees this tree's payload and every payload below it that nothing else holds, without
    /// recursion, so that dropping a tree of any depth cannot overflow the stack.
    void destroy() noexcept;
    void check(yojson_kind expected) const {
        if (kind_ != expected) throw bad_kind_access(expected, kind_);
    }
    friend struct detail::list_node;
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

namespace detail {

struct list_node : payload_node {
    std::vector<yojson> items;
    list_node* next_dead = nullptr;  // links dying nodes while a tree is freed
    explicit list_node(std::vector<yojson>&& v) noexcept : payload_node(1), items(std::move(v)) {}
};

struct assoc_node : payload_node {
    std::vector<yojson::field> items;
    assoc_node* next_dead = nullptr;  // links dying nodes while a tree is freed
    explicit assoc_node(std::vector<yojson::field>&& v) noexcept
        : payload_node(1), items(std::move(v)) {}
};

}  // namespace detail

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
    return list_->items;
}

inline std::span<const yojson::field> yojson::as_assoc() const {
    check(yojson_kind::Assoc);
    return assoc_->items;
}

}  // namespace Sylvane::json_tree

namespace Sylvane {
using json_tree::bad_kind_access;
using json_tree::yojson;
using json_tree::yojson_kind;
}  // namespace Sylvane
