#include <sylvane/write_value.hpp>

#include <sylvane/json_tree/arena_scope.hpp>

namespace Sylvane::derive::detail {

std::string write_text_value(const void* value, void (*write)(text_sink& out, const void* value),
                             const write_options& options) {
    // Parts written through trees make them in one arena, not node by node on the heap.
    const json_tree::detail::conversion_scope scope;
    std::string text;
    text_sink out(text, options);
    write(out, value);
    out.finish();
    return text;
}

}  // namespace Sylvane::derive::detail
