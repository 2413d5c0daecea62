// TCP client sockets for the administration exchange, reduced to the calls the channel makes.
//
// Every error leaving this layer is a Windows Sockets error number (10061 refused, 10060 timed
// out, 11001 host not found…) whatever the back end reports natively, because those numbers
// become the error status applications read. Zero means success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zn::sockets {

// The Windows Sockets numbers the channel and its tests act on.
inline constexpr long kNoError = 0;
inline constexpr long kInterrupted = 10004;         // WSAEINTR
inline constexpr long kInvalidArgument = 10022;     // WSAEINVAL
inline constexpr long kTooManySockets = 10024;      // WSAEMFILE
inline constexpr long kAddressFamily = 10047;       // WSAEAFNOSUPPORT
inline constexpr long kNetworkUnreachable = 10051;  // WSAENETUNREACH
inline constexpr long kConnectionAborted = 10053;   // WSAECONNABORTED
inline constexpr long kConnectionReset = 10054;     // WSAECONNRESET
inline constexpr long kNoBuffers = 10055;           // WSAENOBUFS
inline constexpr long kNotConnected = 10057;        // WSAENOTCONN
inline constexpr long kTimedOut = 10060;            // WSAETIMEDOUT
inline constexpr long kConnectionRefused = 10061;   // WSAECONNREFUSED
inline constexpr long kHostUnreachable = 10065;     // WSAEHOSTUNREACH
inline constexpr long kDisconnected = 10101;        // WSAEDISCON: the peer closed gracefully
inline constexpr long kSystemCallFailure = 10107;   // WSASYSCALLFAILURE
inline constexpr long kHostNotFound = 11001;        // WSAHOST_NOT_FOUND
inline constexpr long kTryAgain = 11002;            // WSATRY_AGAIN
inline constexpr long kNoRecovery = 11003;          // WSANO_RECOVERY
inline constexpr long kNoData = 11004;              // WSANO_DATA

// An IPv4 socket address as the exchange keeps it: family, port and address, the last two in
// network byte order.
struct Address {
    std::uint16_t family = 0;
    std::uint16_t portNetworkOrder = 0;
    std::uint32_t addressNetworkOrder = 0;
};

// A TLS session on a socket; defined by the back end that has one.
struct TlsSession;

// Bound of one blocking step (a connect attempt, a send, a receive), in milliseconds.
using WaitMilliseconds = long;

// Starts and stops the socket service around one exchange (WSAStartup/WSACleanup on Windows,
// nothing on POSIX). Stops only what it started.
class Session {
  public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Zero, or the error the start-up returned.
    long StartupError() const { return m_startupError; }

  private:
    long m_startupError = kNoError;
};

// One IPv4 stream socket; closed by its destructor. Owners move, never copy.
class Socket {
  public:
    Socket() = default;
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : m_handle(other.m_handle), m_tls(other.m_tls) {
        other.m_handle = kInvalid;
        other.m_tls = nullptr;
    }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Valid() const { return m_handle != kInvalid; }
    void Close();

    // Creates a fresh socket in place of this one; the error on failure.
    long Create();

    // Connects, waiting at most `wait`; a wait that runs out is kTimedOut.
    long Connect(const Address& address, WaitMilliseconds wait);

    // Sends all of data, each wait for room bounded by `wait`. `sent` is what went out.
    long Send(const char* data, std::size_t size, WaitMilliseconds wait, std::size_t& sent);

    // Reads at most `capacity` bytes once data or the end of the stream is there, waiting at
    // most `wait`. `received` is zero when the peer has closed the connection.
    long Receive(char* buffer, std::size_t capacity, WaitMilliseconds wait, std::size_t& received);

    // Speaks TLS on the connected socket from now on: the server's certificate must verify
    // against the authorities of `caFile` (PEM; the system's when empty) and name `hostName`;
    // the handshake waits at most `wait`. False, with `reason` saying why, when it fails;
    // the socket is then of no further use. Send and Receive then carry the session's data.
    // Back ends without TLS always fail. A `protocol` offered (ALPN) is one the server may
    // take; ProtocolAgreed says whether it did.
    bool StartTls(const std::string& hostName, const std::string& caFile, WaitMilliseconds wait,
                  std::string& reason, const std::string& protocol = std::string());
    bool ProtocolAgreed() const;

    // Open, with nothing waiting to be read and no end of stream from the peer: the
    // connection may carry another exchange. Only TLS connections are ever asked.
    bool Idle() const;

  private:
    // Wide enough for a POSIX descriptor and a Winsock SOCKET alike.
    using Handle = std::intptr_t;
    static constexpr Handle kInvalid = -1;

    Handle m_handle = kInvalid;
    TlsSession* m_tls = nullptr;
};

// Looks the host name up (IPv4 only) and fills family, address and the given port.
long ResolveHost(const char* hostName, std::uint16_t port, Address& address);

}  // namespace zn::sockets
