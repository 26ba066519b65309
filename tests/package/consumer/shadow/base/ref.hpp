#pragma once
// An application header whose path matches one of the library's: the library must never pick it up.
#error "the library included the application's own base/ref.hpp"
