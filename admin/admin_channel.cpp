// CZNAdminChannel: one exchange with the administration server of a domain.
#include "admin/admin_channel.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "admin/change_request.h"
#include "admin/reply.h"
#include "admin/user_token.h"
#include "platform/system.h"
#include "session/format.h"
#include "session/status_codes.h"
#include "session/tls_settings.h"
#include "session/trace.h"

namespace zn {
namespace {

constexpr int kConnectAttempts = 8;
constexpr std::size_t kReadSize = 1024;
// Beyond this a wait limit is as good as endless, and seconds * 1000 still fits.
constexpr long kSecondsCap = 10L * 24 * 3600;

// A name's address is looked up again once it is this old: reading the hosts file or
// asking a resolver costs more than the rest of a status question, and a program that asks
// thousands a second would otherwise pay it every time.
constexpr std::chrono::seconds kLookupLifetime(1);

// The address of `host` as last looked up, or a fresh lookup when `fresh`, when there is
// none yet or it is too old. Failed lookups are never kept.
long LookUp(const std::string& host, std::uint16_t port, bool fresh, sockets::Address& address) {
    using Clock = std::chrono::steady_clock;
    struct Known {
        sockets::Address address;
        Clock::time_point at;
    };
    static std::mutex lock;
    // Never destroyed: an exchange may still run on another thread while the program exits.
    static auto* known = new std::map<std::pair<std::string, std::uint16_t>, Known>();
    const auto key = std::make_pair(host, port);
    if (!fresh) {
        std::lock_guard<std::mutex> hold(lock);
        auto found = known->find(key);
        if (found != known->end() && Clock::now() - found->second.at < kLookupLifetime) {
            address = found->second.address;
            return sockets::kNoError;
        }
    }
    long error = sockets::ResolveHost(host.c_str(), port, address);
    std::lock_guard<std::mutex> hold(lock);
    if (error == sockets::kNoError) {
        (*known)[key] = Known{address, Clock::now()};
    } else {
        known->erase(key);
    }
    return error;
}

// A kept connection goes unused at most this long before it is closed rather than reused:
// well inside the shortest time a server that takes the protocol keeps it (see the manual
// page), so the server never closes one under a request.
constexpr std::chrono::seconds kKeptIdleLifetime(5);
// Kept connections of the whole process, all servers together.
constexpr std::size_t kMostKept = 8;

// TLS connections whose server agreed to keep them, between exchanges, shared by every
// channel of the process: a change's channel lives for one exchange, the connection for many,
// so that a program that sends changes pays the TLS handshake once rather than per change.
class KeptConnections {
  public:
    static KeptConnections& Of() {
        // Never destroyed: an exchange may still run on another thread while the program exits.
        static auto* kept = new KeptConnections();
        return *kept;
    }

    // A connection to the server `key` names, idle and young enough; an invalid socket when
    // there is none.
    sockets::Socket Take(const std::string& key) {
        std::lock_guard<std::mutex> hold(m_lock);
        Sweep();
        for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
            if (it->key != key) continue;
            sockets::Socket socket = std::move(it->socket);
            m_idle.erase(std::next(it).base());
            return socket;
        }
        return sockets::Socket();
    }

    void Give(const std::string& key, sockets::Socket&& socket) {
        std::lock_guard<std::mutex> hold(m_lock);
        Sweep();
        if (m_idle.size() >= kMostKept) m_idle.erase(m_idle.begin());
        m_idle.push_back(Kept{key, std::move(socket), Clock::now()});
    }

  private:
    using Clock = std::chrono::steady_clock;
    struct Kept {
        std::string key;
        sockets::Socket socket;
        Clock::time_point since;
    };

    // Drops what is too old, what the server has closed, and, in a child made by fork(),
    // everything: its TLS sessions are the parent's too, and two writers would corrupt them.
    void Sweep() {
        const unsigned long process = platform::ProcessId();
        const bool inherited = process != m_process;
        m_process = process;
        const Clock::time_point now = Clock::now();
        m_idle.erase(std::remove_if(m_idle.begin(), m_idle.end(),
                                    [&](const Kept& kept) {
                                        return inherited || now - kept.since >= kKeptIdleLifetime ||
                                               !kept.socket.Idle();
                                    }),
                     m_idle.end());
    }

    std::mutex m_lock;
    std::vector<Kept> m_idle;
    unsigned long m_process = platform::ProcessId();
};

bool Retryable(long code) {
    return code == sockets::kConnectionRefused || code == sockets::kTimedOut;
}

// The request as a trace shows it: the token field, found by the request's own layout,
// replaced. A request no layout reads is shown whole, as it carries no token that is known.
std::string RedactToken(const std::string& request) {
    ParsedRequest parsed;
    ParseOutcome outcome = ParseChangeRequest(request, parsed);
    if ((outcome != ParseOutcome::kComplete && outcome != ParseOutcome::kMayContinue) ||
        parsed.userToken.empty()) {
        return request;
    }
    const std::string field = "," + parsed.userToken;
    std::string shown = request;
    for (std::size_t at = shown.find(field); at != std::string::npos;
         at = shown.find(field, at + 1)) {
        const std::size_t end = at + field.size();
        if (end == shown.size() || shown[end] == ',') {
            shown.replace(at + 1, parsed.userToken.size(), trace::kRedactedToken);
            break;
        }
    }
    return shown;
}

}  // namespace

CZNAdminChannel::CZNAdminChannel(const char* domain, std::uint32_t port)
    : m_domain(domain != nullptr ? domain : ""), m_port(port) {}

CZNAdminChannel::CZNAdminChannel(const CZNAdminChannel& other)
    : m_domain(other.m_domain),
      m_port(other.m_port),
      m_errorCode(other.m_errorCode),
      m_serverAddress(other.m_serverAddress),
      m_errorText(other.m_errorText),
      m_replyRecords(other.m_replyRecords),
      m_waitMilliseconds(other.m_waitMilliseconds),
      m_requesterPassword(other.m_requesterPassword) {}

CZNAdminChannel& CZNAdminChannel::operator=(const CZNAdminChannel& other) {
    if (this != &other) {
        m_domain = other.m_domain;
        m_port = other.m_port;
        m_errorCode = other.m_errorCode;
        m_serverAddress = other.m_serverAddress;
        m_socket.Close();
        m_errorText = other.m_errorText;
        m_replyRecords = other.m_replyRecords;
        m_waitMilliseconds = other.m_waitMilliseconds;
        m_requesterPassword = other.m_requesterPassword;
    }
    return *this;
}

std::string CZNAdminChannel::MakeToken(const std::string& text) {
    return MakeUserToken(text);
}

void CZNAdminChannel::SetWaitLimit(long seconds, long microSeconds) {
    // poll() and its Windows counterpart take an int of milliseconds; long is 32 bits on
    // Windows, so the sum is formed wider.
    constexpr long long kLongest = INT_MAX;
    long long milliseconds =
        static_cast<long long>(std::clamp<long>(seconds, -kSecondsCap, kSecondsCap)) * 1000 +
        (static_cast<long long>(microSeconds) + 999) / 1000;
    m_waitMilliseconds = milliseconds > 0 ? static_cast<long>(std::min(milliseconds, kLongest))
                                          : kDefaultAdminWaitSeconds * 1000;
}

long CZNAdminChannel::Transact(const char* request) {
    return Exchange(request, false);
}

std::list<std::string> CZNAdminChannel::TransactList(const char* request) {
    m_replyRecords.clear();
    Exchange(request, true);
    return m_replyRecords;
}

long CZNAdminChannel::Exchange(const char* request, bool readRecords) {
    trace::TraceSink* sink = trace::Sink();
    if (sink == nullptr) {
        return ExchangeOnce(request, readRecords);
    }
    const auto started = std::chrono::steady_clock::now();
    long result = ExchangeOnce(request, readRecords);
    const std::string shown = RedactToken(request != nullptr ? request : "");
    const std::string host = HostName();
    std::string transport = !m_tls                              ? "plain"
                            : m_errorCode == status::kTlsFailed ? "tls failed, nothing sent"
                            : m_requesterPassword.empty()       ? "tls, certificate verified"
                                                          : "tls, certificate verified, with proof";
    if (m_reused) transport += ", kept connection";
    sink->OnAdminRequest({host.c_str(), static_cast<unsigned>(m_port), shown.c_str(),
                          readRecords ? m_errorCode : result, m_errorCode, m_errorText.c_str(),
                          m_replyRecords.size(), trace::MillisecondsSince(started),
                          transport.c_str()});
    return result;
}

long CZNAdminChannel::ExchangeOnce(const char* request, bool readRecords) {
    m_reused = false;
    sockets::Session session;
    if (session.StartupError() != sockets::kNoError) {
        Fail(session.StartupError(), kStartupFailureText);
        return 0;
    }
    const TlsSettings settings = LoadTlsSettings();
    if (!settings.error.empty()) {
        // Whether the channel must be encrypted is unknown: nothing goes out rather than
        // something in clear.
        Fail(status::kTlsSettingsInvalid,
             FormatText(kAdminTlsSettingsFormat, settings.error.c_str(), HostName().c_str())
                 .c_str());
        return 0;
    }
    m_tls = settings.adminTls;
    m_caFile = settings.caFile;
    const std::string keptKey = HostName() + "\n" + std::to_string(m_port) + "\n" + m_caFile;
    if (m_tls) {
        m_socket = KeptConnections::Of().Take(keptKey);
        m_reused = m_socket.Valid();
    }
    long result = 0;
    for (;;) {
        m_notTaken = false;
        bool answered = false;
        if ((m_reused || (CreateSocket() && Connect() && StartTls())) &&
            Send(request != nullptr ? request : "")) {
            if (readRecords) {
                answered = ReadRecords();
            } else {
                result = ReadReply();
                answered = m_replyRead;
            }
        }
        // Only a connection whose exchange ended as the server meant it to is used again.
        if (answered && m_socket.ProtocolAgreed() && m_socket.Idle()) {
            KeptConnections::Of().Give(keptKey, std::move(m_socket));
        }
        m_socket.Close();
        // A kept connection the server let go just as the request went out: the server took
        // nothing from it (see m_notTaken), and the request goes once more, on a new one.
        if (!m_reused || !m_notTaken) break;
        m_reused = false;
    }
    // The socket went before the session that carries it.
    return result;
}

bool CZNAdminChannel::CreateSocket() {
    long error = m_socket.Create();
    if (error != sockets::kNoError) {
        Fail(error, kSocketCreateFailureText);
        return false;
    }
    return true;
}

std::string CZNAdminChannel::HostName() const {
    return FormatText("ldap%sadm", m_domain.c_str());
}

bool CZNAdminChannel::Connect() {
    const std::string hostName = HostName();
    m_errorCode = sockets::kConnectionRefused;
    for (int attempt = 0; Retryable(m_errorCode) && attempt < kConnectAttempts; ++attempt) {
        // A socket whose connect failed cannot be connected again on POSIX systems.
        if (attempt > 0 && !CreateSocket()) return false;
        // A retry looks the name up afresh, in case the server has moved.
        long error =
            LookUp(hostName, static_cast<std::uint16_t>(m_port), attempt > 0, m_serverAddress);
        if (error != sockets::kNoError) {
            Fail(error, kHostLookupFailureText);
            return false;
        }
        error = m_socket.Connect(m_serverAddress, m_waitMilliseconds);
        if (error != sockets::kNoError) {
            Fail(error, kConnectFailureText);
        } else {
            m_errorCode = 0;
        }
    }
    return m_errorCode == 0;
}

bool CZNAdminChannel::StartTls() {
    if (!m_tls) return true;
    std::string reason;
    if (m_socket.StartTls(HostName(), m_caFile, m_waitMilliseconds, reason,
                          kKeepConnectionProtocol)) {
        return true;
    }
    Fail(status::kTlsFailed, FormatText(kAdminTlsFailureFormat, HostName().c_str(),
                                        static_cast<unsigned>(m_port), reason.c_str())
                                 .c_str());
    return false;
}

bool CZNAdminChannel::Send(const char* request) {
    std::size_t size = std::char_traits<char>::length(request);
    std::size_t sent = 0;
    // Inside TLS, the requester's password goes first on a line of its own, and both go in
    // one write, which the server receives as one record.
    std::string proven;
    if (m_tls && !m_requesterPassword.empty()) {
        static const char kHex[] = "0123456789abcdef";
        proven = "PROOF ";
        for (unsigned char c : m_requesterPassword) {
            proven += kHex[c >> 4];
            proven += kHex[c & 15];
        }
        proven += '\n';
        proven.append(request, size);
        request = proven.c_str();
        size = proven.size();
    }
    long error = m_socket.Send(request, size, m_waitMilliseconds, sent);
    if (error != sockets::kNoError) {
        Fail(error, kSendFailureText);
        // Nothing complete went out: TLS carries the request in one record.
        m_notTaken = m_tls;
        return false;
    }
    return sent > 0;
}

long CZNAdminChannel::ReadReply() {
    m_replyRead = false;
    char buffer[kReadSize];
    std::size_t received = 0;
    long error = m_socket.Receive(buffer, sizeof buffer, m_waitMilliseconds, received);
    if (error != sockets::kNoError) {
        Fail(error, kReceiveFailureText);
        return 0;
    }
    if (received == 0) {
        Fail(sockets::kDisconnected, kReceiveFailureText);
        // Over TLS, an end without an answer is a close_notify (a broken connection is an
        // error): the server took no request from this connection.
        m_notTaken = m_tls;
        return 0;
    }
    Reply reply;
    if (!ParseReply(buffer, received, reply)) {
        Fail(status::kIncompleteReply, kIncompleteReplyText);
        return 0;
    }
    m_errorCode = reply.code;
    m_errorText = reply.text;
    m_replyRead = true;
    return reply.result;
}

bool CZNAdminChannel::ReadRecords() {
    RecordStream stream;
    char buffer[kReadSize];
    // The wait limit bounds the whole run as well as each read: a server that keeps sending
    // records and never the end record would otherwise hold the caller, and grow the list,
    // for as long as it likes.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_waitMilliseconds);
    bool begun = false;  // a byte of the answer arrived
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            Fail(sockets::kTimedOut, kReceiveFailureText);
            return false;
        }
        std::size_t received = 0;
        long error = m_socket.Receive(buffer, sizeof buffer,
                                      static_cast<sockets::WaitMilliseconds>(left), received);
        if (error != sockets::kNoError) {
            Fail(error, kReceiveFailureText);
            return false;
        }
        // A server that closes before the end record would otherwise be read from forever.
        if (received == 0) {
            Fail(sockets::kDisconnected, kReceiveFailureText);
            m_notTaken = m_tls && !begun;
            return false;
        }
        begun = true;
        platform::Sleep(1);
        if (stream.Take(buffer, received, m_replyRecords)) {
            m_errorCode = 1;
            m_errorText.clear();
            return true;
        }
    }
}

void CZNAdminChannel::Fail(long code, const char* text) {
    m_errorCode = code;
    m_errorText = text;
}

}  // namespace zn
