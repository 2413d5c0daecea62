// Win32 back end of the small system services.
#include "platform/system.h"

#include <windows.h>

namespace zn::platform {

void Sleep(unsigned long milliseconds) {
    ::Sleep(milliseconds);
}

void SecureZero(void* memory, std::size_t size) {
    SecureZeroMemory(memory, size);
}

unsigned long ProcessId() {
    return GetCurrentProcessId();
}

}  // namespace zn::platform
