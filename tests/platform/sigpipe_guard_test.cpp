// SIGPIPE from a write to a closed connection stays inside the library's calls.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/posix/sigpipe_guard.h"

namespace {

bool SigpipePending() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
}

bool SigpipeBlocked() {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGPIPE) == 1;
}

// Writes to a socket whose peer is gone: the kernel raises SIGPIPE in this thread.
void WriteToClosedPeer() {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    close(pair[1]);
    EXPECT_EQ(write(pair[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(pair[0]);
}

TEST(SigpipeGuard, WriteToClosedPeerNeitherKillsNorLeavesASignal) {
    ASSERT_FALSE(SigpipeBlocked());
    {
        zn::platform::SigpipeGuard guard;
        EXPECT_TRUE(SigpipeBlocked());
        WriteToClosedPeer();
        EXPECT_TRUE(SigpipePending());
    }
    EXPECT_FALSE(SigpipePending());
    EXPECT_FALSE(SigpipeBlocked());
}

TEST(SigpipeGuard, LeavesTheApplicationsOwnPendingSigpipeAndMask) {
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &sigpipe, nullptr), 0);
    ASSERT_EQ(pthread_kill(pthread_self(), SIGPIPE), 0);
    {
        zn::platform::SigpipeGuard guard;
        WriteToClosedPeer();
    }
    EXPECT_TRUE(SigpipePending());
    EXPECT_TRUE(SigpipeBlocked());
    const timespec noWait{0, 0};
    EXPECT_EQ(sigtimedwait(&sigpipe, nullptr, &noWait), SIGPIPE);
    pthread_sigmask(SIG_UNBLOCK, &sigpipe, nullptr);
}

}  // namespace
