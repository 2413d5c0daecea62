// Windows Sockets 1.1 (wsock32) back end of the administration exchange's sockets.
#include "platform/sockets.h"

// clang-format off
#include <winsock.h>
#include <windows.h>
// clang-format on

#include <chrono>

namespace zn::sockets {
namespace {

// Winsock reports its own numbers already; only the "nothing recorded" case needs a value.
long LastError() {
    long error = WSAGetLastError();
    return error != 0 ? error : kSystemCallFailure;
}

SOCKET Native(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

using Clock = std::chrono::steady_clock;

enum class Readiness { kRead, kWrite };

// Waits until the socket is ready, or, for a connect in progress, has failed, bounded by
// `wait`. select ignores its first argument on Windows and counts sockets, not descriptors.
long WaitFor(SOCKET socket, Readiness wanted, WaitMilliseconds wait, bool& failed) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait);
    failed = false;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) left = 0;
        fd_set ready;
        fd_set errors;
        FD_ZERO(&ready);
        FD_ZERO(&errors);
        FD_SET(socket, &ready);
        FD_SET(socket, &errors);
        timeval bound{};
        bound.tv_sec = static_cast<long>(left / 1000);
        bound.tv_usec = static_cast<long>(left % 1000) * 1000;
        // A failed non-blocking connect shows in the exception set, not the write set.
        int count = wanted == Readiness::kRead ? select(0, &ready, nullptr, &errors, &bound)
                                               : select(0, nullptr, &ready, &errors, &bound);
        if (count > 0) {
            failed = FD_ISSET(socket, &errors) != 0;
            return kNoError;
        }
        if (count == 0) return kTimedOut;
        if (WSAGetLastError() != WSAEINTR) return LastError();
    }
}

}  // namespace

Session::Session() {
    WSADATA data{};
    // WSAStartup returns its error instead of leaving it for WSAGetLastError.
    m_startupError = WSAStartup(MAKEWORD(1, 1), &data);
}

Session::~Session() {
    if (m_startupError == kNoError) WSACleanup();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = kInvalid;
    }
    return *this;
}

void Socket::Close() {
    if (m_handle != kInvalid) {
        closesocket(Native(m_handle));
        m_handle = kInvalid;
    }
}

// mingw-w64 has no OpenSSL, and the DLL imports only what its platform interfaces name, so
// this build has no TLS for the administration channel: asked for it, it refuses rather than
// speak in clear.
bool Socket::StartTls(const std::string& hostName, const std::string&, WaitMilliseconds,
                      std::string& reason, const std::string&) {
    reason =
        "this Windows build of the library has no TLS for the administration server " + hostName;
    return false;
}

bool Socket::ProtocolAgreed() const {
    return false;
}

// Without TLS no connection is kept for a next exchange.
bool Socket::Idle() const {
    return false;
}

long Socket::Create() {
    Close();
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) return LastError();
    m_handle = static_cast<Handle>(socket);
    // Non-blocking so that every wait can be bounded.
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        long error = LastError();
        Close();
        return error;
    }
    return kNoError;
}

long Socket::Connect(const Address& address, WaitMilliseconds wait) {
    sockaddr_in server{};
    server.sin_family = static_cast<short>(address.family);
    server.sin_port = address.portNetworkOrder;
    server.sin_addr.s_addr = address.addressNetworkOrder;
    SOCKET socket = Native(m_handle);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) {
        return kNoError;
    }
    // Winsock reports a connect in progress as WSAEWOULDBLOCK, not WSAEINPROGRESS.
    if (WSAGetLastError() != WSAEWOULDBLOCK) return LastError();
    bool failed = false;
    long waited = WaitFor(socket, Readiness::kWrite, wait, failed);
    if (waited != kNoError) return waited;
    if (!failed) return kNoError;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return LastError();
    }
    return error != 0 ? error : kConnectionRefused;
}

long Socket::Send(const char* data, std::size_t size, WaitMilliseconds wait, std::size_t& sent) {
    sent = 0;
    SOCKET socket = Native(m_handle);
    while (sent < size) {
        std::size_t chunk = size - sent;
        if (chunk > 0x7fffffff) chunk = 0x7fffffff;
        int written = send(socket, data + sent, static_cast<int>(chunk), 0);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            bool failed = false;
            long waited = WaitFor(socket, Readiness::kWrite, wait, failed);
            if (waited != kNoError) return waited;
            continue;
        }
        return LastError();
    }
    return kNoError;
}

long Socket::Receive(char* buffer, std::size_t capacity, WaitMilliseconds wait,
                     std::size_t& received) {
    received = 0;
    SOCKET socket = Native(m_handle);
    const int size = capacity > 0x7fffffff ? 0x7fffffff : static_cast<int>(capacity);
    for (;;) {
        bool failed = false;
        long waited = WaitFor(socket, Readiness::kRead, wait, failed);
        if (waited != kNoError) return waited;
        int count = recv(socket, buffer, size, 0);
        if (count >= 0) {
            received = static_cast<std::size_t>(count);
            return kNoError;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) return LastError();
    }
}

long ResolveHost(const char* hostName, std::uint16_t port, Address& address) {
    const hostent* host = gethostbyname(hostName);
    if (host == nullptr) return LastError();
    if (host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list[0] == nullptr) {
        return kNoData;
    }
    address.family = AF_INET;
    address.portNetworkOrder = htons(port);
    u_long raw = 0;
    CopyMemory(&raw, host->h_addr_list[0], sizeof raw);
    address.addressNetworkOrder = raw;
    return kNoError;
}

}  // namespace zn::sockets
