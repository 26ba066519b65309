#pragma once
/// Marks the library's public API; everything else stays hidden in the shared library, which is
/// built with hidden visibility by default.

#if defined(_WIN32)
#define SYLVANE_API
#else
#define SYLVANE_API __attribute__((visibility("default")))
#endif
