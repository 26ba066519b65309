#pragma once
// The one spelling of a key in a JSON Pointer; not part of the API.

#include <string>
#include <string_view>

namespace Sylvane::json_tree::detail {

/// Appends `key` to `out` as a JSON Pointer token: '~' as "~0", '/' as "~1".
inline void append_pointer_token(std::string& out, std::string_view key) {
    for (std::size_t at; (at = key.find_first_of("~/")) != std::string_view::npos;
         key.remove_prefix(at + 1)) {
        out.append(key.substr(0, at)).append(key[at] == '~' ? "~0" : "~1");
    }
    out.append(key);
}

}  // namespace Sylvane::json_tree::detail
