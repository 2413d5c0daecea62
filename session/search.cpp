// Subtree searches with retries and fail-over, and the walk over their results.
#include <cstdarg>
#include <cstdio>

#include "session/directory_base.h"
#include "session/format.h"
#include "session/status_codes.h"
#include "session/trace.h"

namespace zn {
namespace {

constexpr int kSearchTries = 5;
constexpr std::size_t kFilterBufferSize = 256;
constexpr long kFirstServerNumber = 5;

constexpr const char* kInvalidCriteriaFormat = "Invalid search criteria - %s";
constexpr const char* kTimeoutText = "Timeout encountered.";
constexpr const char* kLdapErrorFormat = "LDAP error %ld encountered.";
constexpr const char* kNoConnectionText = "No connection available to an LDAP server.";

// Codes that end the tries on one server: success, or a server that will not do better.
bool EndsTries(long code) {
    return code == ldapapi::kSuccess || code == ldapapi::kTimeout || code == ldapapi::kServerDown ||
           code == ldapapi::kLocalError || code == ldapapi::kUnavailable;
}

}  // namespace

long CZNDirectoryBase::SearchWithRetry(const char* searchBase, const char* filter,
                                       const char* const* attributes) {
    long code = ldapapi::kSuccess;
    trace::TraceSink* sink = trace::Sink();
    for (int tries = 1;; ++tries) {
        m_searchResult.reset();
        ldapapi::Message* chain = nullptr;
        const auto started = sink != nullptr ? std::chrono::steady_clock::now()
                                             : std::chrono::steady_clock::time_point();
        code = ldapapi::SearchSt(m_connection.get(), searchBase, ldapapi::kScopeSubtree, filter,
                                 attributes, 0, SearchTimeOut(), &chain);
        // A failed search may still hand back a partial chain; it is owned either way.
        m_searchResult.reset(chain);
        if (sink != nullptr) {
            TraceSearch(*sink, searchBase, filter, attributes, code,
                        trace::MillisecondsSince(started));
        }
        if (code == ldapapi::kFilterError) {
            SetErrorStatus(status::kInvalidFilter, FormatText(kInvalidCriteriaFormat, filter));
        } else if (code == ldapapi::kTimeout) {
            SetErrorStatus(status::kDirectoryTimeout, kTimeoutText);
        } else if (code != ldapapi::kSuccess) {
            SetErrorStatus(status::kLdapError, FormatText(kLdapErrorFormat, code));
        }
        if (EndsTries(code) || tries == kSearchTries) {
            return code;
        }
    }
}

long CZNDirectoryBase::ConnectAndSearch(const char* searchBase, const char* filter,
                                        const char* const* attributes) {
    long connectionCounter = kFirstServerNumber;
    long result = 1;
    do {
        m_connection = ConnectToServer(connectionCounter);
        if (!m_connection) {
            if (!ReportTlsFailure()) {
                SetErrorStatusCode(status::kNoServer);
                AppendErrorStatusText(kNoConnectionText, false);
            }
            return result;
        }
        result = SearchWithRetry(searchBase, filter, attributes);
        if (result == ldapapi::kTimeout) {
            SetErrorStatus(status::kDirectoryTimeout, kTimeoutText);
            ReleaseSearch();
        } else if (result != ldapapi::kSuccess) {
            SetErrorStatus(status::kLdapError, FormatText(kLdapErrorFormat, result));
            ReleaseSearch();
        }
    } while (result != ldapapi::kSuccess && connectionCounter > 0);
    return result;
}

bool CZNDirectoryBase::BuildFilter(std::string& filter, const char* format, ...) {
    char buffer[kFilterBufferSize];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        filter.assign(buffer, static_cast<std::size_t>(length));
        return true;
    }
    // Cut, the filter would ask for something else; it is refused and shown as far as the
    // buffer held it.
    filter.clear();
    m_lastSearchFailed = true;
    SetErrorStatus(status::kInvalidFilter,
                   FormatText(kInvalidCriteriaFormat, length < 0 ? format : buffer));
    return false;
}

void CZNDirectoryBase::TraceSearch(trace::TraceSink& sink, const char* searchBase,
                                   const char* filter, const char* const* attributes, long code,
                                   double milliseconds) {
    std::size_t entries = 0;
    ldapapi::Handle* handle = m_connection.get();
    for (ldapapi::Message* entry = ldapapi::FirstEntry(handle, m_searchResult.get());
         entry != nullptr; entry = ldapapi::NextEntry(handle, entry)) {
        ++entries;
    }
    sink.OnSearch(
        {m_tracedServer.c_str(), searchBase, filter, attributes, code, entries, milliseconds});
}

void CZNDirectoryBase::ReleaseSearch() {
    m_searchResult.reset();
    m_connection.reset();
}

void CZNDirectoryBase::WalkSearchResult(const EntryVisitor& onEntry,
                                        const AttributeVisitor& onAttribute) {
    ldapapi::Handle* handle = m_connection.get();
    for (ldapapi::Message* entry = ldapapi::FirstEntry(handle, m_searchResult.get());
         entry != nullptr; entry = ldapapi::NextEntry(handle, entry)) {
        if (onEntry) {
            LdapString dn(ldapapi::GetDn(handle, entry));
            onEntry(dn.get());
        }
        ldapapi::BerElement* rawPosition = nullptr;
        LdapString name(ldapapi::FirstAttribute(handle, entry, &rawPosition));
        LdapBerElement position(rawPosition);
        while (name) {
            {
                LdapValues values(ldapapi::GetValues(handle, entry, name.get()));
                onAttribute(name.get(), values.get());
            }
            name.reset(ldapapi::NextAttribute(handle, entry, position.get()));
        }
    }
}

bool CZNDirectoryBase::SearchAndWalk(const char* filter, const char* const* attributes,
                                     const EntryVisitor& onEntry,
                                     const AttributeVisitor& onAttribute) {
    m_lastSearchFailed =
        ConnectAndSearch(OrganizationBaseDN(), filter, attributes) != ldapapi::kSuccess;
    if (m_lastSearchFailed) {
        return false;
    }
    struct ReleaseOnExit {
        CZNDirectoryBase& base;
        ~ReleaseOnExit() { base.ReleaseSearch(); }
    } release{*this};
    WalkSearchResult(onEntry, onAttribute);
    return true;
}

}  // namespace zn
