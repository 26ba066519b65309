// Must not compile: a flattened member's field takes a key of its parent, two levels down. The
// build test checks that the diagnostic says so.

#include <sylvane/derive/derive.hpp>

namespace app {
struct inner {
    std::int64_t id = 0;
};
SYLVANE_RECORD(inner, id)
struct middle {
    inner in;
};
SYLVANE_RECORD(middle, (in, flatten))
struct outer {
    std::int64_t id = 0;
    middle m;
};
SYLVANE_RECORD(outer, id, (m, flatten))
}  // namespace app

int main() {
    return Sylvane::yojson_of(app::outer{}).is_null() ? 0 : 1;
}
