// The operating system's LDAP client, reduced to the calls the directory session makes.
//
// Every result code leaving this layer is in the classic C LDAP API numbering (RFC 1823 and
// the client-side codes 0x51-0x61 that wldap32 uses), whatever the back end reports natively,
// so that retry decisions and the "LDAP error %ld encountered." texts read the same everywhere.
#pragma once

#include <cstddef>

// The C libraries of both platforms name their handle types with these struct tags.
struct ldap;
struct ldapmsg;
struct berelement;

namespace zn::ldapapi {

using Handle = ::ldap;
using Message = ::ldapmsg;
using BerElement = ::berelement;

// Result codes the session core acts on.
inline constexpr long kSuccess = 0;
inline constexpr long kOperationsError = 1;
inline constexpr long kSizeLimitExceeded = 4;
inline constexpr long kInvalidCredentials = 49;
inline constexpr long kUnavailable = 52;
inline constexpr long kOther = 80;
inline constexpr long kServerDown = 81;
inline constexpr long kLocalError = 82;
inline constexpr long kTimeout = 85;
inline constexpr long kFilterError = 87;
inline constexpr long kConnectError = 91;

inline constexpr int kDefaultPort = 389;
inline constexpr int kLdapsPort = 636;
inline constexpr int kScopeSubtree = 2;
inline constexpr int kAuthSimple = 0x80;
inline constexpr int kMsgAll = 1;
inline constexpr int kMsgOne = 0;
inline constexpr long kResSearchEntry = 0x64;
inline constexpr long kResSearchResult = 0x65;

struct TimeValue {
    long seconds;
    long microseconds;
};

// Maps a code of the native library to the classic numbering; identity on wldap32.
long ClassicCode(int nativeCode);

// Creates a handle for host:port without contacting the host; null on failure.
Handle* Init(const char* host, int port);
// How a connection is protected: StartTLS on the LDAP port, or TLS from the first byte on
// the LDAPS port.
enum class Transport { kPlain, kStartTls, kLdaps };

struct TlsOptions {
    Transport transport;
    const char* caFile;  // PEM bundle of trusted authorities; null or empty: the system's
    bool verify;         // false: any certificate is taken (the traffic is still encrypted)
};

enum class TlsOutcome {
    kSecured,      // TLS is up; every later byte on the handle is encrypted
    kUnreachable,  // no connection was made (code tells why); nothing was sent
    kNotSecured,   // connected, but TLS could not be established: a certificate that did
                   // not verify, a failed handshake, a server without StartTLS
    kUnusable,     // the TLS options could not be applied (a CA file that cannot be read)
};

// Creates a handle for a TLS connection without contacting the host: to port 389 for
// StartTLS, 636 for LDAPS. The CA file and the verification apply to this handle alone,
// never to the process's other connections. Null on failure.
Handle* InitTls(const char* host, const TlsOptions& options);
// Connects and establishes TLS on a handle of InitTls, waiting at most `timeout` for the
// server's answer to StartTLS. `code` gets the classic code of a failure; `detail` a short
// description of a kNotSecured or kUnusable failure for the error text.
TlsOutcome StartTls(Handle* handle, const TlsOptions& options, TimeValue timeout, long& code,
                    const char*& detail);

// Nonzero on failure.
long SetProtocolVersion3(Handle* handle);
// Makes the connect time-out bound the transport connection as well, which the native
// library would otherwise leave to the operating system's own (minutes-long) limit.
void BoundConnectWait(Handle* handle, TimeValue timeout);
// Reads the handle's last error number; false when it cannot be read.
bool GetLastError(Handle* handle, long& code);
// Starts an asynchronous bind; returns the message number, or -1 on failure.
long Bind(Handle* handle, const char* dn, const char* password, int method);
// 0 on time-out, -1 on failure, else the message type; *result then owns the message.
long Result(Handle* handle, long messageId, int all, TimeValue timeout, Message** result);
void Abandon(Handle* handle, long messageId);
// Result code carried by a result message; releases the message.
long Result2Error(Handle* handle, Message* result);
// Description of a classic result code; a static string, never null.
const char* Err2String(long code);
long SearchSt(Handle* handle, const char* base, int scope, const char* filter,
              const char* const* attributes, int attributesOnly, TimeValue timeout,
              Message** result);
// Starts a search without waiting for its answer: the message number, or -1 with the
// classic code in `code`. The answer is read with Result, one message at a time.
long SearchExt(Handle* handle, const char* base, int scope, const char* filter,
               const char* const* attributes, TimeValue timeLimit, long& code);
Message* FirstEntry(Handle* handle, Message* chain);
Message* NextEntry(Handle* handle, Message* entry);
char* FirstAttribute(Handle* handle, Message* entry, BerElement** position);
char* NextAttribute(Handle* handle, Message* entry, BerElement* position);
char** GetValues(Handle* handle, Message* entry, const char* attribute);
long CountValues(char** values);
void ValueFree(char** values);
char* GetDn(Handle* handle, Message* entry);

// One value as the entry holds it: not NUL-terminated, valid only during the visit.
struct ValueView {
    const char* data;
    std::size_t length;
};
// Calls `visit` for each attribute of `entry` that has values, in the order the server sent
// them, with its name and its values. Where the back end can, the values are read in place, without a copy
// each: a member list of a hundred thousand values then costs no allocation per value.
using AttributeVisit = void (*)(void* context, ValueView name, const ValueView* values,
                                std::size_t count);
void VisitValues(Handle* handle, Message* entry, AttributeVisit visit, void* context);
// VisitValues in terms of the calls above, for back ends without an in-place reader.
void VisitValuesByCopy(Handle* handle, Message* entry, AttributeVisit visit, void* context);
void MemFree(char* memory);
void BerFree(BerElement* position);
void MsgFree(Message* chain);
void Unbind(Handle* handle);

}  // namespace zn::ldapapi
