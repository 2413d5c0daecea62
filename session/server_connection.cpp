// Choosing a directory server, binding to it within the connect time-out, and proving a
// user's password by binding as the user.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/system.h"
#include "session/directory_base.h"
#include "session/format.h"
#include "session/status_codes.h"
#include "session/tls_settings.h"
#include "session/trace.h"

namespace zn {
namespace {

constexpr long kHighestServerNumber = 5;
constexpr std::size_t kHostNameBufferSize = 256;
constexpr std::size_t kPasswordBufferSize = 128;
constexpr const char* kHostNameCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._";

constexpr const char* kUserNameInvalid = "Specified username is not valid.";
constexpr const char* kPasswordInvalid = "Specified password is not valid.";
constexpr const char* kCombinationInvalid = "Username/Password combination is not valid.";
constexpr const char* kTlsFailedFormat = "Directory TLS (%s) with %s:%d failed: %s%s.";
constexpr const char* kTlsSettingsFormat =
    "Directory TLS settings cannot be used: %s; no connection was made.";
constexpr const char* kCaFileFormat = " (CA file %s)";
constexpr const char* kPlainTransport = "plain";
constexpr const char* kSecuredFormat = "%s to %s:%d, certificate %s";
constexpr const char* kNotSecuredFormat = "%s to %s:%d failed: %s";
constexpr const char* kUnreachableFormat = "%s to %s:%d, not connected";

const char* TransportName(ldapapi::Transport transport) {
    return transport == ldapapi::Transport::kLdaps ? "ldaps" : "starttls";
}

ldapapi::TlsOptions OptionsOf(const TlsSettings& settings) {
    return {settings.directory == DirectoryTls::kLdaps ? ldapapi::Transport::kLdaps
                                                       : ldapapi::Transport::kStartTls,
            settings.caFile.c_str(), settings.verify};
}

// " (CA file PATH)" for the texts of failures, empty when libldap's own default is used.
std::string CaFileNote(const TlsSettings& settings) {
    return settings.caFile.empty() ? std::string()
                                   : FormatText(kCaFileFormat, settings.caFile.c_str());
}

// Codes after which the next server number is tried.
bool IsRetryable(long code) {
    return code == ldapapi::kTimeout || code == ldapapi::kServerDown ||
           code == ldapapi::kConnectError || code == ldapapi::kLocalError ||
           code == ldapapi::kUnavailable;
}

}  // namespace

bool CZNDirectoryBase::BuildHostName(long serverNumber, std::string& hostName) const {
    const char* separator = "";
    if (!m_domain.empty() && std::isdigit(static_cast<unsigned char>(m_domain.back()))) {
        separator = "-";
    }
    char buffer[kHostNameBufferSize];
    int length = std::snprintf(buffer, sizeof buffer, "ldap%s%s%ld", m_domain.c_str(), separator,
                               serverNumber);
    // The LDAP libraries read blanks as host-list separators and a colon as a port, so a
    // domain holding them would redirect the connection; such a name is never tried.
    bool usable = length >= 0 && static_cast<std::size_t>(length) < sizeof buffer &&
                  std::strspn(buffer, kHostNameCharacters) == static_cast<std::size_t>(length);
    if (!usable) {
        hostName.clear();
        return false;
    }
    hostName.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

void CZNDirectoryBase::ReadLastError(ldapapi::Handle* handle) {
    long code = 0;
    if (!ldapapi::GetLastError(handle, code)) {
        code = ldapapi::kOperationsError;
    } else if (code == ldapapi::kSuccess) {
        // Failure was reported without a reason; never let it pass for a successful bind.
        code = ldapapi::kUnavailable;
    }
    m_ldapResultCode = code;
}

void CZNDirectoryBase::AwaitBind(ldapapi::Handle* handle, long messageId) {
    ldapapi::Message* message = nullptr;
    long outcome = ldapapi::Result(handle, messageId, ldapapi::kMsgAll, ConnectTimeOut(), &message);
    if (outcome == 0) {
        // Only whole seconds pause; the microseconds bound the waits alone.
        platform::Sleep(static_cast<unsigned long>(std::max(0L, m_connectTimeOutSeconds)) * 1000UL);
        outcome = ldapapi::Result(handle, messageId, ldapapi::kMsgAll, ConnectTimeOut(), &message);
    }
    if (outcome == 0) {
        ldapapi::Abandon(handle, messageId);
        m_ldapResultCode = ldapapi::kUnavailable;
    } else if (outcome == -1) {
        ReadLastError(handle);
    } else {
        m_ldapResultCode = ldapapi::Result2Error(handle, message);
    }
}

LdapConnection CZNDirectoryBase::OpenServerSession(const char* hostName) {
    return OpenServerSessionAs(hostName, nullptr, nullptr);
}

LdapConnection CZNDirectoryBase::OpenServerSessionAs(const char* hostName, const char* bindDN,
                                                     const char* password) {
    m_tlsFailureCode = 0;
    const TlsSettings settings = LoadTlsSettings();
    if (!SettingsUsable(settings)) return nullptr;
    return Attempt(hostName, bindDN, password, settings);
}

bool CZNDirectoryBase::SettingsUsable(const TlsSettings& settings) {
    if (settings.error.empty()) return true;
    m_ldapResultCode = ldapapi::kLocalError;
    AppendErrorStatusText(ldapapi::Err2String(m_ldapResultCode), true);
    RecordTlsFailure(status::kTlsSettingsInvalid,
                     FormatText(kTlsSettingsFormat, settings.error.c_str()));
    return false;
}

void CZNDirectoryBase::RecordTlsFailure(long code, const std::string& text) {
    if (m_tlsFailureCode == 0) {
        m_tlsFailureCode = code;
        m_tlsFailureText = text;
    }
}

bool CZNDirectoryBase::ReportTlsFailure() {
    if (m_tlsFailureCode == 0) return false;
    SetErrorStatus(m_tlsFailureCode, m_tlsFailureText);
    return true;
}

bool CZNDirectoryBase::Secure(ldapapi::Handle* handle, const char* hostName,
                              const TlsSettings& settings, std::string& transport) {
    const ldapapi::TlsOptions options = OptionsOf(settings);
    const char* name = TransportName(options.transport);
    const int port = options.transport == ldapapi::Transport::kLdaps ? ldapapi::kLdapsPort
                                                                     : ldapapi::kDefaultPort;
    long code = ldapapi::kLocalError;
    const char* detail = nullptr;
    switch (ldapapi::StartTls(handle, options, ConnectTimeOut(), code, detail)) {
        case ldapapi::TlsOutcome::kSecured:
            transport = FormatText(kSecuredFormat, name, hostName, port,
                                   settings.verify ? "verified" : "not checked");
            return true;
        case ldapapi::TlsOutcome::kUnreachable:
            // As a plain attempt that found no server: the next one is tried.
            m_ldapResultCode = code == ldapapi::kSuccess ? ldapapi::kUnavailable : code;
            transport = FormatText(kUnreachableFormat, name, hostName, port);
            return false;
        case ldapapi::TlsOutcome::kUnusable:
            m_ldapResultCode = ldapapi::kLocalError;
            RecordTlsFailure(
                status::kTlsSettingsInvalid,
                FormatText(kTlsSettingsFormat, (detail + CaFileNote(settings)).c_str()));
            transport = FormatText(kNotSecuredFormat, name, hostName, port, detail);
            return false;
        case ldapapi::TlsOutcome::kNotSecured:
            break;
    }
    // Another server may hold a certificate that verifies, so the loop goes on; nothing was
    // sent to this one, and if none is left the status names it rather than "no server".
    m_ldapResultCode = ldapapi::kConnectError;
    RecordTlsFailure(status::kTlsFailed, FormatText(kTlsFailedFormat, name, hostName, port, detail,
                                                    CaFileNote(settings).c_str()));
    transport = FormatText(kNotSecuredFormat, name, hostName, port, detail);
    return false;
}

LdapConnection CZNDirectoryBase::Attempt(const char* hostName, const char* bindDN,
                                         const char* password, const TlsSettings& settings) {
    trace::TraceSink* sink = trace::Sink();
    const auto started = sink != nullptr ? std::chrono::steady_clock::now()
                                         : std::chrono::steady_clock::time_point();
    const bool tls = settings.directory != DirectoryTls::kOff;
    std::string transport = tls ? std::string() : kPlainTransport;
    LdapConnection connection;
    if (hostName != nullptr) {
        if (tls) {
            connection.reset(ldapapi::InitTls(hostName, OptionsOf(settings)));
        } else {
            connection.reset(ldapapi::Init(hostName, ldapapi::kDefaultPort));
        }
    }
    if (!connection) {
        m_ldapResultCode = ldapapi::kUnavailable;
    } else if (ldapapi::SetProtocolVersion3(connection.get()) != 0) {
        ReadLastError(connection.get());
    } else {
        ldapapi::BoundConnectWait(connection.get(), ConnectTimeOut());
        // With TLS asked for, nothing, not even an anonymous bind, goes out before TLS is up.
        if (!tls || Secure(connection.get(), hostName, settings, transport)) {
            long messageId =
                ldapapi::Bind(connection.get(), bindDN, password, ldapapi::kAuthSimple);
            if (messageId == -1) {
                ReadLastError(connection.get());
            } else {
                AwaitBind(connection.get(), messageId);
            }
        }
    }
    AppendErrorStatusText(ldapapi::Err2String(m_ldapResultCode), true);
    if (sink != nullptr) {
        m_tracedServer = hostName != nullptr ? hostName : "";
        sink->OnBind({m_tracedServer.c_str(), bindDN, m_ldapResultCode,
                      trace::MillisecondsSince(started), transport.c_str()});
    }
    return connection;
}

LdapConnection CZNDirectoryBase::ConnectToServer(long& connectionCounter) {
    m_tlsFailureCode = 0;
    const TlsSettings settings = LoadTlsSettings();
    if (!SettingsUsable(settings)) return nullptr;
    LdapConnection connection;
    std::string hostName;
    do {
        connection =
            Attempt(BuildHostName(connectionCounter, hostName) ? hostName.c_str() : nullptr,
                    nullptr, nullptr, settings);
        --connectionCounter;
        if (connection && !IsRetryable(m_ldapResultCode)) {
            return connection;
        }
        connection.reset();
    } while (connectionCounter > 0);
    // A handle whose every bind failed is no connection: returning it would only turn the
    // outage into a failed search instead of "no server available".
    return nullptr;
}

LdapConnection CZNDirectoryBase::ConnectToServerAs(const char* bindDN, const char* password) {
    m_tlsFailureCode = 0;
    const TlsSettings settings = LoadTlsSettings();
    if (!SettingsUsable(settings)) return nullptr;
    std::string hostName;
    for (long number = kHighestServerNumber; number >= 1; --number) {
        LdapConnection connection =
            Attempt(BuildHostName(number, hostName) ? hostName.c_str() : nullptr, bindDN, password,
                    settings);
        if (connection && !IsRetryable(m_ldapResultCode)) {
            return connection;
        }
    }
    return nullptr;
}

long CZNDirectoryBase::AuthenticateUser(const std::string& userDN, const std::string& password) {
    if (userDN.empty()) {
        SetErrorStatus(status::kInvalidUserName, kUserNameInvalid);
        return 0;
    }
    if (password.empty() || password.size() >= kPasswordBufferSize) {
        SetErrorStatus(status::kInvalidPassword, kPasswordInvalid);
        return 0;
    }
    char buffer[kPasswordBufferSize] = {};
    std::memcpy(buffer, password.data(), password.size());
    ForgetPassword();

    long result = 0;
    m_connection = ConnectToServerAs(userDN.c_str(), buffer);
    if (m_connection && m_ldapResultCode == ldapapi::kInvalidCredentials) {
        // Some accounts were given their password in lower case; a second pass accepts
        // those from users who type it with capitals.
        m_connection.reset();
        LowerCase(buffer);
        m_connection = ConnectToServerAs(userDN.c_str(), buffer);
        if (m_connection && m_ldapResultCode == ldapapi::kInvalidCredentials) {
            SetErrorStatus(status::kInvalidCredentials, kCombinationInvalid);
            m_connection.reset();
            platform::SecureZero(buffer, sizeof buffer);
            return 0;
        }
    }
    if (m_connection && m_ldapResultCode == ldapapi::kSuccess) {
        m_password = buffer;
        result = 1;
    } else if (m_connection || !ReportTlsFailure()) {
        // An outage (no server took the bind) and any other bind result alike: the text
        // already holds the LDAP library's description of the last attempt.
        SetErrorStatusCode(status::kLdapError);
    }
    m_connection.reset();
    platform::SecureZero(buffer, sizeof buffer);
    return result;
}

}  // namespace zn
