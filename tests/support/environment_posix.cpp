// The test process's environment on POSIX.
#include <stdlib.h>

#include "tests/support/scoped_spool.h"

namespace zntest {

void SetEnvironment(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}

void UnsetEnvironment(const char* name) {
    unsetenv(name);
}

}  // namespace zntest
