// CZNDirectoryBase: the directory session state every group and worker object carries.
#pragma once

#include <functional>
#include <list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ldap_client.h"
#include "session/ldap_owners.h"

namespace zn {

class UsageSources;
struct TlsSettings;
namespace trace {
class TraceSink;
}

// The organization base DN every search runs under.
const char* OrganizationBaseDN();

inline constexpr long kStatusSuccess = 1;
inline constexpr long kDefaultAdministrationPort = 60660;

class CZNDirectoryBase {
  public:
    explicit CZNDirectoryBase(const char* domain = nullptr);
    virtual ~CZNDirectoryBase();

    // Never copied: a copied implementation object constructs its base afresh (no domain,
    // default time-outs, fresh status, empty usage caches).
    CZNDirectoryBase(const CZNDirectoryBase&) = delete;
    CZNDirectoryBase& operator=(const CZNDirectoryBase&) = delete;

    // Time-outs; none checks its arguments.
    void SetTimeOut(long seconds) { m_searchTimeOutSeconds = seconds; }
    long GetTimeOut() const { return m_searchTimeOutSeconds; }
    void SetConnectTimeOut(long seconds, long microSeconds);
    void SetSearchTimeOut(long seconds, long microSeconds);
    long GetConnectTimeOutSeconds() const { return m_connectTimeOutSeconds; }
    long GetConnectTimeOutMicroSeconds() const { return m_connectTimeOutMicroSeconds; }
    long GetSearchTimeOutSeconds() const { return m_searchTimeOutSeconds; }
    long GetSearchTimeOutMicroSeconds() const { return m_searchTimeOutMicroSeconds; }

    long SetDomainAndPort(const char* domain, long port);
    // Makes `helper` ask what this object would ask: the same domain, administration port
    // and time-outs, its usage reports sent as this object's (once per group name here).
    // A check that needs a list query runs it on a helper, so that no list the caller holds
    // from this object is rewritten by a question.
    void ConfigureHelper(CZNDirectoryBase& helper);
    // Takes `from`'s domain, administration port and time-outs, and nothing else.
    void CopySessionSettings(const CZNDirectoryBase& from);
    // True when `other` would ask the same servers with the same time-outs: one search may
    // then serve both.
    bool SameSessionAs(const CZNDirectoryBase& other) const;
    const std::string& GetDomain() const { return m_domain; }
    long GetAdministrationPort() const { return m_administrationPort; }
    const std::string& GetPassword() const { return m_password; }

    static void UpperCase(char* text);
    static void LowerCase(char* text);

    // Error and change status.
    void SetErrorStatusCode(long code) { m_errorStatusCode = code; }
    void AppendErrorStatusText(const std::string& text, bool replace);
    void SetChangeStatusCode(long code) { m_changeStatusCode = code; }
    void SetChangeStatusText(const std::string& text) { m_changeStatusText = text; }
    long GetErrorStatusCode() const { return m_errorStatusCode; }
    const std::string& GetErrorStatusText() const { return m_errorStatusText; }
    long GetChangeStatusCode() const { return m_changeStatusCode; }
    const std::string& GetChangeStatusText() const { return m_changeStatusText; }
    // Sets code and text, replacing the text: the usual way an operation reports.
    void SetErrorStatus(long code, const std::string& text);

    long GetLdapResultCode() const { return m_ldapResultCode; }
    long GetCredentialsVerified() const { return m_credentialsVerified; }
    void SetCredentialsVerified(long verified) { m_credentialsVerified = verified; }

    // Connection (one attempt, the server loops, password verification).
    LdapConnection OpenServerSession(const char* hostName);
    LdapConnection OpenServerSessionAs(const char* hostName, const char* bindDN,
                                       const char* password);
    LdapConnection ConnectToServer(long& connectionCounter);
    LdapConnection ConnectToServerAs(const char* bindDN, const char* password);
    long AuthenticateUser(const std::string& userDN, const std::string& password);
    // After a server loop that found no server: when TLS was why (settings that cannot be
    // used, a certificate that did not verify), sets the error status to say so, naming the
    // host, and returns true; otherwise leaves the status to the caller.
    bool ReportTlsFailure();

    // Builds "ldap" + domain + ("-" if the domain ends in a digit) + number; false when the
    // name would not fit the 256-byte host-name buffer or is no plain host name. A name that
    // cannot be built counts as an attempt that could not create a handle (code 52).
    bool BuildHostName(long serverNumber, std::string& hostName) const;

    // Search. On success the connection and the result chain stay open for the caller, who
    // releases them with ReleaseSearch(); on failure nothing is left open.
    long SearchWithRetry(const char* searchBase, const char* filter, const char* const* attributes);
    long ConnectAndSearch(const char* searchBase, const char* filter,
                          const char* const* attributes);
    void ReleaseSearch();

    // Formats a filter into the 256-character filter buffer, values already escaped by the
    // caller. A filter that would not fit is refused before any search: error status 30009
    // with the filter as far as it can be shown, and the refusal counts as a failed search.
    bool BuildFilter(std::string& filter, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    // Whether the last search failed (or its filter was refused). The error status code alone
    // cannot tell: a search that failed on one server and succeeded on the next keeps the
    // failure's code although its data are complete.
    bool LastSearchFailed() const {
        return m_lastSearchFailed;
    }

    // Extraction routines shared by the group and worker implementations; each leaves
    // nothing open when it returns.
    void CollectValues(const char* filter, const char* const* attributes,
                       std::list<std::string>& values);
    long CountValues(const char* filter, const char* const* attributes);
    long ReadFirstCharacter(const char* filter, const char* const* attributes);
    void CollectNames(const char* filter, const char* const* attributes,
                      std::list<std::string>& values, std::list<std::string>& names);
    static std::string NameFromDN(const char* value);
    static std::string NameFromDN(const char* value, std::size_t length);
    // The values found, or the names NameFromDN takes from them (values naming nobody left
    // out), sorted in byte order: what CollectValues or CollectNames followed by a sort give,
    // without keeping the values beside the result. The search result is released before
    // the sort, so a list of a hundred thousand members never holds both at once.
    void CollectSorted(const char* filter, const char* const* attributes,
                       std::vector<std::string>& sorted, bool namesFromDNs);

    // The directory's configuration entries, read the same way by groups and workers; each
    // uses the caller's value list.
    void ReadDomains(std::list<std::string>& values, std::list<std::string>& domains);
    long CheckDomain(const char* domain, std::list<std::string>& values);
    long LookUpDomainPort(const char* domain, std::list<std::string>& values);
    long SwitchDomain(const char* domain, std::list<std::string>& values);

    // Walks the result chain of a successful ConnectAndSearch: onEntry for each entry (its
    // DN, null if it has none), then onAttribute for each attribute the server sent with
    // its values (null if it has none). Values, names and DNs are released as it goes.
    using EntryVisitor = std::function<void(const char* dn)>;
    using AttributeVisitor = std::function<void(const char* name, char** values)>;
    void WalkSearchResult(const EntryVisitor& onEntry, const AttributeVisitor& onAttribute);

    // Sends the usage report for this object and group name, once per group name (trailing
    // line feeds aside). Never throws and never touches the error status: a report that
    // cannot be sent leaves one line on standard error.
    void SendUsageReport(const char* className, const char* functionName, const char* groupName);

  protected:
    // For a query whose answer rests on searches made by another object.
    void MarkSearchFailed() {
        m_lastSearchFailed = true;
    }
    // For a query that may end before searching: a failure of an earlier query is not its own.
    void ClearSearchFailed() {
        m_lastSearchFailed = false;
    }
    ldapapi::TimeValue ConnectTimeOut() const {
        return {m_connectTimeOutSeconds, m_connectTimeOutMicroSeconds};
    }
    ldapapi::TimeValue SearchTimeOut() const {
        return {m_searchTimeOutSeconds, m_searchTimeOutMicroSeconds};
    }
    // Searches under the organization base DN, walks the result and releases it; false if
    // the search failed (the error status then says why). Null attributes request all.
    bool SearchAndWalk(const char* filter, const char* const* attributes,
                       const EntryVisitor& onEntry, const AttributeVisitor& onAttribute);
    // SearchAndWalk for an answer too big to hold whole (every person of a company): each
    // entry is walked as it arrives and let go. One server, one try; false when the search
    // fails, part way included, and the caller must then forget what it was handed.
    bool StreamSearch(const char* filter, const char* const* attributes,
                      const EntryVisitor& onEntry, const AttributeVisitor& onAttribute);

  private:
    LdapConnection Attempt(const char* hostName, const char* bindDN, const char* password,
                           const TlsSettings& settings);
    // Starts TLS on a fresh handle; false when the attempt must end (the result code and,
    // for a TLS failure, the recorded failure say why). `transport` gets the trace's words.
    bool Secure(ldapapi::Handle* handle, const char* hostName, const TlsSettings& settings,
                std::string& transport);
    // Keeps the first TLS failure of a server loop for ReportTlsFailure.
    void RecordTlsFailure(long code, const std::string& text);
    bool SettingsUsable(const TlsSettings& settings);
    void ReadLastError(ldapapi::Handle* handle);
    void TraceSearch(trace::TraceSink& sink, const char* searchBase, const char* filter,
                     const char* const* attributes, long code, double milliseconds);
    void TraceSearch(trace::TraceSink& sink, const char* searchBase, const char* filter,
                     const char* const* attributes, long code, std::size_t entries,
                     double milliseconds);
    void AwaitBind(ldapapi::Handle* handle, long messageId);
    void ForgetPassword();
    void LoadUsageModuleInformation(const UsageSources& sources);

    // Members in the order of the directory session's data model.
    LdapConnection m_connection;
    LdapMessageChain m_searchResult;
    long m_connectTimeOutSeconds = 5;
    long m_connectTimeOutMicroSeconds = 0;
    long m_searchTimeOutSeconds = 120;
    long m_searchTimeOutMicroSeconds = 0;
    long m_credentialsVerified = 0;
    long m_ldapResultCode = 0;
    long m_errorStatusCode = kStatusSuccess;
    long m_changeStatusCode = kStatusSuccess;
    std::string m_errorStatusText;
    std::string m_changeStatusText;
    std::string m_domain;
    std::string m_password;
    long m_administrationPort = kDefaultAdministrationPort;
    bool m_lastSearchFailed = false;
    // Set on a helper object: the object whose usage reports it sends.
    CZNDirectoryBase* m_reportsFor = nullptr;
    // The server of the open connection, kept only while a trace sink is installed.
    std::string m_tracedServer;
    // The first TLS failure of the current server loop: its status code (0: none) and text.
    long m_tlsFailureCode = 0;
    std::string m_tlsFailureText;

  protected:
    // Usage-report caches, filled by the object's first usage report.
    std::string m_applicationName;
    std::string m_applicationVersion;
    std::string m_libraryFileName;
    std::string m_libraryVersion;
    std::string m_machineName;
    std::string m_applicationPath;
    std::string m_libraryPath;
    std::set<std::string> m_reportedNames;
    std::pair<std::set<std::string>::iterator, bool> m_lastInsertion;
};

}  // namespace zn
