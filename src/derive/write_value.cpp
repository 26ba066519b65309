// Compiles the header on its own, so that it includes all it uses.
#include <sylvane/write_value.hpp>
