// The test process's environment on Windows: the C run time's copy, which getenv reads in
// every module that shares msvcrt.dll.
#include <stdlib.h>

#include "tests/support/scoped_spool.h"

namespace zntest {

void SetEnvironment(const char* name, const std::string& value) {
    _putenv_s(name, value.c_str());
}

// An empty value removes the variable.
void UnsetEnvironment(const char* name) {
    _putenv_s(name, "");
}

}  // namespace zntest
