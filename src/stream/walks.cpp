#include <sylvane/stream/detail/walks.hpp>

#include "../json_tree/arena.hpp"
#include "../json_tree/read_value.hpp"

#include <stdexcept>

namespace Sylvane::stream::detail {

using json_tree::detail::text_cursor;

bool try_again(text_window& w, const text_cursor& c, const read_options& options) {
    if (c.failed()) {
        const cursor_fault& f = c.fault();
        if (f.check != nullptr || f.raised) return false;  // a value that does not convert
        if (!w.cut_short(f.code, f.at)) throw w.placed(f, 0, options);
    } else if (c.offset() < w.pending().size() || w.closed()) {
        return false;
    }
    w.need_more();
    return true;
}

std::optional<std::size_t> value_end(text_window& w, std::size_t depth,
                                     const read_options& options) {
    const std::string_view text = w.pending();
    std::size_t end = 0;
    json_tree::detail::arena* trees = nullptr;  // the value's, dropped with it
    try {
        json_tree::detail::read_value_at(text, end, depth, options, trees);
        if (trees != nullptr) json_tree::detail::release_arena(trees);
    } catch (const parse_error& failure) {
        if (trees != nullptr) json_tree::detail::release_arena(trees);
        if (!w.cut_short(failure.code(), failure.offset())) throw w.placed(failure, 0);
        w.need_more();
        return std::nullopt;
    }
    if (end == text.size() && !w.closed()) {
        w.need_more();
        return std::nullopt;
    }
    return end;
}

// ---- The array at a pointer ----

namespace {

/// The tokens of a JSON Pointer, unescaped.
std::vector<std::string> pointer_tokens(std::string_view pointer) {
    std::vector<std::string> tokens;
    if (pointer.empty()) return tokens;
    if (pointer.front() != '/')
        throw std::invalid_argument("not a JSON Pointer (it must be empty or start with '/'): " +
                                    std::string(pointer));
    for (std::size_t at = 1; at <= pointer.size();) {
        std::size_t slash = pointer.find('/', at);
        if (slash == std::string_view::npos) slash = pointer.size();
        std::string token;
        for (std::size_t i = at; i < slash; ++i) {
            if (pointer[i] != '~') {
                token += pointer[i];
            } else if (i + 1 < slash && (pointer[i + 1] == '0' || pointer[i + 1] == '1')) {
                token += pointer[++i] == '0' ? '~' : '/';
            } else {
                throw std::invalid_argument(
                    "not a JSON Pointer ('~' must be followed by 0 or 1): " + std::string(pointer));
            }
        }
        tokens.push_back(std::move(token));
        at = slash + 1;
    }
    return tokens;
}

/// The array index that `token` writes, as RFC 6901 allows it (digits, no leading zero).
std::optional<std::size_t> index_of(const std::string& token) {
    if (token.empty() || token.size() > 18 || (token.size() > 1 && token[0] == '0'))
        return std::nullopt;
    std::size_t n = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    return n;
}

}  // namespace

array_walk::array_walk(std::string_view pointer, const read_options& options)
    : options_(options), pointer_(pointer), tokens_(pointer_tokens(pointer)) {}

std::string array_walk::item_pointer() const {
    return pointer_ + '/' + std::to_string(index_);
}

void array_walk::not_found(const text_window& w, std::size_t at) const {
    throw parse_error(w.position(at), parse_errc::no_array_at_pointer,
                      "no array at " + (pointer_.empty() ? std::string("the root") : pointer_));
}

step array_walk::advance(text_window& w) {
    switch (phase_) {
        case phase::to_array: return to_array(w);
        case phase::items: return step::item;
        case phase::after_array: return after_array(w);
        case phase::done: break;
    }
    return step::end;
}

step array_walk::to_array(text_window& w) {
    using kind = text_cursor::kind;
    for (;;) {
        const std::string_view text = w.pending();
        text_cursor c(text, options_, level_ + (inside_ ? 1 : 0));
        if (!inside_) {
            // At the value of the tokens passed: a container to enter, or the array.
            const kind k = c.peek();
            if (k == kind::other) c.skip();  // for the reader's failure, if the text has one
            if (try_again(w, c, options_)) return step::more;
            const std::size_t at = c.offset();
            if (level_ == tokens_.size()) {
                if (k != kind::array) not_found(w, at);
                const bool items = c.begin_array(nullptr);
                if (try_again(w, c, options_)) return step::more;
                w.consume(c.offset());
                if (items) {
                    phase_ = phase::items;
                    return step::item;
                }
                phase_ = phase::after_array;
                return after_array(w);
            }
            bool entries = false;
            if (k == kind::object) {
                entries = c.begin_object(nullptr);
            } else if (k == kind::array && index_of(tokens_[level_])) {
                entries = c.begin_array(nullptr);
            } else {
                not_found(w, at);
            }
            if (try_again(w, c, options_)) return step::more;
            if (!entries) not_found(w, at);
            w.consume(c.offset());
            in_object_.push_back(k == kind::object);
            inside_ = true;
            passed_ = 0;
            continue;
        }
        // Inside the container of level `level_`, before an entry or element.
        bool another = false;
        if (in_object_[level_]) {
            const bool match = c.key() == tokens_[level_];
            if (try_again(w, c, options_)) return step::more;
            if (match) {
                w.consume(c.offset());
                ++level_;
                inside_ = false;
                continue;
            }
            c.skip();
            another = c.next_entry();
        } else {
            const auto wanted = index_of(tokens_[level_]);
            if (wanted && passed_ == *wanted) {
                ++level_;
                inside_ = false;
                continue;
            }
            c.skip();
            another = c.next_element();
        }
        if (try_again(w, c, options_)) return step::more;
        if (!another) not_found(w, c.offset() - 1);
        w.consume(c.offset());
        ++passed_;
    }
}

void array_walk::item_done(text_window& w, std::size_t n, bool another) {
    w.consume(n);
    if (another) {
        ++index_;
    } else {
        phase_ = phase::after_array;
    }
}

step array_walk::after_item(text_window& w, std::size_t n) {
    const std::string_view text = w.pending();
    text_cursor c(text, options_, item_depth());
    c.restore({text.data() + n, item_depth()});
    const bool another = c.next_element();
    if (try_again(w, c, options_)) return step::more;
    item_done(w, c.offset(), another);
    return step::item;
}

step array_walk::after_array(text_window& w) {
    // The rest of each container on the way, innermost first, one entry or element a step.
    while (level_ > 0) {
        text_cursor c(w.pending(), options_, level_);
        const bool object = in_object_[level_ - 1];
        const bool another = object ? c.next_entry() : c.next_element();
        if (another) {
            if (object) c.key();
            c.skip();
        }
        if (try_again(w, c, options_)) return step::more;
        w.consume(c.offset());
        if (!another) --level_;
    }
    // Then only white space.
    text_cursor c(w.pending(), options_);
    c.finish();
    if (c.failed()) {
        if (try_again(w, c, options_)) return step::more;
    } else if (!w.closed()) {
        // Blanks so far: consumed, unless a comment may go on past them.
        if (!options_.allow_comments) w.consume(c.offset());
        w.need_more();
        return step::more;
    }
    phase_ = phase::done;
    return step::end;
}

// ---- Values one after another ----

step value_sequence::advance(text_window& w) {
    for (;;) {
        const std::string_view text = w.pending();
        text_cursor c(text, options_);
        const std::size_t at = c.next_value_start();
        if (c.failed()) {
            if (try_again(w, c, options_)) return step::more;
        }
        if (at < text.size()) {
            // RFC 7464 puts a record separator before each value.
            w.consume(text[at] == '\x1e' ? at + 1 : at);
            if (text[at] == '\x1e') continue;
            return step::item;
        }
        if (w.closed()) return step::end;
        if (!options_.allow_comments) w.consume(at);
        w.need_more();
        return step::more;
    }
}

step value_sequence::after_item(text_window& w, std::size_t n) {
    w.consume(n);
    return step::item;
}

}  // namespace Sylvane::stream::detail
