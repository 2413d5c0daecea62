// The administration server's one privileged connection to its domain's provider.
#include "server/directory.h"
#include "server/text.h"

#include <ldap.h>

#include <algorithm>
#include <cctype>

namespace zn::server {
namespace {

struct MessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

// The value arrays libldap takes, pointing into strings that outlive the call.
class ModList {
  public:
    explicit ModList(const std::vector<Directory::Change>& changes) {
        m_mods.resize(changes.size());
        m_values.resize(changes.size());
        for (std::size_t i = 0; i < changes.size(); ++i) {
            for (const std::string& value : changes[i].values) {
                m_values[i].push_back(const_cast<char*>(value.c_str()));
            }
            m_values[i].push_back(nullptr);
            m_mods[i].mod_op = changes[i].operation;
            m_mods[i].mod_type = const_cast<char*>(changes[i].attribute.c_str());
            m_mods[i].mod_values = changes[i].values.empty() ? nullptr : m_values[i].data();
            m_pointers.push_back(&m_mods[i]);
        }
        m_pointers.push_back(nullptr);
    }
    LDAPMod** Get() { return m_pointers.data(); }

  private:
    std::vector<LDAPMod> m_mods;
    std::vector<std::vector<char*>> m_values;
    std::vector<LDAPMod*> m_pointers;
};


}  // namespace

const std::vector<std::string>& Entry::Values(const std::string& lowerCaseName) const {
    static const std::vector<std::string> none;
    auto found = values.find(lowerCaseName);
    return found != values.end() ? found->second : none;
}

std::string NormalDN(const std::string& dn) {
    LDAPDN parsed = nullptr;
    std::string result = dn;
    if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) == LDAP_SUCCESS) {
        char* text = nullptr;
        if (ldap_dn2str(parsed, &text, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS && text != nullptr) {
            result = text;
        }
        ldap_memfree(text);
        ldap_dnfree(parsed);
    }
    return Lower(result);
}

std::string EscapeDNValue(const std::string& value) {
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        bool special = std::string(",+\"\\<>;=").find(c) != std::string::npos ||
                       (i == 0 && (c == '#' || c == ' ')) || (i + 1 == value.size() && c == ' ');
        if (c == '\0') {
            escaped += "\\00";
        } else {
            if (special) escaped += '\\';
            escaped += c;
        }
    }
    return escaped;
}

bool IsConnectionFailure(int code) {
    return code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR || code == LDAP_TIMEOUT ||
           code == LDAP_UNAVAILABLE || code == LDAP_BUSY;
}

void Directory::Closer::operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }

Directory::Directory(DirectorySettings settings) : m_settings(std::move(settings)) {}
Directory::~Directory() = default;

bool Directory::Connect() {
    LDAP* raw = nullptr;
    int rc = ldap_initialize(&raw, m_settings.uri.c_str());
    if (rc != LDAP_SUCCESS || raw == nullptr) {
        m_lastError = std::string(ldap_err2string(rc)) + " (" + m_settings.uri + ")";
        return false;
    }
    std::unique_ptr<LDAP, Closer> ld(raw);
    int version = LDAP_VERSION3;
    ldap_set_option(raw, LDAP_OPT_PROTOCOL_VERSION, &version);
    timeval bound{m_settings.timeoutMilliseconds / 1000, (m_settings.timeoutMilliseconds % 1000) * 1000};
    ldap_set_option(raw, LDAP_OPT_NETWORK_TIMEOUT, &bound);
    ldap_set_option(raw, LDAP_OPT_TIMEOUT, &bound);
    ldap_set_option(raw, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    berval password{m_settings.password.size(), const_cast<char*>(m_settings.password.c_str())};
    rc = ldap_sasl_bind_s(raw, m_settings.bindDN.c_str(), LDAP_SASL_SIMPLE, &password, nullptr,
                          nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        m_lastError = std::string(ldap_err2string(rc)) + " (binding as " + m_settings.bindDN + ")";
        return false;
    }
    m_ld = std::move(ld);
    return true;
}

template <typename Operation>
int Directory::Run(Operation operation) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_ld && !Connect()) {
            return m_lastCode = LDAP_SERVER_DOWN;
        }
        int rc = operation(m_ld.get());
        m_lastCode = rc;
        if (rc == LDAP_SUCCESS) {
            return rc;
        }
        char* diagnostic = nullptr;
        ldap_get_option(m_ld.get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic);
        m_lastError = ldap_err2string(rc);
        if (diagnostic != nullptr && *diagnostic != '\0') {
            m_lastError += std::string(" (") + diagnostic + ")";
        }
        ldap_memfree(diagnostic);
        if (!IsConnectionFailure(rc)) {
            return rc;
        }
        m_ld.reset();
    }
    return m_lastCode = LDAP_SERVER_DOWN;
}

namespace {

// The entries of a search result, with the values of `attributes`.
std::vector<Entry> ReadEntries(LDAP* ld, LDAPMessage* result, const std::vector<std::string>& attributes) {
    std::vector<Entry> entries;
    for (LDAPMessage* e = ldap_first_entry(ld, result); e != nullptr; e = ldap_next_entry(ld, e)) {
        Entry entry;
        char* dn = ldap_get_dn(ld, e);
        entry.dn = dn != nullptr ? dn : "";
        ldap_memfree(dn);
        for (const std::string& name : attributes) {
            berval** values = ldap_get_values_len(ld, e, name.c_str());
            std::vector<std::string>& into = entry.values[Lower(name)];
            for (int i = 0; values != nullptr && values[i] != nullptr; ++i) {
                into.emplace_back(values[i]->bv_val, values[i]->bv_len);
            }
            ldap_value_free_len(values);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// A base search of an entry that is not there finds nothing; it is no failure.
int SearchOutcome(int rc, bool subtree) {
    return rc == LDAP_NO_SUCH_OBJECT && !subtree ? LDAP_SUCCESS : rc;
}

}  // namespace

int Directory::Search(const std::string& base, bool subtree, const std::string& filter,
                      const std::vector<std::string>& attributes, std::vector<Entry>& entries) {
    std::vector<Query> one(1);
    one[0].base = base;
    one[0].subtree = subtree;
    one[0].filter = filter;
    one[0].attributes = attributes;
    int rc = SearchAll(one);
    entries = std::move(one[0].entries);
    return rc;
}

int Directory::SearchAll(std::vector<Query>& queries) {
    return Run([&](LDAP* ld) {
        timeval bound{m_settings.timeoutMilliseconds / 1000,
                      (m_settings.timeoutMilliseconds % 1000) * 1000};
        std::vector<int> ids(queries.size(), -1);
        int first = LDAP_SUCCESS;
        for (std::size_t i = 0; i < queries.size(); ++i) {
            Query& q = queries[i];
            q.entries.clear();
            std::vector<char*> names;
            for (const std::string& name : q.attributes) names.push_back(const_cast<char*>(name.c_str()));
            names.push_back(nullptr);
            q.code = ldap_search_ext(ld, q.base.c_str(), q.subtree ? LDAP_SCOPE_SUBTREE : LDAP_SCOPE_BASE,
                                     q.filter.c_str(), names.data(), 0, nullptr, nullptr, &bound,
                                     LDAP_NO_LIMIT, &ids[i]);
            if (q.code != LDAP_SUCCESS && first == LDAP_SUCCESS) first = q.code;
        }
        for (std::size_t i = 0; i < queries.size(); ++i) {
            Query& q = queries[i];
            if (ids[i] < 0 || q.code != LDAP_SUCCESS) continue;
            LDAPMessage* raw = nullptr;
            timeval wait = bound;
            int type = ldap_result(ld, ids[i], LDAP_MSG_ALL, &wait, &raw);
            Message result(raw);
            if (type <= 0) {
                if (type == 0) ldap_abandon_ext(ld, ids[i], nullptr, nullptr);
                q.code = type == 0 ? LDAP_TIMEOUT : LDAP_SERVER_DOWN;
            } else {
                int code = LDAP_OTHER;
                int parsed = ldap_parse_result(ld, raw, &code, nullptr, nullptr, nullptr, nullptr, 0);
                q.code = SearchOutcome(parsed == LDAP_SUCCESS ? code : parsed, q.subtree);
                if (q.code == LDAP_SUCCESS) q.entries = ReadEntries(ld, raw, q.attributes);
            }
            if (q.code != LDAP_SUCCESS && first == LDAP_SUCCESS) first = q.code;
        }
        return first;
    });
}

int Directory::Modify(const std::string& dn, int operation, const std::string& attribute,
                      const std::vector<std::string>& values) {
    return Modify(dn, std::vector<Change>{{operation, attribute, values}});
}

std::size_t Directory::TakeValuesWritten() {
    std::size_t values = 0;
    std::swap(values, m_valuesWritten);
    return values;
}

namespace {

// A removal of a whole attribute counts as one value.
std::size_t ValuesOf(const std::vector<Directory::Change>& changes) {
    std::size_t values = 0;
    for (const Directory::Change& change : changes)
        values += std::max<std::size_t>(1, change.values.size());
    return values;
}

}  // namespace

int Directory::Modify(const std::string& dn, const std::vector<Change>& changes) {
    m_valuesWritten += ValuesOf(changes);
    return Run([&](LDAP* ld) {
        ModList mods(changes);
        return ldap_modify_ext_s(ld, dn.c_str(), mods.Get(), nullptr, nullptr);
    });
}

int Directory::Add(const std::string& dn, const std::vector<Change>& attributes) {
    m_valuesWritten += ValuesOf(attributes);
    return Run([&](LDAP* ld) {
        ModList mods(attributes);
        return ldap_add_ext_s(ld, dn.c_str(), mods.Get(), nullptr, nullptr);
    });
}

int Directory::Delete(const std::string& dn) {
    ++m_valuesWritten;
    return Run([&](LDAP* ld) { return ldap_delete_ext_s(ld, dn.c_str(), nullptr, nullptr); });
}

int Directory::Rename(const std::string& dn, const std::string& newRdn) {
    ++m_valuesWritten;
    return Run([&](LDAP* ld) {
        return ldap_rename_s(ld, dn.c_str(), newRdn.c_str(), nullptr, 1, nullptr, nullptr);
    });
}

}  // namespace zn::server
