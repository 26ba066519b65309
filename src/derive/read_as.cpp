// Locating a conversion failure of `read_as`: its JSON Pointer in the tree, and its position,
// found by following the same path through the text, which the reader has already accepted.

#include <sylvane/read_as.hpp>

#include "../json_tree/whole_text.hpp"

#include <utility>
#include <vector>

namespace Sylvane {

namespace {

/// The indexes (list items or object entries) that lead from `root` to the node at `address`;
/// nothing if no node is there. Depth-first in document order, on an explicit stack.
std::optional<std::vector<std::size_t>> path_to(const yojson& root, const yojson* address) {
    if (&root == address) return std::vector<std::size_t>{};
    struct frame {
        const yojson* node;
        std::size_t next;
    };
    std::vector<frame> stack{{&root, 0}};
    while (!stack.empty()) {
        frame& top = stack.back();
        const yojson& node = *top.node;
        const std::size_t size = node.kind() == yojson_kind::List    ? node.as_list().size()
                                 : node.kind() == yojson_kind::Assoc ? node.as_assoc().size()
                                                                     : 0;
        if (top.next == size) {
            stack.pop_back();
            continue;
        }
        const std::size_t i = top.next++;
        const yojson& child =
            node.kind() == yojson_kind::List ? node.as_list()[i] : node.as_assoc()[i].second;
        if (&child == address) {
            std::vector<std::size_t> path;
            path.reserve(stack.size());
            for (const frame& f : stack) path.push_back(f.next - 1);
            return path;
        }
        stack.push_back({&child, 0});
    }
    return std::nullopt;
}

/// The node of `root` at `path`.
const yojson& follow(const yojson& root, const std::vector<std::size_t>& path) {
    const yojson* node = &root;
    for (std::size_t i : path) {
        node =
            node->kind() == yojson_kind::List ? &node->as_list()[i] : &node->as_assoc()[i].second;
    }
    return *node;
}

/// The JSON Pointer of `path` in `root` (found here from the path: `locate` would search the
/// tree again).
std::string pointer_of(const yojson& root, const std::vector<std::size_t>& path) {
    std::string out;
    const yojson* node = &root;
    for (std::size_t i : path) {
        out += '/';
        if (node->kind() == yojson_kind::List) {
            out += std::to_string(i);
            node = &node->as_list()[i];
            continue;
        }
        // '~' as "~0", '/' as "~1".
        std::string_view key = node->as_assoc()[i].first;
        for (std::size_t at; (at = key.find_first_of("~/")) != std::string_view::npos;
             key.remove_prefix(at + 1)) {
            out.append(key.substr(0, at)).append(key[at] == '~' ? "~0" : "~1");
        }
        out.append(key);
        node = &node->as_assoc()[i].second;
    }
    return out;
}

/// A scanner over text that the reader has accepted (without comments): it skips values
/// without checking them.
class skipper {
public:
    explicit skipper(std::string_view text) noexcept : text_(text) {}

    std::size_t at() const noexcept { return at_; }
    char peek() const noexcept { return at_ < text_.size() ? text_[at_] : '\0'; }
    void step() noexcept { ++at_; }

    void space() noexcept {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    void string() noexcept {
        ++at_;  // the opening quote
        while (at_ < text_.size() && text_[at_] != '"') at_ += text_[at_] == '\\' ? 2 : 1;
        ++at_;
    }
    void value() noexcept {
        const char c = peek();
        if (c == '"') {
            string();
        } else if (c == '[' || c == '{') {
            std::size_t depth = 0;
            while (at_ < text_.size()) {
                const char d = text_[at_];
                if (d == '"') {
                    string();
                    continue;
                }
                ++at_;
                if (d == '[' || d == '{') {
                    ++depth;
                } else if ((d == ']' || d == '}') && --depth == 0) {
                    return;
                }
            }
        } else {
            while (at_ < text_.size() &&
                   std::string_view(",]} \t\n\r").find(text_[at_]) == std::string_view::npos) {
                ++at_;
            }
        }
    }
    /// Past the key and colon of an object entry.
    void key() noexcept {
        string();
        space();
        step();  // ':'
        space();
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

/// The offset in `text` of the value at `path` (indexes into lists and objects).
std::size_t offset_of(std::string_view text, const std::vector<std::size_t>& path) {
    skipper s(text);
    s.space();
    for (std::size_t index : path) {
        const bool object = s.peek() == '{';
        s.step();
        for (std::size_t k = 0;; ++k) {
            s.space();
            if (object) s.key();
            if (k == index) break;
            s.value();
            s.space();
            s.step();  // ','
        }
    }
    return s.at();
}

std::string located_text(const char* what, const std::optional<std::string>& pointer,
                         const std::optional<text_position>& where) {
    std::string text = what;
    if (pointer || where) {
        text += " (at ";
        if (pointer) text += pointer->empty() ? "the root" : *pointer;
        if (where) {
            text += ", line " + std::to_string(where->line) + ", column " +
                    std::to_string(where->column);
        }
        text += ')';
    }
    return text;
}

}  // namespace

located_error::located_error(const Treeform::Of_yojson_error& failure,
                             std::optional<std::string> pointer, std::optional<text_position> where)
    : Treeform::Of_yojson_error(failure),
      text_(located_text(failure.what(), pointer, where) + '\0' + pointer.value_or("")),
      what_size_(located_text(failure.what(), pointer, where).size()),
      pointer_size_(pointer ? pointer->size() : 0),
      has_pointer_(pointer.has_value()),
      has_position_(where.has_value()),
      where_(where.value_or(text_position{})) {}

located_error::~located_error() = default;

const char* located_error::what() const noexcept {
    return text_.what();
}

std::optional<std::string_view> located_error::pointer() const noexcept {
    if (!has_pointer_) return std::nullopt;
    return std::string_view(text_.what() + what_size_ + 1, pointer_size_);
}

std::optional<text_position> located_error::position() const noexcept {
    if (!has_position_) return std::nullopt;
    return where_;
}

namespace derive::detail {

std::size_t& tree_path_runs() noexcept {
    thread_local std::size_t runs = 0;
    return runs;
}

void raise_located(std::string_view text, const read_options& options, const yojson& root,
                   const Treeform::Of_yojson_error& failure) {
    const auto path = path_to(root, failure.tree_address());
    if (!path) throw located_error(failure, std::nullopt, std::nullopt);
    std::optional<text_position> where;
    if (options.allow_comments) {
        // Comments may stand anywhere between values: the reader finds the place.
        const positioned again = read_with_positions(text, options);
        where = path->empty() ? std::optional(again.positions.root())
                              : again.positions.position_of(follow(again.tree, *path));
    } else {
        where = json_tree::position_in(text, offset_of(text, *path));
    }
    throw located_error(failure, pointer_of(root, *path), where);
}

std::string file_text(const std::filesystem::path& path) {
    return json_tree::detail::file_text(path);
}

}  // namespace derive::detail

}  // namespace Sylvane
