// A type whose converters are written by hand and say no schema must not get one: the compile
// error names the type.

#include <sylvane/schema.hpp>

namespace app {
struct gauge {};
}  // namespace app

template <>
struct Sylvane::converter<app::gauge> {
    static Sylvane::yojson to_yojson(const app::gauge&) { return Sylvane::yojson(); }
    static app::gauge of_yojson(const Sylvane::yojson&) { return {}; }
};

int main() {
    return Sylvane::json_schema<app::gauge>().is_null() ? 1 : 0;
}
