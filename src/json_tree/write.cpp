#include <json_tree/write.hpp>

#include <json_tree/locator.hpp>
#include <json_tree/text_scan.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ostream>
#include <vector>

namespace Sylvane::json_tree {

write_error::~write_error() = default;

namespace {

/// Whether `text` is a JSON integer: an optional '-', then 0 or digits without a leading zero.
bool json_integer(std::string_view text) noexcept {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    if (text[i] == '0') return i + 1 == text.size();
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

/// Asks for the payload of `t` ahead of its use: writing is bound by the latency of reaching
/// each scattered payload, not by the bytes.
inline void prefetch(const yojson& t) noexcept {
    if (const void* p = detail::tree_access::payload(t)) __builtin_prefetch(p);
}
constexpr std::size_t prefetch_distance = 6;

/// Appends into one buffer written through a raw pointer; with a sink, hands the buffer over
/// whenever it fills instead of growing it.
class writer {
public:
    writer(const write_options& options, std::ostream* sink) : options_(options), sink_(sink) {
        buf_.resize(sink ? chunk : 4096);
    }

    void tree(const yojson& root) {
        struct frame {
            const yojson* items;        // of a List
            const yojson::field* fields;  // of an Assoc
            std::size_t next, size;
        };
        std::vector<frame> stack;
        const yojson* v = &root;
        for (;;) {
            switch (v->kind()) {
                case yojson_kind::Null: put("null", 4); break;
                case yojson_kind::Bool: v->as_bool() ? put("true", 4) : put("false", 5); break;
                case yojson_kind::Int: {
                    char* p = room(24);
                    len_ += static_cast<std::size_t>(std::to_chars(p, p + 24, v->as_int()).ptr - p);
                    break;
                }
                case yojson_kind::Intlit: {
                    const std::string_view t = v->as_intlit();
                    if (!json_integer(t)) throw write_error("Intlit text is not a JSON integer: \"" + std::string(t) + '"');
                    put(t.data(), t.size());
                    break;
                }
                case yojson_kind::Float: number(v->as_float()); break;
                case yojson_kind::String: string(v->as_string()); break;
                case yojson_kind::List: {
                    const auto items = v->as_list();
                    if (items.empty()) {
                        put("[]", 2);
                    } else {
                        put("[", 1);
                        for (std::size_t i = 0; i < std::min(items.size(), prefetch_distance); ++i) prefetch(items[i]);
                        stack.push_back({items.data(), nullptr, 0, items.size()});
                    }
                    break;
                }
                case yojson_kind::Assoc: {
                    const auto fields = v->as_assoc();
                    if (fields.empty()) {
                        put("{}", 2);
                    } else {
                        put("{", 1);
                        for (std::size_t i = 0; i < std::min(fields.size(), prefetch_distance); ++i) prefetch(fields[i].second);
                        stack.push_back({nullptr, fields.data(), 0, fields.size()});
                    }
                    break;
                }
            }
            // Find the next value to write, closing finished containers on the way.
            for (;;) {
                if (stack.empty()) return;
                frame& f = stack.back();
                if (f.next == f.size) {
                    const char closer = f.items ? ']' : '}';
                    stack.pop_back();
                    newline(stack.size());
                    put(&closer, 1);
                    continue;
                }
                if (f.next > 0) put(",", 1);
                newline(stack.size());
                if (f.next + prefetch_distance < f.size)
                    prefetch(f.items ? f.items[f.next + prefetch_distance] : f.fields[f.next + prefetch_distance].second);
                if (f.items) {
                    v = &f.items[f.next];
                } else {
                    string(f.fields[f.next].first);
                    options_.pretty ? put(": ", 2) : put(":", 1);
                    v = &f.fields[f.next].second;
                }
                ++f.next;
                break;
            }
        }
    }

    std::string take() && {
        buf_.resize(len_);
        return std::move(buf_);
    }

    void flush() {
        if (len_ > 0) sink_->write(buf_.data(), static_cast<std::streamsize>(len_));
        len_ = 0;
    }

private:
    static constexpr std::size_t chunk = 1 << 16;

    /// A pointer to at least `n` free bytes at the end of the text.
    char* room(std::size_t n) {
        if (buf_.size() - len_ < n) make_room(n);
        return buf_.data() + len_;
    }
    void make_room(std::size_t n) {
        if (sink_) flush();
        if (buf_.size() - len_ < n) buf_.resize(std::max(buf_.size() * 2, len_ + n));
    }
    void put(const char* s, std::size_t n) {
        std::memcpy(room(n), s, n);
        len_ += n;
    }

    void newline(std::size_t depth) {
        if (!options_.pretty) return;
        const std::size_t n = depth * options_.indent;
        char* p = room(n + 1);
        *p = '\n';
        std::memset(p + 1, ' ', n);
        len_ += n + 1;
    }

    void number(double d) {
        if (!std::isfinite(d)) {
            if (!options_.allow_nan_infinity)
                throw write_error(std::isnan(d) ? "NaN has no JSON text" : "an infinite Float has no JSON text");
            if (std::isnan(d)) put("NaN", 3);
            else d > 0 ? put("Infinity", 8) : put("-Infinity", 9);
            return;
        }
        char* p = room(32);
        char* e = std::to_chars(p, p + 32, d).ptr;
        // Shortest digits may look like an integer ("1", "-0"); a fraction keeps it a Float.
        if (std::find_if(p, e, [](char c) { return c == '.' || c == 'e'; }) == e) {
            *e++ = '.';
            *e++ = '0';
        }
        len_ += static_cast<std::size_t>(e - p);
    }

    void string(std::string_view s) {
        if (options_.check_utf8) string_checked<true>(s);
        else string_checked<false>(s);
    }

    template <bool Check>
    void string_checked(std::string_view s) {
        static constexpr char hex[] = "0123456789abcdef";
        const char* p = s.data();
        const char* const end = p + s.size();
        put("\"", 1);
        for (;;) {
            const char* run = p;
            p = detail::scan_plain<Check>(p, end);
            put(run, static_cast<std::size_t>(p - run));
            if (p == end) break;
            const auto c = static_cast<unsigned char>(*p);
            if (Check && c >= 0x80) {
                const char* next = detail::utf8_sequence(p, end);
                if (!next) throw write_error("a string is not UTF-8 (byte " + std::to_string(p - s.data()) + ')');
                put(p, static_cast<std::size_t>(next - p));
                p = next;
                continue;
            }
            char* o = room(6);
            o[0] = '\\';
            std::size_t n = 2;
            switch (c) {
                case '"': o[1] = '"'; break;
                case '\\': o[1] = '\\'; break;
                case '\b': o[1] = 'b'; break;
                case '\f': o[1] = 'f'; break;
                case '\n': o[1] = 'n'; break;
                case '\r': o[1] = 'r'; break;
                case '\t': o[1] = 't'; break;
                default:
                    std::memcpy(o + 1, "u00", 3);
                    o[4] = hex[c >> 4];
                    o[5] = hex[c & 0xf];
                    n = 6;
            }
            len_ += n;
            ++p;
        }
        put("\"", 1);
    }

    const write_options& options_;
    std::ostream* sink_;
    std::string buf_;  // its size is the capacity in use; the text is the first len_ bytes
    std::size_t len_ = 0;
};

}  // namespace

std::string write(const yojson& tree, const write_options& options) {
    writer w(options, nullptr);
    w.tree(tree);
    return std::move(w).take();
}

void write(std::ostream& out, const yojson& tree, const write_options& options) {
    writer w(options, &out);
    w.tree(tree);
    w.flush();
}

}  // namespace Sylvane::json_tree
