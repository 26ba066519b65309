// Reads the library's constants while this translation unit is dynamically initialised, in an
// order relative to the library's own initialisation that nothing fixes.
#include "static_init.hpp"

namespace static_init {
const bool flag_at_start = *Sylvane::Treeform::record_check_extra_fields;
const Sylvane::yojson opaque_at_start = Sylvane::Treeform::yojson_of_opaque(0);
const Sylvane::yojson fun_at_start = Sylvane::Treeform::yojson_of_fun(0);
const Sylvane::yojson unit_at_start = Sylvane::Treeform::yojson_of_unit(Sylvane::unit{});
}  // namespace static_init
