// POSIX back end of the administration exchange's sockets, reporting Windows Sockets numbers.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <map>
#include <mutex>
#include <string>
#include "platform/posix/sigpipe_guard.h"

namespace zn::sockets {
namespace {

// errno to the Windows Sockets number of the same condition. Winsock numbers its errors as
// 10000 + the BSD errno, so the names pair up one to one.
long FromErrno(int error) {
    switch (error) {
        case 0:
            return kNoError;
        case EINTR:
            return kInterrupted;
        case EBADF:
            return 10009;  // WSAEBADF
        case EACCES:
            return 10013;  // WSAEACCES
        case EFAULT:
            return 10014;  // WSAEFAULT
        case EINVAL:
            return kInvalidArgument;
        case EMFILE:
        case ENFILE:
            return kTooManySockets;
        case EAGAIN:
            return 10035;  // WSAEWOULDBLOCK (EWOULDBLOCK on Linux)
        case EINPROGRESS:
            return 10036;  // WSAEINPROGRESS
        case EALREADY:
            return 10037;  // WSAEALREADY
        case ENOTSOCK:
            return 10038;  // WSAENOTSOCK
        case EDESTADDRREQ:
            return 10039;  // WSAEDESTADDRREQ
        case EMSGSIZE:
            return 10040;  // WSAEMSGSIZE
        case EPROTOTYPE:
            return 10041;  // WSAEPROTOTYPE
        case ENOPROTOOPT:
            return 10042;  // WSAENOPROTOOPT
        case EPROTONOSUPPORT:
            return 10043;  // WSAEPROTONOSUPPORT
        case ESOCKTNOSUPPORT:
            return 10044;  // WSAESOCKTNOSUPPORT
        case EOPNOTSUPP:
            return 10045;  // WSAEOPNOTSUPP
        case EPFNOSUPPORT:
            return 10046;  // WSAEPFNOSUPPORT
        case EAFNOSUPPORT:
            return kAddressFamily;
        case EADDRINUSE:
            return 10048;  // WSAEADDRINUSE
        case EADDRNOTAVAIL:
            return 10049;  // WSAEADDRNOTAVAIL
        case ENETDOWN:
            return 10050;  // WSAENETDOWN
        case ENETUNREACH:
            return kNetworkUnreachable;
        case ENETRESET:
            return 10052;  // WSAENETRESET
        case ECONNABORTED:
            return kConnectionAborted;
        // A write after the peer's reset is EPIPE here and WSAECONNRESET on Windows.
        case EPIPE:
        case ECONNRESET:
            return kConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return kNoBuffers;
        case EISCONN:
            return 10056;  // WSAEISCONN
        case ENOTCONN:
            return kNotConnected;
        case ESHUTDOWN:
            return 10058;  // WSAESHUTDOWN
        case ETOOMANYREFS:
            return 10059;  // WSAETOOMANYREFS
        case ETIMEDOUT:
            return kTimedOut;
        case ECONNREFUSED:
            return kConnectionRefused;
        case ELOOP:
            return 10062;  // WSAELOOP
        case ENAMETOOLONG:
            return 10063;  // WSAENAMETOOLONG
        case EHOSTDOWN:
            return 10064;  // WSAEHOSTDOWN
        case EHOSTUNREACH:
            return kHostUnreachable;
        default:
            return kSystemCallFailure;
    }
}

// getaddrinfo's results to the numbers gethostbyname leaves in WSAGetLastError.
long FromResolver(int result) {
    switch (result) {
        case 0:
            return kNoError;
        case EAI_NONAME:
            return kHostNotFound;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return kNoData;
#endif
        case EAI_AGAIN:
            return kTryAgain;
        case EAI_MEMORY:
            return kNoBuffers;
        case EAI_SYSTEM:
            return errno != 0 ? FromErrno(errno) : kNoRecovery;
        default:
            return kNoRecovery;
    }
}

using Clock = std::chrono::steady_clock;

// Waits for `events` on fd until the bound runs out, restarting after signals with what is
// left of it. Returns the error (kTimedOut when the bound ran out); `revents` gets what poll
// reported.
long WaitFor(int fd, short events, WaitMilliseconds wait, short& revents) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait);
    for (;;) {
        // Rounded up, so that a wait is never cut short of its bound.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) left = 0;
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) {
            revents = entry.revents;
            return kNoError;
        }
        if (ready == 0) return kTimedOut;
        if (errno != EINTR) return FromErrno(errno);
    }
}

int Descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// One client context per file of authorities, made once: reading the file and building the
// store costs more than a resumed handshake. Never freed, as exchanges may still run on
// other threads while the program exits.
SSL_CTX* ClientContext(const std::string& caFile, std::string& reason) {
    static std::mutex lock;
    static auto* contexts = new std::map<std::string, SSL_CTX*>();
    std::lock_guard<std::mutex> hold(lock);
    auto found = contexts->find(caFile);
    if (found != contexts->end()) return found->second;
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        reason = "no TLS context";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // An end of the stream without a close_notify is a broken connection, not a closed
    // one: a server closes a kept connection with a close_notify only when it took no
    // request from it, which makes sending the request again safe.
    // A resumed session may skip the new key exchange when the server agrees: one change is
    // short, and the session it resumes was made with one.
    SSL_CTX_set_options(context, SSL_OP_ALLOW_NO_DHE_KEX);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL);
    const int loaded = caFile.empty()
                           ? SSL_CTX_set_default_verify_paths(context)
                           : SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
    if (loaded != 1) {
        reason = "the authorities in " +
                 (caFile.empty() ? std::string("the system's store") : caFile) + " cannot be read";
        SSL_CTX_free(context);
        return nullptr;
    }
    (*contexts)[caFile] = context;
    return context;
}

// The last session each server and file of authorities gave, so that the next exchange
// resumes it instead of making a full handshake: one connection per request makes
// resumption the common case.
std::mutex g_sessionLock;
std::map<std::string, SSL_SESSION*>* g_sessions = new std::map<std::string, SSL_SESSION*>();

SSL_SESSION* KeptSession(const std::string& key) {
    std::lock_guard<std::mutex> hold(g_sessionLock);
    auto found = g_sessions->find(key);
    if (found == g_sessions->end()) return nullptr;
    SSL_SESSION_up_ref(found->second);
    return found->second;
}

void KeepSession(const std::string& key, SSL_SESSION* session) {
    std::lock_guard<std::mutex> hold(g_sessionLock);
    SSL_SESSION*& kept = (*g_sessions)[key];
    if (kept != nullptr) SSL_SESSION_free(kept);
    kept = session;
}

}  // namespace

struct TlsSession {
    SSL* ssl = nullptr;
    std::string key;  // the server and the authorities, for the kept session
};

namespace {

// Waits for what the last TLS call asked for; kNoError, or why the wait failed.
long WaitForTls(int fd, SSL* ssl, int rc, WaitMilliseconds wait, bool& failed) {
    short revents = 0;
    failed = false;
    switch (SSL_get_error(ssl, rc)) {
        case SSL_ERROR_WANT_READ:
            return WaitFor(fd, POLLIN, wait, revents);
        case SSL_ERROR_WANT_WRITE:
            return WaitFor(fd, POLLOUT, wait, revents);
        case SSL_ERROR_SYSCALL:
            failed = true;
            return errno != 0 ? FromErrno(errno) : kConnectionReset;
        default:
            failed = true;
            return kConnectionReset;
    }
}

std::string TlsReason(SSL* ssl) {
    const long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK) {
        return std::string("the certificate does not verify: ") +
               X509_verify_cert_error_string(verified);
    }
    const unsigned long code = ERR_peek_last_error();
    if (code == 0) return "the handshake failed";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

}  // namespace

Session::Session() = default;
Session::~Session() = default;

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_tls = other.m_tls;
        other.m_handle = kInvalid;
        other.m_tls = nullptr;
    }
    return *this;
}

void Socket::Close() {
    if (m_tls != nullptr) {
        // Freed without a shutdown, the session would be marked as not to be resumed. The
        // exchange is over and the server closes: nothing needs to be said.
        SSL_set_shutdown(m_tls->ssl, SSL_SENT_SHUTDOWN);
        SSL_SESSION* session = SSL_get1_session(m_tls->ssl);
        if (session != nullptr && SSL_SESSION_is_resumable(session) == 1) {
            KeepSession(m_tls->key, session);
        } else if (session != nullptr) {
            SSL_SESSION_free(session);
        }
        SSL_free(m_tls->ssl);
        delete m_tls;
        m_tls = nullptr;
    }
    if (m_handle != kInvalid) {
        close(Descriptor(m_handle));
        m_handle = kInvalid;
    }
}

long Socket::Create() {
    Close();
    // Non-blocking so that every wait can be bounded; close-on-exec so that a program the
    // application starts meanwhile does not inherit the connection.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return FromErrno(errno);
    m_handle = fd;
    return kNoError;
}

long Socket::Connect(const Address& address, WaitMilliseconds wait) {
    sockaddr_in server{};
    server.sin_family = static_cast<sa_family_t>(address.family);
    server.sin_port = address.portNetworkOrder;
    server.sin_addr.s_addr = address.addressNetworkOrder;
    int fd = Descriptor(m_handle);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) {
        return kNoError;
    }
    // A connect interrupted by a signal goes on in the background like one in progress.
    if (errno != EINPROGRESS && errno != EINTR) return FromErrno(errno);
    short revents = 0;
    long waited = WaitFor(fd, POLLOUT, wait, revents);
    if (waited != kNoError) return waited;
    // Writable without an error condition: connected, no need to ask for the socket error.
    if ((revents & (POLLERR | POLLHUP)) == 0) return kNoError;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return FromErrno(errno);
    return FromErrno(error);
}

long Socket::Send(const char* data, std::size_t size, WaitMilliseconds wait, std::size_t& sent) {
    sent = 0;
    int fd = Descriptor(m_handle);
    if (m_tls != nullptr) {
        // One write, one record: the server takes a request whose layout one record
        // completes as whole. OpenSSL writes with write(), which raises SIGPIPE.
        platform::SigpipeGuard guard;
        while (sent < size) {
            ERR_clear_error();
            errno = 0;
            const int written = SSL_write(m_tls->ssl, data + sent, static_cast<int>(size - sent));
            if (written > 0) {
                sent += static_cast<std::size_t>(written);
                continue;
            }
            bool failed = false;
            const long error = WaitForTls(fd, m_tls->ssl, written, wait, failed);
            if (failed || error != kNoError) return error;
        }
        return kNoError;
    }
    while (sent < size) {
        // MSG_NOSIGNAL: a server that has gone must not kill the application with SIGPIPE.
        ssize_t written = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            short revents = 0;
            long waited = WaitFor(fd, POLLOUT, wait, revents);
            if (waited != kNoError) return waited;
            continue;
        }
        return FromErrno(errno);
    }
    return kNoError;
}

long Socket::Receive(char* buffer, std::size_t capacity, WaitMilliseconds wait,
                     std::size_t& received) {
    received = 0;
    int fd = Descriptor(m_handle);
    if (m_tls != nullptr) {
        // A read may have to write (a key update), and OpenSSL writes with write().
        platform::SigpipeGuard guard;
        for (;;) {
            ERR_clear_error();
            errno = 0;
            const int count = SSL_read(m_tls->ssl, buffer, static_cast<int>(capacity));
            if (count > 0) {
                received = static_cast<std::size_t>(count);
                return kNoError;
            }
            if (SSL_get_error(m_tls->ssl, count) == SSL_ERROR_ZERO_RETURN) return kNoError;
            bool failed = false;
            const long error = WaitForTls(fd, m_tls->ssl, count, wait, failed);
            if (failed || error != kNoError) return error;
        }
    }
    for (;;) {
        // The answer seldom waits already, so the wait comes first and saves a failed read.
        short revents = 0;
        long waited = WaitFor(fd, POLLIN, wait, revents);
        if (waited != kNoError) return waited;
        ssize_t count = recv(fd, buffer, capacity, 0);
        if (count >= 0) {
            received = static_cast<std::size_t>(count);
            return kNoError;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return FromErrno(errno);
    }
}

bool Socket::StartTls(const std::string& hostName, const std::string& caFile, WaitMilliseconds wait,
                      std::string& reason, const std::string& protocol) {
    SSL_CTX* context = ClientContext(caFile, reason);
    if (context == nullptr) return false;
    ERR_clear_error();
    SSL* ssl = SSL_new(context);
    if (ssl == nullptr) {
        reason = "no TLS session";
        return false;
    }
    const int fd = Descriptor(m_handle);
    // The handshake's last flight and the request are separate writes: the request must not
    // wait for the acknowledgement of the first.
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // Sessions are kept per server address as well as name: servers do not share tickets.
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length);
    m_tls = new TlsSession{ssl, hostName + "\n" + std::to_string(ntohl(peer.sin_addr.s_addr)) +
                                    ":" + std::to_string(ntohs(peer.sin_port)) + "\n" + caFile};
    platform::SigpipeGuard guard;
    SSL_set_fd(ssl, fd);
    // The name the certificate must carry, and the one the server is asked for.
    SSL_set1_host(ssl, hostName.c_str());
    SSL_set_tlsext_host_name(ssl, hostName.c_str());
    if (!protocol.empty() && protocol.size() < 256) {
        std::string offered(1, static_cast<char>(protocol.size()));
        offered += protocol;
        SSL_set_alpn_protos(ssl, reinterpret_cast<const unsigned char*>(offered.data()),
                            static_cast<unsigned>(offered.size()));
    }
    if (SSL_SESSION* kept = KeptSession(m_tls->key)) {
        SSL_set_session(ssl, kept);
        SSL_SESSION_free(kept);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_connect(ssl);
        if (rc == 1) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        bool failed = false;
        const long error = WaitForTls(fd, ssl, rc, left > 0 ? left : 0, failed);
        if (failed) {
            reason = TlsReason(ssl);
            break;
        }
        if (error != kNoError) {
            reason = error == kTimedOut ? "no answer to the handshake in time"
                                        : "the connection broke during the handshake";
            break;
        }
    }
    // Nothing of a failed session is kept or resumed.
    SSL_free(ssl);
    delete m_tls;
    m_tls = nullptr;
    return false;
}

bool Socket::ProtocolAgreed() const {
    if (m_tls == nullptr) return false;
    const unsigned char* agreed = nullptr;
    unsigned int size = 0;
    SSL_get0_alpn_selected(m_tls->ssl, &agreed, &size);
    return size > 0;
}

bool Socket::Idle() const {
    if (m_handle == kInvalid || m_tls == nullptr || SSL_has_pending(m_tls->ssl) == 1) {
        return false;
    }
    // Anything readable on a connection between exchanges is the end of it (the server's
    // close_notify or its FIN), or bytes no request asked for.
    pollfd entry{Descriptor(m_handle), POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready == 0;
}

long ResolveHost(const char* hostName, std::uint16_t port, Address& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    errno = 0;
    int result = getaddrinfo(hostName, nullptr, &hints, &found);
    if (result != 0) return FromResolver(result);
    long error = kNoData;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            address.family = AF_INET;
            address.portNetworkOrder = htons(port);
            address.addressNetworkOrder = ipv4->sin_addr.s_addr;
            error = kNoError;
            break;
        }
    }
    freeaddrinfo(found);
    return error;
}

}  // namespace zn::sockets
