// CZNAdminChannel: one exchange with the administration server of a domain.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "platform/sockets.h"
#include "session/directory_base.h"

namespace zn {

inline constexpr std::uint32_t kDefaultAdminPort =
    static_cast<std::uint32_t>(kDefaultAdministrationPort);
// Each connect attempt, the send and each read wait at most this long unless told otherwise:
// the default search time-out of the directory objects.
inline constexpr long kDefaultAdminWaitSeconds = 120;

// Texts of the failed steps of an exchange, as applications have always seen them.
inline constexpr const char* kStartupFailureText = "WSAStartup failure.";
inline constexpr const char* kSocketCreateFailureText = "TCP/IP Scokets Create failure.";
inline constexpr const char* kHostLookupFailureText = "TCP/IP Sockets Bind error.";
inline constexpr const char* kConnectFailureText = "Sockets connect error.";
inline constexpr const char* kSendFailureText = "TCP/IP Sockets Send Data error.";
inline constexpr const char* kReceiveFailureText = "TCP/IP Sockets Receive data error.";
// The administration channel's TLS (admin-tls on): the handshake or the server's certificate
// failed, with the host, the port and the reason; or the settings could not be read. Nothing
// was sent.
inline constexpr const char* kAdminTlsFailureFormat =
    "TLS with the administration server %s:%u failed: %s.";
inline constexpr const char* kAdminTlsSettingsFormat =
    "The TLS settings cannot be used (%s); nothing was sent to %s.";
// A reply line without its three fields.
inline constexpr const char* kIncompleteReplyText =
    "Incomplete reply from the administration server.";

class CZNAdminChannel {
  public:
    // A null domain, like an empty one, names the local administration server "ldapadm".
    explicit CZNAdminChannel(const char* domain = nullptr, std::uint32_t port = kDefaultAdminPort);
    // Copies every member; the socket exists only during an exchange and is not copied. (A
    // TLS connection the server agreed to keep waits between exchanges in a store of the
    // whole process, not in the channel.)
    CZNAdminChannel(const CZNAdminChannel& other);
    CZNAdminChannel& operator=(const CZNAdminChannel& other);
    ~CZNAdminChannel() = default;

    // Sends one request and reads one reply line; the reply's result, or 0 when the exchange
    // failed. The code and text of the reply, or of the failure, are left for GetErrorCode
    // and GetErrorText.
    long Transact(const char* request);
    // Sends one request and reads reply records up to the end record; the records read,
    // also when the exchange failed part way.
    std::list<std::string> TransactList(const char* request);

    // The user token of a user name; uses none of the channel's state.
    static std::string MakeToken(const std::string& text);

    long GetErrorCode() const { return m_errorCode; }
    std::string GetErrorText() const { return m_errorText; }

    // Bounds each connect attempt, the send and each read, so that a server that stops
    // answering cannot hold the application forever. Zero or less restores the default.
    void SetWaitLimit(long seconds, long microSeconds);

    // The password the requester proves itself with when the channel speaks TLS (admin-tls
    // on): sent before the request inside the session, never in clear, never when empty.
    void SetRequesterPassword(const std::string& password) { m_requesterPassword = password; }

  private:
    // What the exchange does after connecting: the reply line or the record run.
    long Exchange(const char* request, bool readRecords);
    long ExchangeOnce(const char* request, bool readRecords);
    bool Connect();
    bool CreateSocket();
    bool Send(const char* request);
    // The TLS handshake on the connected socket, when the settings ask for it.
    bool StartTls();
    long ReadReply();
    // True when the end record arrived.
    bool ReadRecords();
    void Fail(long code, const char* text);
    std::string HostName() const;

    // Members in the order of the administration exchange's data model, then the bound.
    std::string m_domain;
    std::uint32_t m_port;
    long m_errorCode = 1;
    sockets::Address m_serverAddress;
    sockets::Socket m_socket;
    std::string m_errorText;
    std::list<std::string> m_replyRecords;
    sockets::WaitMilliseconds m_waitMilliseconds = kDefaultAdminWaitSeconds * 1000;
    std::string m_requesterPassword;
    // Read afresh for each exchange; empty CA file: the system's authorities.
    bool m_tls = false;
    std::string m_caFile;
    // The exchange runs on a TLS connection an earlier exchange kept; its reply line arrived.
    bool m_reused = false;
    bool m_replyRead = false;
    // The server certainly took no request of this exchange: the send failed, or the
    // connection was closed with a close_notify before any byte of an answer.
    bool m_notTaken = false;
};

}  // namespace zn
