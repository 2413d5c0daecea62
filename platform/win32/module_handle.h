// The module this library was loaded from, as DllMain recorded it; Win32 back ends only.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

namespace zn::platform {

// The DLL's handle, or the program's when the code is linked into a program: where the
// library's resources are found.
HMODULE LibraryModule();

}  // namespace zn::platform
