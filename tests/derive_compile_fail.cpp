// Must not compile: a record field whose type has no converters. The build test checks that
// the diagnostic names the culprit, std::map<int, int>.

#include <map>

#include <sylvane/derive/derive.hpp>

namespace app {
struct order {
    std::int64_t id = 0;
    std::vector<std::map<int, int>> lines;
};
SYLVANE_RECORD(order, id, lines)
}  // namespace app

int main() {
    return Sylvane::yojson_of(app::order{}).is_null() ? 0 : 1;
}
