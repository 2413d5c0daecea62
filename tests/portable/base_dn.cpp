// The organization base DN for suites that reach the library through its C functions only,
// which do not include this internal one: the sandbox's, which the library was built with.
#include <string>

#include "session/directory_base.h"
#include "tests/support/sandbox.h"

const char* zn::OrganizationBaseDN() {
    static const std::string dn = zntest::BaseDN();
    return dn.c_str();
}
