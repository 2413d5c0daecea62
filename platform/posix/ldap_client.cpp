// OpenLDAP back end of the LDAP client layer.
#define LDAP_DEPRECATED 1
#include "platform/ldap_client.h"
#include "platform/posix/sigpipe_guard.h"

#include <lber.h>
#include <ldap.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <climits>
#include <mutex>
#include <string>
#include <vector>

namespace zn::ldapapi {

using platform::SigpipeGuard;
namespace {

constexpr long kMicrosecondsPerSecond = 1000000;

// OpenLDAP reads a negative time-value as "no limit", yet every wait of ours must end: a
// negative part counts as zero. Whole seconds held in the microseconds carry over.
timeval ToTimeval(TimeValue value) {
    timeval tv{};
    long seconds = value.seconds > 0 ? value.seconds : 0;
    long microseconds = value.microseconds > 0 ? value.microseconds : 0;
    long carried = microseconds / kMicrosecondsPerSecond;
    seconds = seconds > LONG_MAX - carried ? LONG_MAX : seconds + carried;
    tv.tv_sec = static_cast<time_t>(seconds);
    tv.tv_usec = static_cast<suseconds_t>(microseconds % kMicrosecondsPerSecond);
    return tv;
}

// Inverse of ClassicCode for the codes OpenLDAP keeps negative.
int NativeCode(long classicCode) {
    if (classicCode >= 81 && classicCode <= 97) {
        return static_cast<int>(80 - classicCode);
    }
    if (classicCode < INT_MIN || classicCode > INT_MAX) {
        return LDAP_OTHER;
    }
    return static_cast<int>(classicCode);
}

// Whether the transport connection of the TLS attempt on this thread was made: libldap reports
// a certificate it refused and a server it could not reach with the same code on an LDAPS
// connection, but calls this back in between. The attempt runs on the calling thread, so the
// flag needs no handle of its own.
thread_local bool t_transportConnected = false;

int OnTransportConnected(LDAP*, Sockbuf*, LDAPURLDesc*, sockaddr*, ldap_conncb*) {
    t_transportConnected = true;
    return 0;
}
void OnTransportClosed(LDAP*, Sockbuf*, ldap_conncb*) {}
// Shared by every handle and never released, so that a handle closed long after its attempt
// still finds it.
ldap_conncb g_transportWatch = {OnTransportConnected, OnTransportClosed, nullptr};

constexpr const char* kCaUnusable = "the CA file cannot be read";
constexpr const char* kNotVerified = "the server's certificate could not be verified";
constexpr const char* kHandshakeFailed = "the TLS handshake failed";
constexpr const char* kStartTlsRefused = "the server refused StartTLS";

// A TLS context made for one CA file and verification choice: libldap reads and parses the CA
// file into it, which costs 0.1 ms for one authority and about 16 ms for a system bundle of a
// hundred and more, so one context is made per choice and file version and shared by every
// later handle. A context replaced because its file changed is kept: libldap offers no public
// call to drop the reference taken on it, and a file changes seldom.
struct SharedContext {
    std::string caFile;
    bool verify;
    struct stat file;  // what the file was when the context read it
    void* context;
    bool current;
};

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::mutex& ContextsGuard() {
    static std::mutex* guard = new std::mutex();
    return *guard;
}
std::vector<SharedContext>& Contexts() {
    // Never destroyed: a thread may still connect while the process exits.
    static auto* contexts = new std::vector<SharedContext>();
    return *contexts;
}

// Gives the handle a TLS context of its own choice of CA and verification, so that neither
// leaks into other connections of the process (libldap's global context is shared with the
// application); the verification is set on the handle too, which checks the host name by it.
bool ApplyTlsOptions(Handle* handle, const TlsOptions& options) {
    int demand = options.verify ? LDAP_OPT_X_TLS_DEMAND : LDAP_OPT_X_TLS_NEVER;
    if (ldap_set_option(handle, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand) != LDAP_OPT_SUCCESS) {
        return false;
    }
    const std::string caFile = options.caFile != nullptr ? options.caFile : "";
    struct stat file {};
    if (!caFile.empty() && stat(caFile.c_str(), &file) != 0) return false;
    const std::lock_guard<std::mutex> lock(ContextsGuard());
    for (SharedContext& shared : Contexts()) {
        if (shared.current && shared.caFile == caFile && shared.verify == options.verify) {
            if (SameFile(shared.file, file)) {
                return ldap_set_option(handle, LDAP_OPT_X_TLS_CTX, shared.context) ==
                       LDAP_OPT_SUCCESS;
            }
            shared.current = false;  // the file changed; see above
        }
    }
    int server = 0;
    void* context = nullptr;
    if ((!caFile.empty() &&
         ldap_set_option(handle, LDAP_OPT_X_TLS_CACERTFILE, caFile.c_str()) != LDAP_OPT_SUCCESS) ||
        ldap_set_option(handle, LDAP_OPT_X_TLS_NEWCTX, &server) != LDAP_OPT_SUCCESS ||
        ldap_get_option(handle, LDAP_OPT_X_TLS_CTX, &context) != LDAP_OPT_SUCCESS ||
        context == nullptr) {
        return false;
    }
    Contexts().push_back({caFile, options.verify, file, context, true});
    return true;
}

}  // namespace

Handle* InitTls(const char* host, const TlsOptions& options) {
    const bool ldaps = options.transport == Transport::kLdaps;
    std::string url = std::string(ldaps ? "ldaps://" : "ldap://") + host + ":" +
                      std::to_string(ldaps ? kLdapsPort : kDefaultPort);
    LDAP* handle = nullptr;
    if (ldap_initialize(&handle, url.c_str()) != LDAP_SUCCESS) {
        return nullptr;
    }
    return handle;
}

TlsOutcome StartTls(Handle* handle, const TlsOptions& options, TimeValue timeout, long& code,
                    const char*& detail) {
    detail = nullptr;
    if (!ApplyTlsOptions(handle, options) ||
        ldap_set_option(handle, LDAP_OPT_CONNECT_CB, &g_transportWatch) != LDAP_OPT_SUCCESS) {
        code = kLocalError;
        detail = kCaUnusable;
        return TlsOutcome::kUnusable;
    }
    t_transportConnected = false;
    int rc = LDAP_SUCCESS;
    SigpipeGuard guard;
    if (options.transport == Transport::kLdaps) {
        rc = ldap_connect(handle);
    } else {
        // The StartTLS answer is awaited as long as a bind's: a server that accepts the
        // connection and stays silent must not hold the caller for ever.
        timeval tv = ToTimeval(timeout);
        if (tv.tv_sec <= 0 && tv.tv_usec <= 0) tv.tv_usec = 1000;
        ldap_set_option(handle, LDAP_OPT_TIMEOUT, &tv);
        rc = ldap_start_tls_s(handle, nullptr, nullptr);
        // Back to libldap's default, no limit: later waits carry time-outs of their own.
        ldap_set_option(handle, LDAP_OPT_TIMEOUT, nullptr);
    }
    if (rc == LDAP_SUCCESS) {
        return TlsOutcome::kSecured;
    }
    code = ClassicCode(rc);
    if (!t_transportConnected || rc == LDAP_TIMEOUT ||
        (rc == LDAP_SERVER_DOWN && options.transport == Transport::kStartTls)) {
        return TlsOutcome::kUnreachable;
    }
    if (rc > 0) {
        detail = kStartTlsRefused;
    } else {
        detail = options.verify ? kNotVerified : kHandshakeFailed;
    }
    return TlsOutcome::kNotSecured;
}

long ClassicCode(int nativeCode) {
    // OpenLDAP numbers its client-side failures -1 (server down) to -17 (referral limit);
    // the classic API numbers the same conditions 0x51 to 0x61 in that order.
    if (nativeCode >= LDAP_REFERRAL_LIMIT_EXCEEDED && nativeCode <= LDAP_SERVER_DOWN) {
        return 80L - nativeCode;
    }
    if (nativeCode < 0) {
        return 80;  // other OpenLDAP-only conditions (connecting, TLS…) have no classic number
    }
    return nativeCode;
}

Handle* Init(const char* host, int port) {
    return ldap_init(host, port);
}

long SetProtocolVersion3(Handle* handle) {
    int version = LDAP_VERSION3;
    return ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version) == LDAP_OPT_SUCCESS ? 0 : 1;
}

void BoundConnectWait(Handle* handle, TimeValue timeout) {
    timeval tv = ToTimeval(timeout);
    // A zero network time-out would let OpenLDAP give up on a connect to a server that is
    // answering, so the shortest bound is one millisecond.
    if (tv.tv_sec <= 0 && tv.tv_usec <= 0) {
        tv.tv_sec = 0;
        tv.tv_usec = 1000;
    }
    ldap_set_option(handle, LDAP_OPT_NETWORK_TIMEOUT, &tv);
}

bool GetLastError(Handle* handle, long& code) {
    int native = 0;
    if (ldap_get_option(handle, LDAP_OPT_RESULT_CODE, &native) != LDAP_OPT_SUCCESS) {
        return false;
    }
    code = ClassicCode(native);
    return true;
}

long Bind(Handle* handle, const char* dn, const char* password, int method) {
    SigpipeGuard guard;
    return ldap_bind(handle, dn, password, method);
}

long Result(Handle* handle, long messageId, int all, TimeValue timeout, Message** result) {
    timeval tv = ToTimeval(timeout);
    *result = nullptr;
    SigpipeGuard guard;
    return ldap_result(handle, static_cast<int>(messageId), all, &tv, result);
}

void Abandon(Handle* handle, long messageId) {
    SigpipeGuard guard;
    ldap_abandon_ext(handle, static_cast<int>(messageId), nullptr, nullptr);
}

long Result2Error(Handle* handle, Message* result) {
    return ClassicCode(ldap_result2error(handle, result, 1));
}

const char* Err2String(long code) {
    return ldap_err2string(NativeCode(code));
}

long SearchSt(Handle* handle, const char* base, int scope, const char* filter,
              const char* const* attributes, int attributesOnly, TimeValue timeout,
              Message** result) {
    timeval tv = ToTimeval(timeout);
    *result = nullptr;
    // OpenLDAP's prototype predates const correctness; it does not write to the list.
    SigpipeGuard guard;
    int rc = ldap_search_st(handle, base, scope, filter, const_cast<char**>(attributes),
                            attributesOnly, &tv, result);
    return ClassicCode(rc);
}

long SearchExt(Handle* handle, const char* base, int scope, const char* filter,
               const char* const* attributes, TimeValue timeLimit, long& code) {
    timeval tv = ToTimeval(timeLimit);
    int messageId = -1;
    SigpipeGuard guard;
    int rc = ldap_search_ext(handle, base, scope, filter, const_cast<char**>(attributes), 0,
                             nullptr, nullptr, &tv, LDAP_NO_LIMIT, &messageId);
    code = ClassicCode(rc);
    return rc == LDAP_SUCCESS ? messageId : -1;
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
    return ldap_get_values(handle, entry, attribute);
}

long CountValues(char** values) {
    return ldap_count_values(values);
}

void ValueFree(char** values) {
    ldap_value_free(values);
}

void VisitValues(Handle* handle, Message* entry, AttributeVisit visit, void* context) {
    // OpenLDAP reads attributes and values in place in the message, as ldapsearch does; only
    // the array of value descriptors is allocated, once per attribute.
    BerElement* position = nullptr;
    berval dn{0, nullptr};
    if (ldap_get_dn_ber(handle, entry, &position, &dn) != LDAP_SUCCESS) {
        if (position != nullptr) ber_free(position, 0);
        return;
    }
    std::vector<ValueView> views;
    for (;;) {
        berval name{0, nullptr};
        BerVarray values = nullptr;
        if (ldap_get_attribute_ber(handle, entry, position, &name, &values) != LDAP_SUCCESS ||
            name.bv_val == nullptr) {
            ldap_memfree(values);
            break;
        }
        views.clear();
        for (BerVarray value = values; value != nullptr && value->bv_val != nullptr; ++value) {
            views.push_back({value->bv_val, value->bv_len});
        }
        ldap_memfree(values);
        if (!views.empty()) visit(context, {name.bv_val, name.bv_len}, views.data(), views.size());
    }
    ber_free(position, 0);
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
    SigpipeGuard guard;
    ldap_unbind_ext(handle, nullptr, nullptr);
}

}  // namespace zn::ldapapi
