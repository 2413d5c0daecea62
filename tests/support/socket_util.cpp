// Small POSIX socket and BER helpers shared by the sandbox probes and fault listeners.
#include "tests/support/socket_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/sandbox.h"

namespace zntest {
namespace detail {
namespace {

sockaddr_in MakeAddress(const std::string& address, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        throw SandboxError("not an IPv4 address: '" + address + "'");
    }
    return sa;
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// poll() restarted after EINTR with the remaining time.
int PollFor(pollfd* fds, nfds_t count, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        int rc = poll(fds, count, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (rc >= 0 || errno != EINTR) return rc;
    }
}

}  // namespace

void Fd::Reset() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

Fd ListenOn(const std::string& address, int port, int backlog) {
    sockaddr_in sa = MakeAddress(address, port);
    // CLOEXEC everywhere: a slapd started by a test while a fault is active
    // must not inherit the fault's sockets and keep the port occupied.
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) throw SandboxError(Errno("socket"));
    int one = 1;
    setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        throw SandboxError(Errno("bind " + address + ":" + std::to_string(port)));
    }
    if (listen(fd.Get(), backlog) != 0) throw SandboxError(Errno("listen on " + address));
    return fd;
}

Fd StartConnect(const std::string& address, int port) {
    sockaddr_in sa = MakeAddress(address, port);
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) throw SandboxError(Errno("socket"));
    // Failures (refused, unreachable) surface through WaitConnected.
    connect(fd.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return fd;
}

WaitResult WaitConnected(int fd, std::chrono::milliseconds timeout, int* error) {
    pollfd p{fd, POLLOUT, 0};
    int rc = PollFor(&p, 1, timeout);
    if (rc == 0) return WaitResult::kTimedOut;
    int err = 0;
    socklen_t len = sizeof err;
    if (rc < 0) {
        err = errno;
    } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        err = errno;
    }
    if (error != nullptr) *error = err;
    return err == 0 ? WaitResult::kReady : WaitResult::kError;
}

WaitResult WaitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    int rc = PollFor(&p, 1, timeout);
    if (rc == 0) return WaitResult::kTimedOut;
    return rc > 0 ? WaitResult::kReady : WaitResult::kError;
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (PollFor(&p, 1, std::chrono::seconds(5)) <= 0) return false;
            continue;
        }
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t BerElementLength(const std::vector<std::uint8_t>& buf) {
    if (buf.size() < 2) return 0;
    std::size_t header = 2;
    std::size_t length = buf[1];
    if (length & 0x80) {
        std::size_t octets = length & 0x7f;
        // Indefinite lengths (0x80) and lengths beyond 4 octets never occur in
        // LDAP messages; treating them as data would make the relay hang.
        if (octets == 0 || octets > 4)
            throw SandboxError("unexpected BER length form in LDAP traffic");
        if (buf.size() < 2 + octets) return 0;
        length = 0;
        for (std::size_t i = 0; i < octets; ++i) length = (length << 8) | buf[2 + i];
        header += octets;
    }
    return buf.size() >= header + length ? header + length : 0;
}

}  // namespace detail
}  // namespace zntest
