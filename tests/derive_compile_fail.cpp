// Must not compile: a record field whose type has no converters. The build tests check that
// the diagnostic names the culprit (app::widget inside a dictionary inside a vector), and that
// a dictionary whose keys have no text form is told so.

#include <map>
#include <string>
#include <vector>

#include <sylvane/derive/derive.hpp>

namespace app {
struct widget {};
struct order {
    std::int64_t id = 0;
#ifdef BAD_KEY
    std::map<double, int> lines;
#else
    std::vector<std::map<std::string, widget> > lines;
#endif
};
SYLVANE_RECORD(order, id, lines)
}  // namespace app

int main() {
    return Sylvane::yojson_of(app::order{}).is_null() ? 0 : 1;
}
