// Choosing a directory server, binding to it within the connect time-out, and proving a
// user's password by binding as the user.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/system.h"
#include "session/directory_base.h"
#include "session/status_codes.h"
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
    trace::TraceSink* sink = trace::Sink();
    const auto started = sink != nullptr ? std::chrono::steady_clock::now()
                                         : std::chrono::steady_clock::time_point();
    LdapConnection connection(hostName != nullptr ? ldapapi::Init(hostName, ldapapi::kDefaultPort)
                                                  : nullptr);
    if (!connection) {
        m_ldapResultCode = ldapapi::kUnavailable;
    } else if (ldapapi::SetProtocolVersion3(connection.get()) != 0) {
        ReadLastError(connection.get());
    } else {
        ldapapi::BoundConnectWait(connection.get(), ConnectTimeOut());
        long messageId = ldapapi::Bind(connection.get(), bindDN, password, ldapapi::kAuthSimple);
        if (messageId == -1) {
            ReadLastError(connection.get());
        } else {
            AwaitBind(connection.get(), messageId);
        }
    }
    AppendErrorStatusText(ldapapi::Err2String(m_ldapResultCode), true);
    if (sink != nullptr) {
        m_tracedServer = hostName != nullptr ? hostName : "";
        sink->OnBind(
            {m_tracedServer.c_str(), bindDN, m_ldapResultCode, trace::MillisecondsSince(started)});
    }
    return connection;
}

LdapConnection CZNDirectoryBase::ConnectToServer(long& connectionCounter) {
    LdapConnection connection;
    std::string hostName;
    do {
        connection = BuildHostName(connectionCounter, hostName)
                         ? OpenServerSession(hostName.c_str())
                         : OpenServerSession(nullptr);
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
    std::string hostName;
    for (long number = kHighestServerNumber; number >= 1; --number) {
        LdapConnection connection = BuildHostName(number, hostName)
                                        ? OpenServerSessionAs(hostName.c_str(), bindDN, password)
                                        : OpenServerSessionAs(nullptr, bindDN, password);
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
    } else {
        // An outage (no server took the bind) and any other bind result alike: the text
        // already holds the LDAP library's description of the last attempt.
        SetErrorStatusCode(status::kLdapError);
    }
    m_connection.reset();
    platform::SecureZero(buffer, sizeof buffer);
    return result;
}

}  // namespace zn
