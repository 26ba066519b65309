// Locating the failures that `check<T>` collects.

#include <sylvane/check/detail/failure_sink.hpp>

#include <sylvane/derive/direct_read.hpp>

#include "../json_tree/tree_paths.hpp"

#include <string>
#include <utility>

namespace Sylvane::derive::detail {

using json_tree::detail::append_pointer_token;

failure_sink::step::step(failure_sink& sink, std::size_t index)
    : sink_(sink), size_(sink.pointer_.size()) {
    sink_.pointer_.append("/").append(std::to_string(index));
}

failure_sink::step::step(failure_sink& sink, std::string_view key)
    : sink_(sink), size_(sink.pointer_.size()) {
    sink_.pointer_ += '/';
    append_pointer_token(sink_.pointer_, key);
}

void failure_sink::add(const Treeform::Of_yojson_error& failure, const yojson& node) {
    if (result_.failures.size() >= limit_) {
        ++result_.more;
        return;
    }
    check_failure out{std::string(failure.message()), pointer_, {}, false};
    const auto path = derive::detail::path_to(node, failure.tree_address());
    const yojson& target = path ? json_tree::detail::append_path(out.pointer, node, *path) : node;
    // A number or literal at the root has no recorded place: it is the text's one value.
    const auto where = doc_.positions.position_of(target);
    out.where = where ? *where : doc_.positions.root();
    result_.failures.push_back(std::move(out));
}

}  // namespace Sylvane::derive::detail
