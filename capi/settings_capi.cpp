// zng_set_option: the program's own TLS settings, winning over the file and the environment.
#include <algorithm>
#include <cstring>
#include <string>

#include "session/tls_settings.h"
#include "zngroups.h"

namespace {

// A plain array: a thread-local object with a destructor is not safe in every DLL run time
// the Windows build meets. The texts are short; a longer one is cut, never overrun.
thread_local char t_lastError[512];

void Remember(const std::string& error) {
    const std::size_t length = std::min(error.size(), sizeof t_lastError - 1);
    std::memcpy(t_lastError, error.data(), length);
    t_lastError[length] = '\0';
}

}  // namespace

extern "C" {

long zng_set_option(const char* key, const char* value) {
    try {
        std::string error;
        const bool stored = zn::SetTlsOverride(key, value, error);
        Remember(error);
        return stored ? 1 : 0;
    } catch (...) {
        // Out of memory: nothing was stored.
        Remember("out of memory");
        return 0;
    }
}

const char* zng_option_error(void) {
    return t_lastError;
}

}  // extern "C"
