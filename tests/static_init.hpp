#pragma once
#include <sylvane/sylvane.hpp>

namespace static_init {
extern const bool flag_at_start;
extern const Sylvane::yojson opaque_at_start;
extern const Sylvane::yojson fun_at_start;
extern const Sylvane::yojson unit_at_start;
}  // namespace static_init
