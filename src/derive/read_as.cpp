// Locating a conversion failure of `read_as`: the text read again as a tree with the places of
// its nodes, the failing value's converter run on its tree, and its JSON Pointer and position.

#include <sylvane/read_as.hpp>

#include <sylvane/derive/unknown_tag.hpp>

#include "../json_tree/tree_paths.hpp"
#include "../json_tree/whole_text.hpp"
#include "shown_value.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Sylvane {

namespace {

using json_tree::detail::child;
using json_tree::detail::child_count;

/// The node of `root` at `path`.
const yojson& follow(const yojson& root, const std::vector<std::size_t>& path) {
    const yojson* node = &root;
    for (std::size_t i : path) node = &child(*node, i);
    return *node;
}

/// The JSON Pointer of `path` in `root` (found here from the path: `locate` would search the
/// tree again).
std::string pointer_of(const yojson& root, const std::vector<std::size_t>& path) {
    std::string out;
    json_tree::detail::append_path(out, root, path);
    return out;
}

/// The indexes that lead from the root of `doc` to the node that starts at `offset` of its text;
/// nothing if no node starts there. Children start in ascending order: the search descends into
/// the last that starts at or before `offset`.
std::optional<std::vector<std::size_t>> path_at(const positioned& doc, std::size_t offset) {
    std::vector<std::size_t> path;
    const yojson* node = &doc.tree;
    for (;;) {
        const auto here = doc.positions.position_of(*node);
        // A number or literal at the root has no recorded place: it is the text's one value.
        if (!here && node == &doc.tree && child_count(*node) == 0) return path;
        if (!here || here->offset > offset) return std::nullopt;
        if (here->offset == offset) return path;
        const std::size_t n = child_count(*node);
        std::size_t next = n;
        for (std::size_t i = 0; i < n; ++i) {
            const auto start = doc.positions.position_of(child(*node, i));
            if (!start || start->offset > offset) break;
            next = i;
        }
        if (next == n) return std::nullopt;
        path.push_back(next);
        node = &child(*node, next);
    }
}

/// `what` with the place and the value met, and the tags `expected` if any, in parentheses.
std::string located_text(const char* what, const std::optional<std::string>& pointer,
                         const std::optional<text_position>& where, std::string_view met,
                         std::string_view expected) {
    std::string text = what;
    text += " (";
    if (pointer || where) {
        text += "at ";
        if (pointer) text += pointer->empty() ? "the root" : *pointer;
        if (where) {
            if (pointer) text += ", ";
            text +=
                "line " + std::to_string(where->line) + ", column " + std::to_string(where->column);
        }
        text += "; ";
    }
    text += "met ";
    text += met;
    if (!expected.empty()) {
        text += "; expected one of ";
        text += expected;
    }
    text += ')';
    return text;
}

}  // namespace

located_error::located_error(const Treeform::Of_yojson_error& failure,
                             std::optional<std::string> pointer, std::optional<text_position> where)
    : Treeform::Of_yojson_error(failure),
      text_(""),
      pointer_size_(pointer ? pointer->size() : 0),
      has_pointer_(pointer.has_value()),
      has_position_(where.has_value()),
      where_(where.value_or(text_position{})) {
    // A located failure located again keeps its value and tags, and its text is not said twice.
    std::string met;
    std::string_view expected;
    if (const auto* located = dynamic_cast<const located_error*>(&failure)) {
        met = located->met();
        expected = located->expected();
    } else {
        met = derive::detail::shown_value(failure.tree());
        if (const auto* tag = dynamic_cast<const derive::unknown_tag_error*>(&failure))
            expected = tag->allowed();
    }
    std::string text =
        located_text(failure.Treeform::Of_yojson_error::what(), pointer, where, met, expected);
    what_size_ = text.size();
    met_size_ = met.size();
    expected_size_ = expected.size();
    text += '\0';
    text += pointer.value_or("");
    text += '\0';
    text += met;
    text += '\0';
    text += expected;
    text_ = std::runtime_error(text);
}

located_error::~located_error() = default;

const char* located_error::what() const noexcept {
    return text_.what();
}

std::string_view located_error::met() const noexcept {
    return std::string_view(text_.what() + what_size_ + pointer_size_ + 2, met_size_);
}

std::string_view located_error::expected() const noexcept {
    return std::string_view(text_.what() + what_size_ + pointer_size_ + met_size_ + 3,
                            expected_size_);
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

using json_tree::detail::cursor_fault;

std::optional<std::vector<std::size_t>> path_to(const yojson& root, const yojson* address) {
    if (&root == address) return std::vector<std::size_t>{};
    // Depth-first in document order, on an explicit stack.
    struct frame {
        const yojson* node;
        std::size_t next;
    };
    std::vector<frame> stack{{&root, 0}};
    while (!stack.empty()) {
        frame& top = stack.back();
        const yojson& node = *top.node;
        if (top.next == child_count(node)) {
            stack.pop_back();
            continue;
        }
        const yojson& c = child(node, top.next++);
        if (&c == address) {
            std::vector<std::size_t> path;
            path.reserve(stack.size());
            for (const frame& f : stack) path.push_back(f.next - 1);
            return path;
        }
        stack.push_back({&c, 0});
    }
    return std::nullopt;
}

namespace {

/// `failure` located at `path` of `doc`.
[[noreturn]] void raise_at(const positioned& doc, const std::vector<std::size_t>& path,
                           const Treeform::Of_yojson_error& failure) {
    throw located_error(failure, pointer_of(doc.tree, path),
                        doc.positions.position_of(follow(doc.tree, path)));
}

/// Throws `failure` located in `doc`.
[[noreturn]] void raise_located(const positioned& doc, const Treeform::Of_yojson_error& failure) {
    const auto path = path_to(doc.tree, failure.tree_address());
    if (!path) throw located_error(failure, std::nullopt, std::nullopt);
    raise_at(doc, *path, failure);
}

}  // namespace

void raise_located(std::string_view text, const read_options& options, const yojson& root,
                   const Treeform::Of_yojson_error& failure) {
    const auto path = path_to(root, failure.tree_address());
    if (!path) throw located_error(failure, std::nullopt, std::nullopt);
    // The same text read again gives the same tree, with the places of its nodes.
    raise_at(read_with_positions(text, options), *path, failure);
}

void raise_noted(std::string_view text, const read_options& options, const cursor_fault& fault,
                 const Treeform::Of_yojson_error& failure) {
    // Text that is not JSON after the value fails first, as it does through the tree.
    const positioned doc = read_with_positions(text, options);
    auto path = fault.raised ? path_at(doc, fault.at) : std::nullopt;
    if (!path || !fault.path) throw located_error(failure, std::nullopt, std::nullopt);
    path->insert(path->end(), fault.path->begin(), fault.path->end());
    raise_at(doc, *path, failure);
}

namespace {

/// After the direct read of `text` stopped at `fault`: the text read with positions (its
/// `parse_error` thrown), and the failure of the value where the read stopped thrown, located.
/// Returns the document when neither fails.
positioned read_after_fault(std::string_view text, const read_options& options,
                            const cursor_fault& fault) {
    positioned doc = read_with_positions(text, options);
    if (fault.check != nullptr) {
        if (const auto path = path_at(doc, fault.at)) {
            try {
                fault.check(follow(doc.tree, *path));
            } catch (const Treeform::Of_yojson_error& failure) {
                raise_located(doc, failure);
            }
        }
    }
    return doc;
}

}  // namespace

bool read_text_value(std::string_view text, const read_options& options, void* out,
                     void (*read)(json_tree::detail::text_cursor& c, void* out),
                     cursor_fault& fault, bool padded) {
    json_tree::detail::text_cursor c(text, options);
    if (padded) c.text_is_padded();
    try {
        read(c, out);
        c.finish();
        if (!c.failed()) return true;
    } catch (const cursor_stopped&) {
        // Stopped where no value could stand in: the fault is recorded all the same.
    } catch (const Treeform::Of_yojson_error& failure) {
        raise_noted(text, options, c.fault(), failure);
    }
    fault = c.fault();
    return false;
}

void read_tree_value(std::string_view text, const read_options& options, const cursor_fault& fault,
                     void* out, void (*convert)(const yojson& tree, void* out)) {
    const positioned doc = read_after_fault(text, options, fault);
    try {
        convert(doc.tree, out);
    } catch (const Treeform::Of_yojson_error& failure) {
        raise_located(doc, failure);
    }
}

std::string file_text(const std::filesystem::path& path) {
    return json_tree::detail::file_text(path);
}

}  // namespace derive::detail

}  // namespace Sylvane
