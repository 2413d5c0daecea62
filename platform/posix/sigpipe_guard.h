// Keeps SIGPIPE raised by a write to a connection the server has closed away from the
// application, which would otherwise be killed by it.
#pragma once

#include <signal.h>

namespace zn::platform {

// The LDAP library writes with write(), which cannot be told not to raise SIGPIPE. For the
// guard's lifetime SIGPIPE is blocked in the calling thread only (the process's handlers
// stay untouched); a SIGPIPE raised meanwhile is consumed before the old mask returns,
// unless one was already pending for the application before the guard.
class SigpipeGuard {
  public:
    SigpipeGuard();
    ~SigpipeGuard();
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

  private:
    sigset_t m_previousMask;
    bool m_wasPending = false;
    bool m_wasBlocked = false;
};

}  // namespace zn::platform
