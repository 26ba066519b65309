#include <sylvane/json_tree/write.hpp>

#include <sylvane/json_tree/locator.hpp>
#include "chunk_size.hpp"
#include "shortest_double.hpp"
#include "text_scan.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
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

/// Appends into a buffer written through a raw pointer. When the buffer fills, a writer to a
/// string keeps it as a full chunk and starts another, so that nothing is copied while the text
/// grows, and joins the chunks once at the end; a writer to a stream hands it to the stream.
class writer {
public:
    writer(const write_options& options, std::ostream* sink) : options_(options), sink_(sink) {
        start_chunk(sink ? detail::max_chunk : first_chunk);
    }

    void tree(const yojson& root) {
        if (options_.pretty) {
            options_.check_utf8 ? tree<true, true>(root) : tree<true, false>(root);
        } else {
            options_.check_utf8 ? tree<false, true>(root) : tree<false, false>(root);
        }
    }

    std::string take() && {
        std::string text;
        text.reserve(full_bytes_ + used());
        for (const auto& [chunk, size] : full_) text.append(chunk.get(), size);
        text.append(buf_.get(), used());
        return text;
    }

    void flush() {
        if (used() > 0) sink_->write(buf_.get(), static_cast<std::streamsize>(used()));
        next_ = buf_.get();
    }

private:
    /// Writes the tree without recursion: open containers wait on a stack.
    template <bool Pretty, bool Check>
    void tree(const yojson& root) {
        struct frame {
            const yojson* items;          // of a List
            const yojson::entry* fields;  // of an Assoc
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
                    next_ = std::to_chars(p, p + 24, v->as_int()).ptr;
                    break;
                }
                case yojson_kind::Intlit: {
                    const std::string_view t = v->as_intlit();
                    if (!json_integer(t))
                        throw write_error("Intlit text is not a JSON integer: \"" + std::string(t) +
                                          '"');
                    put(t.data(), t.size());
                    break;
                }
                case yojson_kind::Float: number(v->as_float()); break;
                case yojson_kind::String: string<Check>(v->as_string()); break;
                case yojson_kind::List: {
                    const auto items = v->as_list();
                    if (items.empty()) {
                        put("[]", 2);
                    } else {
                        put_char('[');
                        stack.push_back({items.data(), nullptr, 0, items.size()});
                    }
                    break;
                }
                case yojson_kind::Assoc: {
                    const auto fields = v->as_assoc();
                    if (fields.empty()) {
                        put("{}", 2);
                    } else {
                        put_char('{');
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
                    if constexpr (Pretty) newline(stack.size());
                    put_char(closer);
                    continue;
                }
                if (f.next > 0) put_char(',');
                if constexpr (Pretty) newline(stack.size());
                if (f.items) {
                    v = &f.items[f.next];
                } else {
                    string<Check>(f.fields[f.next].first);
                    if constexpr (Pretty)
                        put(": ", 2);
                    else
                        put_char(':');
                    v = &f.fields[f.next].second;
                }
                ++f.next;
                break;
            }
        }
    }

    // Chunks grow up to `max_chunk`.
    static constexpr std::size_t first_chunk = 4096;

    std::size_t used() const noexcept { return static_cast<std::size_t>(next_ - buf_.get()); }

    void start_chunk(std::size_t size) {
        buf_ = std::make_unique_for_overwrite<char[]>(size);
        buf_size_ = size;
        next_ = buf_.get();
        end_ = next_ + size;
    }

    /// A pointer to at least `n` free bytes, `n` no more than a few dozen.
    char* room(std::size_t n) {
        if (room_left() < n) next_chunk();
        return next_;
    }
    void next_chunk() {
        if (sink_) {
            flush();
            return;
        }
        const std::size_t size = std::min(buf_size_ * 2, detail::max_chunk);
        full_bytes_ += used();
        full_.emplace_back(std::move(buf_), used());
        start_chunk(size);
    }
    std::size_t room_left() const noexcept { return static_cast<std::size_t>(end_ - next_); }
    void put_char(char c) { *room(1) = c, ++next_; }
    void put(const char* s, std::size_t n) {
        if (room_left() < n) return put_spanning(s, n);
        std::memcpy(next_, s, n);
        next_ += n;
    }
    /// Puts bytes that do not fit the buffer: a long string spans chunks.
    [[gnu::noinline]] void put_spanning(const char* s, std::size_t n) {
        while (room_left() < n) {
            const std::size_t part = room_left();
            if (part > 0) std::memcpy(next_, s, part);
            next_ += part;
            s += part;
            n -= part;
            next_chunk();
        }
        if (n > 0) std::memcpy(next_, s, n);
        next_ += n;
    }

    void newline(std::size_t depth) {
        put("\n", 1);
        for (std::size_t n = depth * options_.indent; n > 0;) {
            const std::size_t part = std::min<std::size_t>(n, 32);
            std::memset(room(part), ' ', part);
            next_ += part;
            n -= part;
        }
    }

    void number(double d) {
        if (!std::isfinite(d)) {
            if (!options_.allow_nan_infinity)
                throw write_error(std::isnan(d) ? "NaN has no JSON text"
                                                : "an infinite Float has no JSON text");
            if (std::isnan(d))
                put("NaN", 3);
            else
                d > 0 ? put("Infinity", 8) : put("-Infinity", 9);
            return;
        }
        // Shortest digits may look like an integer ("1", "-0"); ".0" keeps it a Float.
        next_ = detail::write_shortest(room(32), d, true);
    }

    template <bool Check>
    void string(std::string_view s) {
        const char* p = s.data();
        const char* const end = p + s.size();
        // Most strings are short and need no escape: one check of room, one scan, one copy,
        // inline in the tree's loop.
        if (s.size() <= 32 && room_left() >= 34 && detail::scan_plain<Check>(p, end) == end) {
            char* o = next_;
            *o = '"';
            detail::copy_short(o + 1, p, s.size());
            o[s.size() + 1] = '"';
            next_ = o + s.size() + 2;
            return;
        }
        string_escaped<Check>(s);
    }

    template <bool Check>
    [[gnu::noinline]] void string_escaped(std::string_view s) {
        static constexpr char hex[] = "0123456789abcdef";
        const char* p = s.data();
        const char* const end = p + s.size();
        put_char('"');
        for (;;) {
            const char* run = p;
            p = detail::scan_plain<Check>(p, end);
            put(run, static_cast<std::size_t>(p - run));
            if (p == end) break;
            const auto c = static_cast<unsigned char>(*p);
            if (Check && c >= 0x80) {
                const char* next = detail::utf8_sequence(p, end);
                if (!next)
                    throw write_error("a string is not UTF-8 (byte " +
                                      std::to_string(p - s.data()) + ')');
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
            next_ += n;
            ++p;
        }
        put_char('"');
    }

    const write_options& options_;
    std::ostream* sink_;
    std::vector<std::pair<std::unique_ptr<char[]>, std::size_t>> full_;  // chunks and their lengths
    std::size_t full_bytes_ = 0;
    std::unique_ptr<char[]> buf_;
    std::size_t buf_size_ = 0;
    char* next_ = nullptr;
    char* end_ = nullptr;
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
