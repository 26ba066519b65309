#pragma once
/// Marks the library's public API. The shared library is built with hidden visibility, so only
/// what carries `SYLVANE_API` is exported. On Windows a DLL exports it while being built
/// (`SYLVANE_BUILDING`) and its users import it (`SYLVANE_SHARED`); a static library needs
/// neither. The build defines both macros itself.

#if defined(_WIN32) || defined(__CYGWIN__)
#if !defined(SYLVANE_SHARED)
#define SYLVANE_API
#elif defined(SYLVANE_BUILDING)
#define SYLVANE_API __declspec(dllexport)
#else
#define SYLVANE_API __declspec(dllimport)
#endif
#else
#define SYLVANE_API __attribute__((visibility("default")))
#endif
