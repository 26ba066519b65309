#include <sylvane/json_tree/write.hpp>

#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/locator.hpp>
#include "chunk_size.hpp"
#include "integer_text.hpp"
#include "text_out.hpp"

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

    // What the number and string writers of text_out.hpp write through.

    /// A pointer to at least `n` free bytes, `n` no more than a few dozen.
    char* room(std::size_t n) {
        if (room_left() < n) next_chunk();
        return next_;
    }
    void advance(char* p) noexcept { next_ = p; }
    void put_char(char c) { *room(1) = c, ++next_; }
    void put(const char* s, std::size_t n) {
        if (room_left() < n) return put_spanning(s, n);
        std::memcpy(next_, s, n);
        next_ += n;
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
                    next_ = detail::write_integer(p, v->as_int());
                    break;
                }
                case yojson_kind::Intlit: {
                    const std::string_view t = v->as_intlit();
                    if (!detail::json_integer(t))
                        throw write_error("Intlit text is not a JSON integer: \"" + std::string(t) +
                                          '"');
                    put(t.data(), t.size());
                    break;
                }
                case yojson_kind::Float:
                    if constexpr (!Pretty)
                        if (!stack.empty() && stack.back().items && std::isfinite(v->as_float())) {
                            float_run(stack.back(), v->as_float());
                            break;
                        }
                    detail::put_float(*this, v->as_float(), options_.allow_nan_infinity);
                    break;
                case yojson_kind::String: detail::put_string<Check>(*this, v->as_string()); break;
                case yojson_kind::List: {
                    const auto items = v->as_list();
                    if (items.empty()) {
                        put("[]", 2);
                        break;
                    }
                    put_char('[');
                    frame f{items.data(), nullptr, 0, items.size()};
                    if constexpr (!Pretty) {
                        // A list that starts with a number, such as a point's coordinates, has
                        // its first run of numbers written before it takes a place on the
                        // stack, and none if they are all it holds: documents of numbers hold
                        // many short lists, and the stack's turns cost as much as their text.
                        const yojson& head = items[0];
                        if (head.kind() == yojson_kind::Float && std::isfinite(head.as_float())) {
                            f.next = 1;
                            float_run(f, head.as_float());
                        } else if (head.kind() == yojson_kind::Int) {
                            f.next = 1;
                            int_run(f, head.as_int());
                        }
                        if (f.next == f.size) {
                            put_char(']');
                            break;
                        }
                    }
                    stack.push_back(f);
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
                    detail::put_string<Check>(*this, f.fields[f.next].first);
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

    /// A finite Float `first` in a list, and the finite Floats that follow it, the bulk of
    /// documents of numbers: each with its comma in one room, without a turn of the tree loop
    /// per value. Only a Float leads here, so that lists of anything else pay nothing for it;
    /// out of line, so that the tree loop keeps its size for the other values.
    template <class Frame>
    [[gnu::noinline]] void float_run(Frame& f, double first) {
        next_ = detail::write_shortest(room(detail::shortest_room), first, true);
        for (; f.next < f.size; ++f.next) {
            const yojson& item = f.items[f.next];
            if (item.kind() != yojson_kind::Float || !std::isfinite(item.as_float())) return;
            char* p = room(detail::shortest_room + 1);
            *p = ',';
            next_ = detail::write_shortest(p + 1, item.as_float(), true);
        }
    }

    /// An Int `first` in a list, and the Ints that follow it, as `float_run`.
    template <class Frame>
    [[gnu::noinline]] void int_run(Frame& f, std::int64_t first) {
        next_ = detail::write_integer(room(24), first);
        for (; f.next < f.size; ++f.next) {
            const yojson& item = f.items[f.next];
            if (item.kind() != yojson_kind::Int) return;
            char* p = room(25);
            *p = ',';
            next_ = detail::write_integer(p + 1, item.as_int());
        }
    }

    // Chunks grow up to `max_chunk`.
    static constexpr std::size_t first_chunk = 4096;

    std::size_t used() const noexcept { return static_cast<std::size_t>(next_ - buf_.get()); }

    void start_chunk(std::size_t size) {
        buf_ = detail::make_text_chunk(size);
        buf_size_ = buf_.get_deleter().size;
        next_ = buf_.get();
        end_ = next_ + size;
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

    const write_options& options_;
    std::ostream* sink_;
    std::vector<std::pair<detail::text_chunk, std::size_t>> full_;  // chunks, their lengths
    std::size_t full_bytes_ = 0;
    detail::text_chunk buf_;
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
