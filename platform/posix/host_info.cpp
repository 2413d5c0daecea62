// POSIX back end of the host facts: gethostname, /proc/self/exe, the module's own path and
// the account name.
#include "platform/host_info.h"

#include <dlfcn.h>
#include <pwd.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace zn::platform {
namespace {

// Written once by the load hook, before the loader hands the module to anyone, and only read
// afterwards. A fixed buffer because the hook may run before C++ objects are constructed.
char g_modulePath[PATH_MAX];

bool ReadLink(const char* link, char* buffer, std::size_t size) {
    ssize_t length = readlink(link, buffer, size - 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= size - 1) return false;
    buffer[length] = '\0';
    return true;
}

// Resolved while loading because a relative name given to dlopen means the working folder of
// that moment.
void RecordModulePath() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(static_cast<const void*>(g_modulePath), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return;
    }
    if (map->l_name == nullptr || map->l_name[0] == '\0') {
        // The code is linked into the program itself.
        ReadLink("/proc/self/exe", g_modulePath, sizeof g_modulePath);
        return;
    }
    char resolved[PATH_MAX];
    if (realpath(map->l_name, resolved) != nullptr) {
        std::memcpy(g_modulePath, resolved, std::strlen(resolved) + 1);
    }
}

__attribute__((constructor)) void OnModuleLoad() {
    RecordModulePath();
}

}  // namespace

bool ReadHostName(std::string& name) {
    char buffer[256];
    if (gethostname(buffer, sizeof buffer) != 0) return false;
    buffer[sizeof buffer - 1] = '\0';
    name = buffer;
    return true;
}

bool ExecutablePath(std::string& path) {
    char buffer[PATH_MAX];
    if (!ReadLink("/proc/self/exe", buffer, sizeof buffer)) return false;
    path = buffer;
    return true;
}

bool LibraryModulePath(std::string& path) {
    if (g_modulePath[0] == '\0') return false;
    path = g_modulePath;
    return true;
}

const char* PathSeparators() {
    return "/";
}

bool ReadSystemAccountName(std::string& name) {
    // The account of the effective user id: a daemon or a test has no login terminal that
    // getlogin could consult.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_name == nullptr) {
        return false;
    }
    // Refused rather than cut, as GetUserNameA refuses a buffer too small.
    const std::size_t length = std::strlen(found->pw_name);
    if (length == 0 || length > kMaxAccountName) return false;
    name.assign(found->pw_name, length);
    return true;
}

}  // namespace zn::platform
