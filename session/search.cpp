// Subtree searches with retries and fail-over, and the walk over their results.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

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
    TraceSearch(sink, searchBase, filter, attributes, code, entries, milliseconds);
}

void CZNDirectoryBase::TraceSearch(trace::TraceSink& sink, const char* searchBase,
                                   const char* filter, const char* const* attributes, long code,
                                   std::size_t entries, double milliseconds) {
    sink.OnSearch(
        {m_tracedServer.c_str(), searchBase, filter, attributes, code, entries, milliseconds});
}

void CZNDirectoryBase::ReleaseSearch() {
    m_searchResult.reset();
    m_connection.reset();
}

void CZNDirectoryBase::WalkSearchResult(const EntryVisitor& onEntry,
                                        const AttributeVisitor& onAttribute) {
    // Attributes are read in place, in the order sent, and handed on as C strings from
    // buffers kept across attributes and entries: asking for each attribute by name would
    // scan the entry again for each, and copy every value twice.
    struct Buffers {
        const AttributeVisitor& onAttribute;
        std::string name;
        std::vector<std::string> values;
        std::vector<char*> pointers;
    } buffers{onAttribute, {}, {}, {}};
    auto visit = [](void* context, ldapapi::ValueView name, const ldapapi::ValueView* values,
                    std::size_t count) {
        Buffers& into = *static_cast<Buffers*>(context);
        into.name.assign(name.data, name.length);
        if (into.values.size() < count) into.values.resize(count);
        into.pointers.clear();
        for (std::size_t i = 0; i < count; ++i) {
            into.values[i].assign(values[i].data, values[i].length);
            into.pointers.push_back(&into.values[i][0]);
        }
        into.pointers.push_back(nullptr);
        into.onAttribute(into.name.c_str(), into.pointers.data());
    };
    ldapapi::Handle* handle = m_connection.get();
    for (ldapapi::Message* entry = ldapapi::FirstEntry(handle, m_searchResult.get());
         entry != nullptr; entry = ldapapi::NextEntry(handle, entry)) {
        if (onEntry) {
            LdapString dn(ldapapi::GetDn(handle, entry));
            onEntry(dn.get());
        }
        ldapapi::VisitValues(handle, entry, visit, &buffers);
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

bool CZNDirectoryBase::StreamSearch(const char* filter, const char* const* attributes,
                                    const EntryVisitor& onEntry,
                                    const AttributeVisitor& onAttribute) {
    m_lastSearchFailed = true;
    long connectionCounter = kFirstServerNumber;
    m_connection = ConnectToServer(connectionCounter);
    if (!m_connection) {
        SetErrorStatusCode(status::kNoServer);
        AppendErrorStatusText(kNoConnectionText, false);
        return false;
    }
    struct ReleaseOnExit {
        CZNDirectoryBase& base;
        ~ReleaseOnExit() { base.ReleaseSearch(); }
    } release{*this};
    trace::TraceSink* sink = trace::Sink();
    const auto started = std::chrono::steady_clock::now();
    ldapapi::Handle* handle = m_connection.get();
    const char* base = OrganizationBaseDN();
    long code = ldapapi::kSuccess;
    long messageId = ldapapi::SearchExt(handle, base, ldapapi::kScopeSubtree, filter, attributes,
                                        SearchTimeOut(), code);
    std::size_t entries = 0;
    while (messageId >= 0) {
        // Each message is awaited at most the search time-out: a server that stops sending
        // part way cannot hold the caller.
        ldapapi::Message* message = nullptr;
        const long type =
            ldapapi::Result(handle, messageId, ldapapi::kMsgOne, SearchTimeOut(), &message);
        if (type == 0) {
            ldapapi::Abandon(handle, messageId);
            code = ldapapi::kTimeout;
            break;
        }
        if (type < 0) {
            if (!ldapapi::GetLastError(handle, code) || code == ldapapi::kSuccess) {
                code = ldapapi::kServerDown;
            }
            break;
        }
        if (type == ldapapi::kResSearchResult) {
            code = ldapapi::Result2Error(handle, message);
            break;
        }
        // One entry at a time, let go before the next arrives.
        m_searchResult.reset(message);
        if (type == ldapapi::kResSearchEntry) {
            WalkSearchResult(onEntry, onAttribute);
            ++entries;
        }
        m_searchResult.reset();
    }
    if (sink != nullptr) {
        TraceSearch(*sink, base, filter, attributes, code, entries,
                    trace::MillisecondsSince(started));
    }
    if (code == ldapapi::kTimeout) {
        SetErrorStatus(status::kDirectoryTimeout, kTimeoutText);
    } else if (code != ldapapi::kSuccess) {
        SetErrorStatus(status::kLdapError, FormatText(kLdapErrorFormat, code));
    }
    m_lastSearchFailed = code != ldapapi::kSuccess;
    return !m_lastSearchFailed;
}

}  // namespace zn
