// The account name as the library sees it: the system's answer, unless a test has put its
// own in place.
#include "platform/host_info.h"

#include <mutex>

namespace zn::platform {
namespace {

std::mutex g_accountLock;
bool g_accountOverridden = false;
bool g_accountReadable = true;
std::string g_accountName;

}  // namespace

bool ReadAccountName(std::string& name) {
    {
        std::lock_guard<std::mutex> hold(g_accountLock);
        if (g_accountOverridden) {
            name = g_accountName;
            return g_accountReadable;
        }
    }
    return ReadSystemAccountName(name);
}

void OverrideAccountNameForTesting(const std::string* name) {
    std::lock_guard<std::mutex> hold(g_accountLock);
    g_accountOverridden = true;
    g_accountReadable = name != nullptr;
    g_accountName = name != nullptr ? *name : std::string();
}

void RestoreAccountNameForTesting() {
    std::lock_guard<std::mutex> hold(g_accountLock);
    g_accountOverridden = false;
}

}  // namespace zn::platform
