// Win32 back end of the host facts: the module handle DllMain records, module file names,
// the host name and the account name.
#include "platform/host_info.h"
#include "platform/win32/module_handle.h"

// clang-format off
#include <winsock.h>
#include <windows.h>
// clang-format on

namespace zn::platform {
namespace {

// Written once by DllMain while the loader holds its lock, before any caller can reach the
// library, and only read afterwards. Null when the code is linked into a program, which then
// is the module that holds it.
HMODULE g_module = nullptr;

// The buffers of the usage report are 256 bytes; a longer path is a failure, not a cut.
bool ModuleFileName(HMODULE module, std::string& path) {
    char buffer[256];
    DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
    // A path that does not fit comes back cut to the buffer, with the full length returned.
    if (length == 0 || length >= sizeof buffer) return false;
    path.assign(buffer, length);
    return true;
}

}  // namespace

bool ReadHostName(std::string& name) {
    // gethostname is a Windows Sockets call and fails with WSANOTINITIALISED outside a
    // started session.
    WSADATA data{};
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
    char buffer[256];
    const bool read = gethostname(buffer, sizeof buffer) == 0;
    WSACleanup();
    if (!read) return false;
    buffer[sizeof buffer - 1] = '\0';
    name = buffer;
    return true;
}

bool ExecutablePath(std::string& path) {
    return ModuleFileName(GetModuleHandleA(nullptr), path);
}

HMODULE LibraryModule() {
    return g_module != nullptr ? g_module : GetModuleHandleA(nullptr);
}

bool LibraryModulePath(std::string& path) {
    return ModuleFileName(LibraryModule(), path);
}

const char* PathSeparators() {
    return "\\/";
}

bool ReadSystemAccountName(std::string& name) {
    // 50 characters and the terminating NUL. GetUserNameA never cuts a longer name: it
    // fails with ERROR_INSUFFICIENT_BUFFER, and the size it then reports counts the NUL.
    char buffer[kMaxAccountName + 1];
    DWORD size = sizeof buffer;
    if (!GetUserNameA(buffer, &size) || size == 0 || size > sizeof buffer) return false;
    // On success the size counts the terminating NUL too.
    name.assign(buffer, size - 1);
    return true;
}

}  // namespace zn::platform

// The entry point reports success whatever happens; it only records the module handle, which
// later finds the library's own file and its resources.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        zn::platform::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
