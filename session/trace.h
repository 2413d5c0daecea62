// A process-wide observer of the directory and administration traffic, for diagnostic tools.
//
// Nothing is measured or copied unless a sink is installed: every traced step first asks
// Sink() and goes on untouched when it is null. The sink is called on the thread that does
// the work, so a program that installs one from several threads must make it thread-safe.
// Passwords never reach a sink, and user tokens are replaced before a request is shown.
#pragma once

#include <chrono>
#include <cstddef>

namespace zn::trace {

struct BindRecord {
    const char* server;  // host name tried
    const char* bindDN;  // null for the anonymous bind
    long ldapCode;       // classic LDAP result code of the bind
    double milliseconds;
    // How the connection was protected: "plain", or e.g. "starttls to ldap5:389, certificate
    // verified", "ldaps to ldap5:636 failed: ..." (then nothing was sent).
    const char* transport;
};

struct SearchRecord {
    const char* server;
    const char* base;
    const char* filter;
    const char* const* attributes;  // null-terminated; null when every attribute was asked
    long ldapCode;
    std::size_t entries;
    double milliseconds;
};

struct AdminRecord {
    const char* server;
    unsigned port;
    const char* request;  // user token replaced by kRedactedToken
    long result;          // the reply's result, 0 when the exchange failed
    long code;
    const char* text;
    std::size_t records;  // reply records of a list request
    double milliseconds;
    // "plain", "tls, certificate verified", or the same "with proof" when the requester's
    // password went along.
    const char* transport;
};

inline constexpr const char* kRedactedToken = "<token>";

class TraceSink {
  public:
    virtual ~TraceSink() = default;
    virtual void OnBind(const BindRecord& record) = 0;
    virtual void OnSearch(const SearchRecord& record) = 0;
    virtual void OnAdminRequest(const AdminRecord& record) = 0;
};

// The installed sink, or null. The caller keeps the sink alive while it is installed.
TraceSink* Sink();
void SetSink(TraceSink* sink);

// Milliseconds since `start`, for the records above.
inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace zn::trace
