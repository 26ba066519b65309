#include <sylvane/json_tree/yojson.hpp>

#include <sylvane/json_tree/builders.hpp>

#include "arena.hpp"

#include <charconv>
#include <cstring>
#include <ostream>

namespace Sylvane::json_tree {

std::string_view kind_name(yojson_kind kind) noexcept {
    switch (kind) {
        case yojson_kind::Null: return "Null";
        case yojson_kind::Bool: return "Bool";
        case yojson_kind::Int: return "Int";
        case yojson_kind::Intlit: return "Intlit";
        case yojson_kind::Float: return "Float";
        case yojson_kind::String: return "String";
        case yojson_kind::List: return "List";
        case yojson_kind::Assoc: return "Assoc";
    }
    return "?";
}

namespace {
std::string kind_access_message(yojson_kind expected, yojson_kind actual) {
    std::string m = "yojson: ";
    m += kind_name(expected);
    m += " payload requested from a ";
    m += kind_name(actual);
    m += " tree";
    return m;
}
}  // namespace

bad_kind_access::bad_kind_access(yojson_kind expected, yojson_kind actual)
    : std::logic_error(kind_access_message(expected, actual)),
      expected_(expected),
      actual_(actual) {}

bad_kind_access::~bad_kind_access() = default;

namespace detail {

namespace {
/// A string node that owns a moved-in `std::string`. The gap keeps the string, and so its
/// characters when they are inside it, off the address right behind the base node, where a
/// copied node's characters start.
struct owned_string_node final : string_node {
    [[maybe_unused]] char gap = 0;
    std::string owned;
    explicit owned_string_node(std::string&& s) noexcept
        : string_node(one_ref), owned(std::move(s)) {
        text = owned;
    }
};
}  // namespace

string_node* string_node::adopt(std::string&& s) {
    return new owned_string_node(std::move(s));
}

string_node* string_node::copy(std::string_view s) {
    void* memory = ::operator new(sizeof(string_node) + s.size());
    auto* node = ::new (memory) string_node(one_ref);
    char* chars = reinterpret_cast<char*>(node + 1);
    if (!s.empty()) std::memcpy(chars, s.data(), s.size());
    node->text = std::string_view(chars, s.size());
    return node;
}

void string_node::free(string_node* node) noexcept {
    if (node->text.data() != reinterpret_cast<const char*>(node + 1)) {
        delete static_cast<owned_string_node*>(node);
    } else {
        node->~string_node();
        ::operator delete(node);
    }
}

}  // namespace detail

namespace {
/// The node of a string made on this thread: in the current arena (counted once), or on the
/// heap, where a moved-in string is taken as it is.
template <class S>
detail::string_node* text_node(S&& s) {
    if (detail::arena* a = detail::arena::current()) {
        detail::string_node* node = a->text(s);
        detail::arena::take(a);
        return node;
    }
    if constexpr (std::is_same_v<S, std::string>)
        return detail::string_node::adopt(std::move(s));
    else
        return detail::string_node::copy(s);
}
}  // namespace

yojson yojson::Intlit(std::string&& text) {
    return yojson(yojson_kind::Intlit, text_node(std::move(text)));
}

yojson yojson::Intlit(std::string_view text) {
    return yojson(yojson_kind::Intlit, text_node(text));
}

yojson yojson::String(std::string&& s) {
    return yojson(yojson_kind::String, text_node(std::move(s)));
}

yojson yojson::String(std::string_view s) {
    return yojson(yojson_kind::String, text_node(s));
}

yojson yojson::List(std::vector<yojson> items) {
    list_builder b(items.size());
    for (yojson& t : items) b.push_back(std::move(t));
    return std::move(b).finish();
}

yojson yojson::Assoc(std::vector<field> fields) {
    std::size_t key_bytes = 0;
    for (const field& f : fields) key_bytes += f.first.size();
    assoc_builder b(fields.size(), key_bytes);
    for (field& f : fields) b.push_back(f.first, std::move(f.second));
    return std::move(b).finish();
}

void yojson::destroy() noexcept {
    // Children are released by hand before a container's memory is freed: each child either
    // still has owners or joins the work list. Nodes in an arena never get here: their arena
    // frees them all at once.
    // The work lists are linked through the dying nodes' count words.
    detail::list_node* lists = nullptr;
    detail::assoc_node* assocs = nullptr;
    const auto link = [](detail::payload_node* n, const void* next) {
        n->refs.store(reinterpret_cast<std::uintptr_t>(next), std::memory_order_relaxed);
    };
    const auto next = [](auto* n) {
        return reinterpret_cast<decltype(n)>(n->refs.load(std::memory_order_relaxed));
    };
    auto dispose = [&](yojson& t) {
        switch (t.kind_) {
            case yojson_kind::Intlit:
            case yojson_kind::String: detail::string_node::free(t.string_); break;
            case yojson_kind::List:
                link(t.list_, lists);
                lists = t.list_;
                break;
            case yojson_kind::Assoc:
                link(t.assoc_, assocs);
                assocs = t.assoc_;
                break;
            default: break;
        }
    };
    auto drop = [&](yojson& t) {
        if (t.is_heap() && t.node()->release()) dispose(t);
    };
    dispose(*this);
    while (lists != nullptr || assocs != nullptr) {
        if (lists != nullptr) {
            detail::list_node* n = lists;
            lists = next(n);
            for (yojson *c = n->items(), *end = c + n->size; c != end; ++c) drop(*c);
            ::operator delete(n);
        } else {
            detail::assoc_node* n = assocs;
            assocs = next(n);
            for (yojson::entry *e = n->entries(), *end = e + n->size; e != end; ++e)
                drop(e->second);
            ::operator delete(n);
        }
    }
}

bool operator==(const yojson& a, const yojson& b) {
    std::vector<std::pair<const yojson*, const yojson*>> work{{&a, &b}};
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        if (x->kind_ != y->kind_) return false;
        switch (x->kind_) {
            case yojson_kind::Null: break;
            case yojson_kind::Bool:
                if (x->bool_ != y->bool_) return false;
                break;
            case yojson_kind::Int:
            case yojson_kind::Float:
                if (x->bits_ != y->bits_) return false;
                break;
            case yojson_kind::Intlit:
            case yojson_kind::String:
                if (x->string_->text != y->string_->text) return false;
                break;
            case yojson_kind::List: {
                const auto xs = x->as_list();
                const auto ys = y->as_list();
                if (xs.size() != ys.size()) return false;
                if (xs.data() == ys.data()) break;
                for (std::size_t i = 0; i < xs.size(); ++i) work.emplace_back(&xs[i], &ys[i]);
                break;
            }
            case yojson_kind::Assoc: {
                const auto xs = x->as_assoc();
                const auto ys = y->as_assoc();
                if (xs.size() != ys.size()) return false;
                if (xs.data() == ys.data()) break;
                for (std::size_t i = 0; i < xs.size(); ++i) {
                    if (xs[i].first != ys[i].first) return false;
                    work.emplace_back(&xs[i].second, &ys[i].second);
                }
                break;
            }
        }
    }
    return true;
}

namespace {

// Printing is for diagnostics: trees deeper than this print their inner part as "...".
constexpr int max_print_depth = 100;

void print_quoted(std::ostream& os, std::string_view s) {
    static constexpr char hex[] = "0123456789abcdef";
    os << '"';
    for (const char byte : s) {
        const auto c = static_cast<unsigned char>(byte);
        switch (c) {
            case '"': os << "\\\""; break;
            case '\\': os << "\\\\"; break;
            case '\n': os << "\\n"; break;
            case '\t': os << "\\t"; break;
            case '\r': os << "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7f)
                    os << "\\x" << hex[c >> 4] << hex[c & 0xf];
                else
                    os << static_cast<char>(c);
        }
    }
    os << '"';
}

void print(std::ostream& os, const yojson& t, int depth) {
    if (depth > max_print_depth) {
        os << "...";
        return;
    }
    switch (t.kind()) {
        case yojson_kind::Null: os << "Null"; break;
        case yojson_kind::Bool: os << (t.as_bool() ? "Bool true" : "Bool false"); break;
        case yojson_kind::Int: os << "Int " << t.as_int(); break;
        case yojson_kind::Intlit: os << "Intlit " << t.as_intlit(); break;
        case yojson_kind::Float: {
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, t.as_float());
            os << "Float " << std::string_view(buf, static_cast<std::size_t>(r.ptr - buf));
            break;
        }
        case yojson_kind::String:
            os << "String ";
            print_quoted(os, t.as_string());
            break;
        case yojson_kind::List: {
            os << "List [";
            const char* sep = "";
            for (const yojson& e : t.as_list()) {
                os << sep;
                print(os, e, depth + 1);
                sep = "; ";
            }
            os << ']';
            break;
        }
        case yojson_kind::Assoc: {
            os << "Assoc {";
            const char* sep = "";
            for (const auto& [k, v] : t.as_assoc()) {
                os << sep;
                print_quoted(os, k);
                os << ": ";
                print(os, v, depth + 1);
                sep = "; ";
            }
            os << '}';
            break;
        }
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const yojson& t) {
    print(os, t, 0);
    return os;
}

}  // namespace Sylvane::json_tree
