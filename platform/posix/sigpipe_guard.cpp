// SIGPIPE containment for calls into the LDAP library.
#include "platform/posix/sigpipe_guard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace zn::platform {

SigpipeGuard::SigpipeGuard() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;

    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &sigpipe, &m_previousMask);
    m_wasBlocked = sigismember(&m_previousMask, SIGPIPE) == 1;
}

SigpipeGuard::~SigpipeGuard() {
    if (!m_wasPending) {
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            sigset_t sigpipe;
            sigemptyset(&sigpipe);
            sigaddset(&sigpipe, SIGPIPE);
            const timespec noWait{0, 0};
            while (sigtimedwait(&sigpipe, nullptr, &noWait) == -1 && errno == EINTR) {
            }
        }
    }
    if (!m_wasBlocked) {
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    }
}

}  // namespace zn::platform
