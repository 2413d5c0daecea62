// Facts about the machine, the running program and the module this library was loaded from.
#pragma once

#include <cstddef>
#include <string>

namespace zn::platform {

// The machine's host name; false when the system cannot tell it.
bool ReadHostName(std::string& name);

// Full path of the running program's executable.
bool ExecutablePath(std::string& path);

// Full path of the module (shared library, or the program it is linked into) that holds this
// library's code, as recorded when the module was loaded.
bool LibraryModulePath(std::string& path);

// The characters that end a folder name in a path of this platform.
const char* PathSeparators();

// Longest account name the library takes; longer names are a failure, never cut.
inline constexpr std::size_t kMaxAccountName = 50;

// Name of the account the calling process runs under, at most kMaxAccountName characters.
bool ReadAccountName(std::string& name);

}  // namespace zn::platform
