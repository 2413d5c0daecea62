// Marks the classes the zngroups shared library exports to applications.
#pragma once

// ZNGROUPS_STATIC: the library's objects are linked straight into the program (its tools
// and tests), so there is no DLL to import from.
#if defined(_WIN32)
#if defined(ZNGROUPS_BUILDING_LIBRARY)
#define ZNGROUPS_API __declspec(dllexport)
#elif defined(ZNGROUPS_STATIC)
#define ZNGROUPS_API
#else
#define ZNGROUPS_API __declspec(dllimport)
#endif
#else
#define ZNGROUPS_API __attribute__((visibility("default")))
#endif
