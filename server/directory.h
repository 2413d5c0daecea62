// The administration server's one privileged connection to its domain's provider.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "server/changes.h"

typedef struct ldap LDAP;

namespace zn::server {

// One entry as read: its DN and the values of the attributes asked for, by lower-case name.
struct Entry {
    std::string dn;
    std::map<std::string, std::vector<std::string>> values;
    const std::vector<std::string>& Values(const std::string& lowerCaseName) const;
};

// A DN in one spelling for comparisons: RFC 4514 form, lower case.
std::string NormalDN(const std::string& dn);
// The value escaped for use as an RDN value (RFC 4514).
std::string EscapeDNValue(const std::string& value);

class Directory {
  public:
    explicit Directory(DirectorySettings settings);
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // Each returns the LDAP result code. A connection that broke is opened again once and
    // the operation repeated, so every caller's operation must be safe to repeat.
    int Search(const std::string& base, bool subtree, const std::string& filter,
               const std::vector<std::string>& attributes, std::vector<Entry>& entries);
    // Several searches sent at once and answered side by side: one round trip instead of
    // one each. Returns the first failure's code; each query keeps its own.
    struct Query {
        std::string base;
        bool subtree = true;
        std::string filter;
        std::vector<std::string> attributes;
        std::vector<Entry> entries;
        int code = 0;
    };
    int SearchAll(std::vector<Query>& queries);
    // LDAP_MOD_ADD, LDAP_MOD_DELETE or LDAP_MOD_REPLACE of `values` (none: the whole
    // attribute, for delete and replace).
    int Modify(const std::string& dn, int operation, const std::string& attribute,
               const std::vector<std::string>& values);
    // Several modifications of one entry in one operation.
    struct Change {
        int operation;
        std::string attribute;
        std::vector<std::string> values;
    };
    int Modify(const std::string& dn, const std::vector<Change>& changes);
    int Add(const std::string& dn, const std::vector<Change>& attributes);
    int Delete(const std::string& dn);
    int Rename(const std::string& dn, const std::string& newRdn);

    const std::string& BaseDN() const { return m_settings.baseDN; }
    // What the last failed operation said: the result's description and the server's text.
    const std::string& LastError() const { return m_lastError; }
    // The result code of the last operation.
    int LastCode() const { return m_lastCode; }
    // Values sent in modifications and new entries (an entry deleted or renamed counts as
    // one) since the last call.
    std::size_t TakeValuesWritten();

  private:
    struct Closer {
        void operator()(LDAP* ld) const;
    };
    bool Connect();
    template <typename Operation>
    int Run(Operation operation);

    DirectorySettings m_settings;
    std::unique_ptr<LDAP, Closer> m_ld;
    std::string m_lastError;
    int m_lastCode = 0;
    std::size_t m_valuesWritten = 0;
};

// True for codes after which the server may not have seen the operation at all.
bool IsConnectionFailure(int code);

}  // namespace zn::server
