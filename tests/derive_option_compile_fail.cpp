// Must not compile: a record option given to a field. The build test checks that the
// diagnostic says which options go where.

#include <sylvane/derive/derive.hpp>

namespace app {
struct order {
    std::int64_t id = 0;
};
SYLVANE_RECORD(order, (id, rename_all(camel_case)))
}  // namespace app

int main() {
    return Sylvane::yojson_of(app::order{}).is_null() ? 0 : 1;
}
