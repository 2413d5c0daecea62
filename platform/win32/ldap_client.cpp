// wldap32 back end of the LDAP client layer, under the plain (ANSI) API names.
#include "platform/ldap_client.h"

// clang-format off
#include <windows.h>
#include <winldap.h>
#include <winber.h>
// clang-format on

#include <climits>

namespace zn::ldapapi {
namespace {

constexpr long kMicrosecondsPerSecond = 1000000;

// Negative parts count as zero, and whole seconds held in the microseconds carry over, as on
// POSIX.
l_timeval ToTimeval(TimeValue value) {
    long seconds = value.seconds > 0 ? value.seconds : 0;
    long microseconds = value.microseconds > 0 ? value.microseconds : 0;
    long carried = microseconds / kMicrosecondsPerSecond;
    seconds = seconds > LONG_MAX - carried ? LONG_MAX : seconds + carried;
    l_timeval tv{};
    tv.tv_sec = seconds;
    tv.tv_usec = microseconds % kMicrosecondsPerSecond;
    return tv;
}

// wldap32 counts the time-out of ldap_search_st and ldap_connect in whole seconds, and hands
// the search's to the server as its time limit, where 0 means none: a bound under a second
// would never end. Such waits are rounded up to whole seconds, at least one.
l_timeval WholeSeconds(TimeValue value) {
    l_timeval tv = ToTimeval(value);
    if (tv.tv_usec > 0 && tv.tv_sec < LONG_MAX) ++tv.tv_sec;
    if (tv.tv_sec == 0) tv.tv_sec = 1;
    tv.tv_usec = 0;
    return tv;
}

// The prototypes predate const correctness; wldap32 does not write through these pointers.
PCHAR Mutable(const char* text) {
    return const_cast<PCHAR>(text);
}

// A connect that ldap_connect already found failing: ldap_bind would otherwise try again
// with the operating system's own connect limit.
bool ConnectFailed(long code) {
    return code == kServerDown || code == kTimeout || code == kConnectError;
}

constexpr const char* kCaFileUnsupported =
    "a CA file cannot be given to wldap32: install the authority in the Windows certificate "
    "store and leave tls-ca unset";
constexpr const char* kNoVerifyUnsupported = "certificate checks cannot be turned off with wldap32";
constexpr const char* kNotVerified = "the server's certificate could not be verified";
constexpr const char* kLdapsNotMade =
    "no LDAPS connection could be made: the server is down or its certificate did not verify";

}  // namespace

long ClassicCode(int nativeCode) {
    return nativeCode;
}

Handle* InitTls(const char* host, const TlsOptions& options) {
    if (options.transport == Transport::kLdaps) {
        return ldap_sslinit(Mutable(host), static_cast<ULONG>(kLdapsPort), 1);
    }
    return ldap_init(Mutable(host), static_cast<ULONG>(kDefaultPort));
}

TlsOutcome StartTls(Handle* handle, const TlsOptions& options, TimeValue timeout, long& code,
                    const char*& detail) {
    // wldap32 verifies the certificate and the host name against the Windows certificate
    // store, per connection, and offers no CA file; skipping the check would take a callback
    // that must free the certificate through crypt32. Either setting is refused rather than
    // quietly taken for something else.
    if (options.caFile != nullptr && *options.caFile != '\0') {
        code = kLocalError;
        detail = kCaFileUnsupported;
        return TlsOutcome::kUnusable;
    }
    if (!options.verify) {
        code = kLocalError;
        detail = kNoVerifyUnsupported;
        return TlsOutcome::kUnusable;
    }
    long previous = kSuccess;
    if (options.transport == Transport::kLdaps) {
        // The TLS handshake is part of the connection wldap32 makes; a refused certificate
        // and an absent server both end as "server down", so the text names both.
        l_timeval tv = WholeSeconds(timeout);
        const ULONG rc = ldap_connect(handle, &tv);
        if (rc == LDAP_SUCCESS) return TlsOutcome::kSecured;
        code = static_cast<long>(rc);
        if (code == kTimeout) return TlsOutcome::kUnreachable;
        detail = kLdapsNotMade;
        return TlsOutcome::kNotSecured;
    }
    // BoundConnectWait has connected already, or left why it could not.
    if (GetLastError(handle, previous) && ConnectFailed(previous)) {
        code = previous;
        return TlsOutcome::kUnreachable;
    }
    ULONG serverCode = 0;
    LDAPMessage* result = nullptr;
    const ULONG rc = ldap_start_tls_s(handle, &serverCode, &result, nullptr, nullptr);
    if (result != nullptr) ldap_msgfree(result);
    if (rc == LDAP_SUCCESS) return TlsOutcome::kSecured;
    code = static_cast<long>(rc);
    if (ConnectFailed(code) && code != kConnectError) return TlsOutcome::kUnreachable;
    detail = kNotVerified;
    return TlsOutcome::kNotSecured;
}

Handle* Init(const char* host, int port) {
    return ldap_init(Mutable(host), static_cast<ULONG>(port));
}

long SetProtocolVersion3(Handle* handle) {
    ULONG version = LDAP_VERSION3;
    return ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version) == LDAP_SUCCESS ? 0 : 1;
}

void BoundConnectWait(Handle* handle, TimeValue timeout) {
    // wldap32 has no network time-out option; connecting explicitly with the time-out does
    // the same. A failure stays in the handle's error number for Bind to find.
    l_timeval tv = WholeSeconds(timeout);
    ldap_connect(handle, &tv);
}

bool GetLastError(Handle* handle, long& code) {
    ULONG native = 0;
    if (ldap_get_option(handle, LDAP_OPT_ERROR_NUMBER, &native) != LDAP_SUCCESS) return false;
    // Wine's wldap32 hands the error number of the OpenLDAP library beneath it through
    // unchanged: -1 for server down where Windows reports 0x51. Windows never reports a
    // negative number, so these can only be OpenLDAP's, which count down from -1 (0x51) in the
    // classic order.
    const auto value = static_cast<LONG>(native);
    if (value < 0) {
        code = value >= -17 ? 80L - value : kOther;
    } else {
        code = value;
    }
    return true;
}

long Bind(Handle* handle, const char* dn, const char* password, int method) {
    long previous = kSuccess;
    if (GetLastError(handle, previous) && ConnectFailed(previous)) return -1;
    ULONG id = ldap_bind(handle, Mutable(dn), Mutable(password), static_cast<ULONG>(method));
    return id == static_cast<ULONG>(-1) ? -1 : static_cast<long>(id);
}

long Result(Handle* handle, long messageId, int all, TimeValue timeout, Message** result) {
    l_timeval tv = ToTimeval(timeout);
    *result = nullptr;
    ULONG outcome =
        ldap_result(handle, static_cast<ULONG>(messageId), static_cast<ULONG>(all), &tv, result);
    return outcome == static_cast<ULONG>(-1) ? -1 : static_cast<long>(outcome);
}

void Abandon(Handle* handle, long messageId) {
    ldap_abandon(handle, static_cast<ULONG>(messageId));
}

long Result2Error(Handle* handle, Message* result) {
    return static_cast<long>(ldap_result2error(handle, result, TRUE));
}

const char* Err2String(long code) {
    const char* text = ldap_err2string(static_cast<ULONG>(code));
    return text != nullptr ? text : "";
}

long SearchSt(Handle* handle, const char* base, int scope, const char* filter,
              const char* const* attributes, int attributesOnly, TimeValue timeout,
              Message** result) {
    l_timeval tv = WholeSeconds(timeout);
    *result = nullptr;
    ULONG rc = ldap_search_st(handle, Mutable(base), static_cast<ULONG>(scope), Mutable(filter),
                              const_cast<PCHAR*>(attributes), static_cast<ULONG>(attributesOnly),
                              &tv, result);
    return static_cast<long>(rc);
}

long SearchExt(Handle* handle, const char* base, int scope, const char* filter,
               const char* const* attributes, TimeValue timeLimit, long& code) {
    ULONG messageId = 0;
    ULONG rc = ldap_search_ext(handle, Mutable(base), static_cast<ULONG>(scope), Mutable(filter),
                               const_cast<PCHAR*>(attributes), 0, nullptr, nullptr,
                               static_cast<ULONG>(WholeSeconds(timeLimit).tv_sec), 0, &messageId);
    code = static_cast<long>(rc);
    return rc == LDAP_SUCCESS ? static_cast<long>(messageId) : -1;
}

Message* FirstEntry(Handle* handle, Message* chain) {
    return ldap_first_entry(handle, chain);
}

Message* NextEntry(Handle* handle, Message* entry) {
    return ldap_next_entry(handle, entry);
}

char* FirstAttribute(Handle* handle, Message* entry, BerElement** position) {
    return ldap_first_attribute(handle, entry, position);
}

char* NextAttribute(Handle* handle, Message* entry, BerElement* position) {
    return ldap_next_attribute(handle, entry, position);
}

char** GetValues(Handle* handle, Message* entry, const char* attribute) {
    return ldap_get_values(handle, entry, Mutable(attribute));
}

long CountValues(char** values) {
    return static_cast<long>(ldap_count_values(values));
}

void ValueFree(char** values) {
    ldap_value_free(values);
}

void VisitValues(Handle* handle, Message* entry, AttributeVisit visit, void* context) {
    VisitValuesByCopy(handle, entry, visit, context);
}

char* GetDn(Handle* handle, Message* entry) {
    return ldap_get_dn(handle, entry);
}

void MemFree(char* memory) {
    ldap_memfree(memory);
}

void BerFree(BerElement* position) {
    ber_free(position, 0);
}

void MsgFree(Message* chain) {
    ldap_msgfree(chain);
}

void Unbind(Handle* handle) {
    ldap_unbind(handle);
}

}  // namespace zn::ldapapi
