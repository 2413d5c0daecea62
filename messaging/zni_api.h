// Symbol visibility of the messaging component's classes.
#pragma once

// The classes keep default visibility even inside libraries built with hidden visibility, so
// that an exception thrown by the component is caught by type in the library that called it.
#if defined(_WIN32)
#if defined(ZNI_MESSAGING_BUILD)
#define ZNI_API __declspec(dllexport)
#else
#define ZNI_API __declspec(dllimport)
#endif
#else
#define ZNI_API __attribute__((visibility("default")))
#endif
