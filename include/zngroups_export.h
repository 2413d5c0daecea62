// Marks the classes the zngroups shared library exports to applications.
#pragma once

#if defined(_WIN32)
#if defined(ZNGROUPS_BUILDING_LIBRARY)
#define ZNGROUPS_API __declspec(dllexport)
#else
#define ZNGROUPS_API __declspec(dllimport)
#endif
#else
#define ZNGROUPS_API __attribute__((visibility("default")))
#endif
