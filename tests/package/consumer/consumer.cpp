// Uses the installed library across its boundary: a failure raised inside the library is caught
// here by type, and the global flag is one object shared by library and program.
#include <iostream>

#include <sylvane/sylvane.hpp>

// Read while this program is dynamically initialised: the library's constants must be set.
static const bool flag_at_start = *Sylvane::Treeform::record_check_extra_fields;
static const Sylvane::yojson opaque_at_start = Sylvane::Treeform::yojson_of_opaque(0);

int main() {
    using namespace Sylvane::Treeform;
    if (!flag_at_start || opaque_at_start.as_string() != "<opaque>") return 1;
    *record_check_extra_fields = false;
    if (record_check_extra_fields.get()) return 2;
    try {
        int_of_yojson(Sylvane::yojson::Null());
        return 3;
    } catch (const Of_yojson_error& e) {
        if (e.message() != "int_of_yojson: integer needed") return 4;
    }
    if (int32_of_yojson(yojson_of_int32(-7)) != -7) return 5;
    std::cout << "consumer ok\n";
    return 0;
}
