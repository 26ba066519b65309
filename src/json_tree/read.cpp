#include <sylvane/json_tree/read.hpp>

#include <sylvane/json_tree/detail/document_reader.hpp>

#include "arena.hpp"
#include "flat_stack.hpp"
#include "known_keys.hpp"
#include "lexer.hpp"
#include "read_value.hpp"
#include "shared_strings.hpp"
#include "whole_text.hpp"
#include "wide_positions.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>

namespace Sylvane::json_tree {

namespace detail {

/// The tables of a parser of many documents, its own: its thread's would be shared with any
/// read the thread makes while the parser lives, and a parser may move between threads. Their
/// entries are told apart by `generation`, which only grows.
struct sequence_tables {
    known_keys::table keys{};
    shared_string_table::slots_table strings{};
    std::uint64_t generation = 1;
};

/// The reader: one pass over the text with an explicit stack of open containers. Every node goes
/// into one arena. Elements of open containers wait on one value stack (keys, already in the
/// arena, on a key stack) and move into their container's node when it closes. With `Track`, it
/// also records where every node starts, in offsets of type `Offset`. Tokens are read by the
/// lexer, which throws through `fault`.
template <bool Track, class Offset = std::uint32_t>
class parser {
public:
    parser(std::string_view text, const read_options& options, locator* positions)
        : begin_(text.data()),
          p_(text.data()),
          end_(text.data() + text.size()),
          options_(options),
          depth_limit_(options.max_depth),
          positions_(positions) {
        if constexpr (Track) positions_->wide_ = !std::is_same_v<Offset, std::uint32_t>;
    }
    /// A parser of the one value at `at` in `text`, nested `depth` levels deep already.
    parser(std::string_view text, std::size_t at, std::size_t depth, const read_options& options)
        : parser(text, options, nullptr) {
        p_ = begin_ + at;
        depth_limit_ = depth < options.max_depth ? options.max_depth - depth : 0;
        whole_text_ = false;
    }
    /// A parser of many documents one after another (`read_document`), with `tables` of its
    /// own rather than its thread's.
    parser(const read_options& options, sequence_tables& tables)
        : begin_(nullptr),
          p_(nullptr),
          end_(nullptr),
          options_(options),
          depth_limit_(options.max_depth),
          positions_(nullptr),
          known_keys_(tables.keys, tables.generation),
          shared_strings_(tables.strings, tables.generation),
          sequence_(&tables) {
        static_assert(!Track);
    }
    parser(const parser&) = delete;
    parser& operator=(const parser&) = delete;

    /// Reads `text` as `read` does, in a parser of many documents (or, with `depth`, a value
    /// inside one); `padded` if `padding` readable bytes follow it. What the documents before
    /// left is kept: the stacks, and the arena while the next document may fit in its chunk,
    /// with the keys and short strings met in it, so that a run of small documents costs what
    /// one document holding them would. Each document's root holds a reference to its arena,
    /// which is at most one chunk (`max_chunk`) beyond the document's own needs.
    /// Unless `whole`, reads the one value at `at` in `text` instead, inside `depth` open
    /// containers of a larger text, and leaves `p_` after it.
    yojson read_document(std::string_view text, std::size_t at, std::size_t depth, bool whole,
                         bool padded) {
        begin_ = text.data();
        padded_ = padded;
        p_ = begin_ + at;
        end_ = begin_ + text.size();
        whole_text_ = whole;
        depth_limit_ = depth < options_.max_depth ? options_.max_depth - depth : 0;
        // A document that failed leaves its waiting values: arena nodes and scalars, which no
        // reference is counted for.
        frames_.resize(0);
        values_.resize(0);
        keys_.resize(0);
#if defined(__SSE2__)
        indentation_ = _mm_set1_epi8(' ');
#endif
        // A document's tree takes a few times its bytes (as `memory` reckons): one that may not
        // fit in what is left of the chunk starts a new arena, as does any tree once a chunk's
        // worth is used. A value's size is not known before it is read: a few KiB are room
        // enough for the usual one, and a larger one grows the arena.
        const std::size_t need = whole ? tree_bytes(text.size())
                                       : std::min(tree_bytes(text.size() - at), max_chunk / 16);
        if (arena_ != nullptr && (arena_->room() < need || arena_->bytes_used() >= max_chunk)) {
            release_arena(std::exchange(arena_, nullptr));
            const std::uint64_t generation = ++sequence_->generation;
            known_keys_.renew(generation);
            shared_strings_.renew(generation);
            empty_list_ = tree_access::raw_null();
            empty_assoc_ = tree_access::raw_null();
        }
        return run();
    }

    /// Puts the nodes into `shared`, if not null, instead of an arena of their own.
    void share_arena(arena* shared) noexcept {
        if (shared == nullptr) return;
        arena::take(shared);
        arena_ = shared;
    }
    /// The arena that holds the nodes (null if none was made), with a reference for the caller.
    arena* keep_arena() noexcept {
        if (arena_ != nullptr) arena::take(arena_);
        return arena_;
    }
    /// Lets go of the arena: the root holds it now, or nothing does and it is freed.
    ~parser() {
        if (arena_ != nullptr) release_arena(arena_);
    }

    /// Reads the text's value; for a parser of one value, leaves `p_` after it.
    yojson run() {
        skip_space();
        if constexpr (Track) positions_->root_offset_ = offset(p_);
        // Every way into this loop has stepped over the blanks before the value, whose first
        // byte is `c`.
        char c = peek();
        for (;;) {
            if (!value(c)) {  // a container opened: its first element follows
                c = peek();
                continue;
            }
            // A value is complete: close containers until one expects another element.
            for (;;) {
                if (frames_.empty()) {
                    if (!whole_text_) return tree_access::counted(values_.back());
                    skip_space();
                    if (p_ != end_) fault(p_, parse_errc::text_after_value);
                    yojson root = tree_access::counted(values_.back());
                    if constexpr (Track) {
                        tables().texts.seal();
                        tables().containers.seal();
                    }
                    return root;
                }
                const bool object = frames_.back().object;
                const char closer = object ? '}' : ']';
                c = after_space<false, false, true>();
                if (c == ',') {
                    ++p_;
                    c = after_space<true>();
                    if (options_.allow_trailing_commas && c == closer) {
                        ++p_;
                        close();
                        continue;
                    }
                    if (object) {
                        c = key();
                    } else if (is_digit(c) || c == '-') {
                        // The usual element of an array of numbers, read without the dispatch
                        // of `value`.
                        const char* start = p_;
                        push(number(), start);
                        continue;
                    }
                    break;
                }
                if (c == closer) {
                    ++p_;
                    close();
                    continue;
                }
                fault(p_, object ? parse_errc::expected_comma_or_brace
                                 : parse_errc::expected_comma_or_bracket);
            }
        }
    }

    /// Where the reading stands.
    std::size_t position() const noexcept {
        return offset(p_);
    }

private:
    friend struct lexer<parser>;
    using lex = lexer<parser>;
    static constexpr bool counts_lines = Track;
    static constexpr bool inlines_blanks = true;

    struct frame {
        std::size_t values_begin;
        std::size_t keys_begin;
        std::size_t offset;  // of the opening bracket, for positions and errors
        bool object;
    };

    /// Containers open, for the lexer's guess of a line's indentation.
    std::size_t depth() const noexcept {
        return frames_.size();
    }

    std::size_t offset(const char* p) const noexcept {
        return static_cast<std::size_t>(p - begin_);
    }

    // The failure is out of line and cold: the reading paths only pass it pointers, and so
    // stay small enough to be inlined into the loop of `run`.
    [[noreturn, gnu::cold, gnu::noinline]] void fault(const char* at, parse_errc code,
                                                      std::string_view word) const {
        const std::string_view text(begin_, offset(end_));
        throw parse_error(position_in(text, offset(at)), code,
                          fault_reason(code, at, end_, word, options_.max_depth));
    }
    [[noreturn, gnu::cold, gnu::noinline]] void fault(const char* at, parse_errc code) const {
        fault(at, code, {});
    }

    /// What the tree of a text of `size` bytes may take, about.
    static std::size_t tree_bytes(std::size_t size) noexcept {
        return size * 4 + 512;
    }

    arena& memory() {
        // A small text's tree takes a few times its bytes (node headers, 32-byte entries): its
        // first chunk is sized to hold all of it. Chunks are capped, so a large text's is not.
        // One value inside a text may be a small part of it: its arena starts at the smallest
        // chunk and grows, so that many small values kept apart do not each hold a large chunk.
        // A parser of many documents starts each arena as large as a chunk may be, for a run of
        // them.
        if (arena_ == nullptr)
            arena_ = arena::create(sequence_ != nullptr ? max_chunk
                                   : whole_text_        ? tree_bytes(offset(end_))
                                                        : 0);
        return *arena_;
    }

    void push(raw_tree v, const char* start) {
        values_.push_back(v);
        if constexpr (Track) offsets_.push_back(static_cast<Offset>(offset(start)));
    }

    /// A `String` or `Intlit` node over a copy of `s`, in the arena, for the text at `start`.
    raw_tree text_node(yojson_kind kind, std::string_view s, const char* start) {
        string_node* node = memory().text(s);
        if constexpr (Track) record_text(node, offset(start));
        return tree_access::raw_of(kind, node);
    }

    /// The `String` node of `s`, read at `start`. Without Track, a short string equal to one
    /// read before in this document gets that string's node: documents repeat their short values
    /// (tags, names of states, colours), and a shared node costs neither memory nor a copy. With
    /// Track every node is its own, since positions are looked up by node.
    raw_tree string_value(std::string_view s, const char* start) {
        if constexpr (!Track) {
            if (s.size() <= short_string_max)
                return tree_access::raw_of(yojson_kind::String, shared_strings_.shared(s, [&] {
                    return memory().text(s);
                }));
        }
        return text_node(yojson_kind::String, s, start);
    }

    /// Reads the value at `p_`, whose first byte is `c` (as `peek`). Returns false when it opened
    /// a container that has elements: `p_` then stands at the first one (after the first key
    /// for an object).
    [[gnu::always_inline]] bool value(char c) {
        const char* start = p_;
        switch (c) {
            case '{':
            case '[': {
                if (frames_.size() >= depth_limit_) fault(p_, parse_errc::too_deep);
                const bool object = c == '{';
                ++p_;
                if (after_space<false, true>() == (object ? '}' : ']')) {
                    ++p_;
                    push(empty_container(object, start), start);
                    return true;
                }
                std::size_t values_begin = values_.size();
#if defined(__GNUC__)
                // Kept out of a vector register: g++ would load it with the stack's capacity in
                // one 16-byte load, which waits for the 8-byte store of the last push to retire.
                asm("" : "+r"(values_begin));
#endif
                frames_.push_back({values_begin, keys_.size(), offset(start), object});
                if (object) key();
                return false;
            }
            case '"': push(string_value(string(), start), start); return true;
            case 't':
                lex::literal(*this, "true");
                push(tree_access::raw_bool(true), start);
                return true;
            case 'f':
                lex::literal(*this, "false");
                push(tree_access::raw_bool(false), start);
                return true;
            case 'n':
                lex::literal(*this, "null");
                push(tree_access::raw_null(), start);
                return true;
            case 'N':
                if (!options_.allow_nan_infinity) break;
                lex::literal(*this, "NaN");
                push(tree_access::raw_float(std::numeric_limits<double>::quiet_NaN()), start);
                return true;
            case 'I':
                if (!options_.allow_nan_infinity) break;
                lex::literal(*this, "Infinity");
                push(tree_access::raw_float(std::numeric_limits<double>::infinity()), start);
                return true;
            case '-':
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9': push(number(), start); return true;
            default: break;
        }
        fault(p_, parse_errc::unexpected_byte);
    }

    /// Reads `"key" :` and the space after it, and returns the byte after them, as `peek`.
    [[gnu::always_inline]] char key() {
        if (peek() != '"') fault(p_, parse_errc::expected_key);
        known_keys::key& cached =
            known_keys_.at(frames_.size(), values_.size() - frames_.back().values_begin);
        const std::size_t n = cached.size;
        if (known_keys_.known(cached) && same_key(cached.stored, n)) {
            p_ += n + 2;
            keys_.push_back(std::string_view(cached.stored, n));
        } else {
            const char* raw = p_ + 1;
            const std::string_view k = string();
            if (k.data() == raw) {
                // No escapes: its bytes in the text are the key, matched later against its copy
                // and quote.
                char* chars = memory().chars(known_keys::key_room(k.size()));
                copy_bytes(chars, k.data(), k.size() + 1);
                keys_.push_back(std::string_view(chars, k.size()));
                known_keys_.remember(cached, chars, k.size());
            } else {
                char* chars = memory().chars(k.size());
                copy_bytes(chars, k.data(), k.size());
                keys_.push_back(std::string_view(chars, k.size()));
            }
        }
        // The usual `": "` without a loop; anything else through `skip_space`.
        if (after_space() != ':') fault(p_, parse_errc::expected_colon);
        ++p_;
        if (peek() == ' ') ++p_;
        return after_space();
    }

    /// Whether the key at `p_` is the `n` bytes at `known`, an earlier key's copy that its
    /// quote ends, in at least 16 bytes.
    [[gnu::always_inline]] bool same_key(const char* known, std::size_t n) const noexcept {
#if defined(__SSE2__)
        const auto equal16 = [](const char* a, const char* b) {
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)))));
        };
        // The key and its quote in one compare, or in two overlapping ones up to 32 bytes. The
        // compare may run into a padded text's padding, never the bytes it matches.
        if (n < 16 && (padded_ ? end_ - p_ > static_cast<std::ptrdiff_t>(n + 1) : end_ - p_ > 16)) {
            const unsigned want = (2u << n) - 1;
            return (equal16(p_ + 1, known) & want) == want;
        }
        if (n >= 16 && n < 32 && end_ - p_ > static_cast<std::ptrdiff_t>(n + 1))
            return (equal16(p_ + 1, known) & equal16(p_ + n - 14, known + n - 15)) == 0xFFFF;
#endif
        return static_cast<std::size_t>(end_ - p_) > n + 1 && p_[n + 1] == '"' &&
               same_bytes(p_ + 1, known, n);
    }

    /// An empty list or object, read at `start`. Without Track, all the empty ones of a
    /// document are one node, as equal short strings are: documents are full of empty lists,
    /// and the shared node costs neither memory nor a stack frame. With Track each has its own,
    /// since positions are looked up by node.
    raw_tree empty_container(bool object, const char* start) {
        if constexpr (!Track) {
            raw_tree& shared = object ? empty_assoc_ : empty_list_;
            if (shared.kind == yojson_kind::Null) shared = new_empty_container(object, start);
            return shared;
        }
        return new_empty_container(object, start);
    }
    raw_tree new_empty_container(bool object, const char* start) {
        if (object) {
            assoc_node* node = memory().assoc(0, 0);
            if constexpr (Track) record_container(node, true, offset(start), 0, values_.size());
            return tree_access::raw_of(node);
        }
        list_node* node = memory().list(0);
        if constexpr (Track) record_container(node, false, offset(start), 0, values_.size());
        return tree_access::raw_of(node);
    }

    /// Builds the innermost open container from its waiting elements and pushes it.
    void close() {
        const frame f = frames_.back();
        frames_.pop_back();
        const std::size_t n = values_.size() - f.values_begin;
        const raw_tree* first = values_.data() + f.values_begin;
        raw_tree t;
        if (!f.object) {
            list_node* node = memory().list(n);
            yojson* items = node->items();
            for (std::size_t i = 0; i < n; ++i) tree_access::place(items + i, first[i]);
            node->size = n;
            if constexpr (Track) record_container(node, false, f.offset, n, f.values_begin);
            t = tree_access::raw_of(node);
        } else {
            assoc_node* node = memory().assoc(n, 0);  // its keys are in the arena already
            yojson::entry* entries = node->entries();
            const std::string_view* keys = keys_.data() + f.keys_begin;
            for (std::size_t i = 0; i < n; ++i)
                tree_access::place_entry(entries + i, keys[i], first[i]);
            node->size = n;
            keys_.resize(f.keys_begin);
            if constexpr (Track) record_container(node, true, f.offset, n, f.values_begin);
            t = tree_access::raw_of(node);
        }
        values_.resize(f.values_begin);
        if constexpr (Track) offsets_.resize(f.values_begin);
        push(t, begin_ + f.offset);
    }

    // Containers are recorded as they close, texts as they are made: both in the order the
    // arena hands out memory, so each table gets a run of ascending addresses for each chunk.
    locator::tables<Offset>& tables() noexcept {
        return positions_->tables_of<Offset>();
    }
    /// Records the container `node` that opened at `at`, and the offsets of its `n` elements,
    /// which wait on `offsets_` from `waiting` on.
    void record_container(const payload_node* node, bool assoc, std::size_t at, std::size_t n,
                          std::size_t waiting) {
        auto& t = tables();
        const Offset distance = distance_in(t.containers, container_chunk_, node);
        t.containers.push_back({static_cast<Offset>(distance | Offset{assoc}),
                                static_cast<Offset>(at), static_cast<Offset>(t.offsets.size()),
                                static_cast<Offset>(n)});
        // The usual few offsets without a call.
        if (Offset* to = t.offsets.extend(n))
            copy_bytes(reinterpret_cast<char*>(to),
                       reinterpret_cast<const char*>(offsets_.data() + waiting),
                       n * sizeof(Offset));
        else
            t.offsets.append(offsets_.data() + waiting, n);
    }
    void record_text(const payload_node* node, std::size_t at) {
        auto& t = tables();
        t.texts.push_back({distance_in(t.texts, text_chunk_, node), static_cast<Offset>(at)});
    }
    /// The distance of `node` from the base of its run in `table`, which starts a run when the
    /// arena has moved to another chunk since `seen` or the node is too far from the run's base.
    template <class Table>
    Offset distance_in(Table& table, const void*& seen, const payload_node* node) {
        const auto address = reinterpret_cast<std::uintptr_t>(node);
        if (const void* c = arena_->chunk_in_use(); c != seen || !table.fits(address))
            [[unlikely]] {
            seen = c;
            table.start(address);
        }
        return table.distance(address);
    }

    /// With Track, records that a line starts at `q`.
    void line_start(const char* q) {
        if constexpr (Track) tables().line_starts.push_back(static_cast<Offset>(offset(q)));
    }

    [[gnu::always_inline]] char peek() const noexcept {
        return lex::peek(*this);
    }
    template <bool Comma = false, bool Opened = false, bool Closer = false>
    [[gnu::always_inline]] char after_space() {
        return lex::template after_space<Comma, Opened, Closer>(*this);
    }
    [[gnu::always_inline]] void skip_space() {
        lex::skip_space(*this);
    }
    [[gnu::always_inline]] std::string_view string() {
        return lex::string(*this, scratch_.text);
    }

    [[gnu::always_inline]] raw_tree number() {
        const char* start = p_;
        const number_value n = lex::number(*this);
        switch (n.kind) {
            case number_kind::integer: return tree_access::raw_int(n.integer());
            case number_kind::decimal: return tree_access::raw_float(n.decimal());
            case number_kind::big:
            case number_kind::failed: break;  // a failure has thrown
        }
        // An integer beyond 64 bits, kept as its text.
        return text_node(yojson_kind::Intlit,
                         std::string_view(start, static_cast<std::size_t>(p_ - start)), start);
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    bool padded_ = false;           // whether `padding` readable bytes follow the text
    unsigned char short_ints_ = 0;  // short integers read in a row, up to 2 (`lexer`)
    bool whole_text_ = true;        // whether the value is the whole text, or one inside it
    const read_options options_;    // a copy: one load less for each option tested
    std::size_t depth_limit_;       // containers that may open: less than the option when nested
    // The blanks (up to 32) that began the last line whose token was at each depth, modulo 8:
    // where a flag would otherwise leave padding.
    unsigned char indents_[8] = {};
    locator* positions_;
    arena* arena_ = nullptr;
    known_keys known_keys_;
    /// Short strings read so far in this document, by their bytes (without Track).
    shared_string_table shared_strings_;
    sequence_tables* sequence_ = nullptr;  // in a parser of many documents
    /// Without Track, every empty list and every empty object, once one is read (`Null` before).
    raw_tree empty_list_ = tree_access::raw_null();
    raw_tree empty_assoc_ = tree_access::raw_null();
#if defined(__SSE2__)
    // The byte that indents the text's lines, in every lane: spaces, until a line starts with
    // a tab.
    __m128i indentation_ = _mm_set1_epi8(' ');
#endif
    flat_stack<frame> frames_;
    flat_stack<raw_tree> values_;
    flat_stack<std::string_view> keys_;
    flat_stack<Offset> offsets_;  // with Track: where each waiting value starts
    // With Track: the chunk that each table's last record lies in.
    const void* container_chunk_ = nullptr;
    const void* text_chunk_ = nullptr;
    kept_string scratch_;
};

template <class Offset>
positioned read_positioned(std::string_view text, const read_options& options) {
    positioned result;
    result.tree = parser<true, Offset>(text, options, &result.positions).run();
    return result;
}

positioned read_with_wide_positions(std::string_view text, const read_options& options) {
    return read_positioned<std::uint64_t>(text, options);
}

struct document_reader::state {
    explicit state(const read_options& options) : reader(options, tables) {}
    sequence_tables tables;
    parser<false> reader;  // after the tables it uses
};

document_reader::document_reader(const read_options& options) : options_(options) {}

document_reader::~document_reader() = default;
document_reader::document_reader(document_reader&&) noexcept = default;
document_reader& document_reader::operator=(document_reader&&) noexcept = default;

document_reader::state& document_reader::ready() {
    if (!state_) state_ = std::make_unique<state>(options_);
    return *state_;
}

yojson document_reader::read(std::string_view text, bool padded) {
    return ready().reader.read_document(text, 0, 0, true, padded);
}

yojson document_reader::read_value(std::string_view text, std::size_t& at, std::size_t depth,
                                   bool padded) {
    parser<false>& reader = ready().reader;
    yojson value = reader.read_document(text, at, depth, false, padded);
    at = reader.position();
    return value;
}

yojson read_value_at(std::string_view text, std::size_t& at, std::size_t depth,
                     const read_options& options, arena*& shared) {
    parser<false> p(text, at, depth, options);
    p.share_arena(shared);
    yojson value = p.run();
    at = p.position();
    if (shared == nullptr) shared = p.keep_arena();
    return value;
}

}  // namespace detail

yojson read(std::string_view text, const read_options& options) {
    return detail::parser<false>(text, options, nullptr).run();
}

positioned read_with_positions(std::string_view text, const read_options& options) {
    // Offsets and node counts stay below the text's size: 32 bits hold them for most texts.
    if (text.size() <= std::numeric_limits<std::uint32_t>::max())
        return detail::read_positioned<std::uint32_t>(text, options);
    return detail::read_positioned<std::uint64_t>(text, options);
}

yojson read(std::istream& in, const read_options& options) {
    return read(detail::stream_text(in), options);
}

yojson read_file(const std::filesystem::path& path, const read_options& options) {
    return read(detail::file_text(path), options);
}
}  // namespace Sylvane::json_tree
