// Facts about the machine, the running program and the module this library was loaded from.
#pragma once

#include <cstddef>
#include <string>

namespace zn::platform {

// Longest account name the library takes; longer names are a failure, never cut.
inline constexpr std::size_t kMaxAccountName = 50;

// The machine's host name; false when the system cannot tell it.
bool ReadHostName(std::string& name);

// Full path of the running program's executable.
bool ExecutablePath(std::string& path);

// Full path of the module (shared library, or the program it is linked into) that holds this
// library's code, as recorded when the module was loaded.
bool LibraryModulePath(std::string& path);

// The name of the account the process runs as (its login name), at most kMaxAccountName
// characters; false when the system cannot tell.
bool ReadAccountName(std::string& name);

// What the system itself says, without the test seam; each back end defines it.
bool ReadSystemAccountName(std::string& name);

// Test seam at that edge: while a name is set, ReadAccountName answers with it; a null
// pointer makes it fail as a system that cannot tell would; Restore goes back to the system.
void OverrideAccountNameForTesting(const std::string* name);
void RestoreAccountNameForTesting();

// The characters that end a folder name in a path of this platform.
const char* PathSeparators();

}  // namespace zn::platform
