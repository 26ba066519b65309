// The document of `check<T>`, read with the positions of its nodes.

#include <sylvane/check.hpp>

#include <string>
#include <utility>

namespace Sylvane::derive::detail {

std::optional<positioned> read_for_check(std::string_view text, const check_options& options,
                                         check_result& out) {
    try {
        return read_with_positions(text, options.read);
    } catch (const parse_error& e) {
        if (options.max_failures == 0) {
            out.more = 1;
        } else {
            out.failures.push_back(
                {std::string(e.reason()), {}, {e.offset(), e.line(), e.column()}, true});
        }
        return std::nullopt;
    }
}

}  // namespace Sylvane::derive::detail
