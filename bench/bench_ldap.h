// Bare libldap for the benchmarks' baselines and loaders: owners of sessions and results, a
// session opened as the library opens one, entries to add, and peak-memory readings.
#pragma once

#define LDAP_DEPRECATED 1
#include <ldap.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace znbench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Connection {
    LDAP* ld = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (ld != nullptr) ldap_unbind_ext_s(ld, nullptr, nullptr);
    }
};

struct Chain {
    LDAPMessage* message = nullptr;
    Chain() = default;
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    ~Chain() {
        if (message != nullptr) ldap_msgfree(message);
    }
};

// Opens a version-3 session to `host` bound as `dn` (anonymous when null); the LDAP code.
inline int Open(Connection& connection, const char* host, const char* dn, const char* password) {
    std::string uri = std::string("ldap://") + host + ":389";
    int rc = ldap_initialize(&connection.ld, uri.c_str());
    if (rc != LDAP_SUCCESS) return rc;
    int version = LDAP_VERSION3;
    ldap_set_option(connection.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    berval credentials{0, nullptr};
    if (password != nullptr) {
        credentials.bv_val = const_cast<char*>(password);
        credentials.bv_len = std::strlen(password);
    }
    return ldap_sasl_bind_s(connection.ld, dn, LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                            nullptr);
}

// The session the library opens for each query: ldap_init, version 3, the connect time-out,
// an anonymous simple bind awaited with ldap_result.
// The library's anonymous bind: sent without waiting, its answer awaited at most `wait`.
inline int BindAnonymously(LDAP* ld, timeval wait) {
    int id = ldap_bind(ld, nullptr, nullptr, LDAP_AUTH_SIMPLE);
    if (id < 0) return LDAP_SERVER_DOWN;
    LDAPMessage* bound = nullptr;
    if (ldap_result(ld, id, LDAP_MSG_ALL, &wait, &bound) <= 0) {
        return LDAP_TIMEOUT;
    }
    return ldap_result2error(ld, bound, 1);
}

inline int OpenAsTheLibraryDoes(Connection& connection, const char* host) {
    timeval connectWait{5, 0};
    connection.ld = ldap_init(host, 389);
    if (connection.ld == nullptr) return LDAP_CONNECT_ERROR;
    int version = LDAP_VERSION3;
    ldap_set_option(connection.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(connection.ld, LDAP_OPT_NETWORK_TIMEOUT, &connectWait);
    return BindAnonymously(connection.ld, connectWait);
}

// The library's searches: subtree under `base`, `attribute` only, the default search time-out.
inline int SearchAsTheLibraryDoes(Connection& connection, const std::string& base,
                                  const std::string& filter, const char* attribute, Chain& chain) {
    timeval searchWait{120, 0};
    char* attributes[] = {const_cast<char*>(attribute), nullptr};
    return ldap_search_st(connection.ld, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                          attributes, 0, &searchWait, &chain.message);
}

// The value of a DN's first component, for DNs without escapes.
// A subtree search as the library makes it, every value copied out as the library copies
// it; false when the search failed.
inline bool SearchAndCopy(LDAP* ld, const char* base, const char* filter,
                          const char* const* attributes, timeval wait,
                          std::list<std::string>& values) {
    LDAPMessage* chain = nullptr;
    const int rc = ldap_search_st(ld, base, LDAP_SCOPE_SUBTREE, filter,
                                  const_cast<char**>(attributes), 0, &wait, &chain);
    for (LDAPMessage* entry = ldap_first_entry(ld, chain); entry != nullptr;
         entry = ldap_next_entry(ld, entry)) {
        BerElement* position = nullptr;
        for (char* name = ldap_first_attribute(ld, entry, &position); name != nullptr;
             name = ldap_next_attribute(ld, entry, position)) {
            char** found = ldap_get_values(ld, entry, name);
            for (char** value = found; value != nullptr && *value != nullptr; ++value) {
                values.emplace_back(*value);
            }
            ldap_value_free(found);
            ldap_memfree(name);
        }
        ber_free(position, 0);
    }
    ldap_msgfree(chain);
    return rc == LDAP_SUCCESS;
}

inline std::string FirstValue(const char* dn) {
    const char* start = std::strchr(dn, '=');
    if (start == nullptr) return std::string();
    ++start;
    return std::string(start, std::strcspn(start, ","));
}

// Every value of `attribute` in the chain, as names taken from DNs or as they stand, sorted:
// what the library must hand its caller. The chain is released before the sort, as early as
// the library may release it.
inline std::vector<std::string> SortedValues(Connection& connection, Chain& chain,
                                             const char* attribute, bool namesFromDNs) {
    std::vector<std::string> names;
    for (LDAPMessage* entry = ldap_first_entry(connection.ld, chain.message); entry != nullptr;
         entry = ldap_next_entry(connection.ld, entry)) {
        char** values = ldap_get_values(connection.ld, entry, attribute);
        names.reserve(names.size() + static_cast<std::size_t>(ldap_count_values(values)));
        for (char** value = values; value != nullptr && *value != nullptr; ++value) {
            names.push_back(namesFromDNs ? FirstValue(*value) : std::string(*value));
        }
        ldap_value_free(values);
    }
    ldap_msgfree(chain.message);
    chain.message = nullptr;
    std::sort(names.begin(), names.end());
    return names;
}

// One attribute of an entry to add; the value strings must outlive the add.
class Modifications {
  public:
    void Add(const char* type, std::vector<std::string> values) {
        m_values.push_back(std::move(values));
        m_types.push_back(type);
    }
    std::vector<LDAPMod*> Build() {
        m_pointers.clear();
        m_mods.assign(m_types.size(), LDAPMod{});
        for (std::size_t i = 0; i < m_types.size(); ++i) {
            std::vector<char*> pointers;
            for (std::string& value : m_values[i]) pointers.push_back(value.data());
            pointers.push_back(nullptr);
            m_pointers.push_back(std::move(pointers));
            m_mods[i].mod_op = LDAP_MOD_ADD;
            m_mods[i].mod_type = const_cast<char*>(m_types[i]);
            m_mods[i].mod_values = m_pointers.back().data();
        }
        std::vector<LDAPMod*> list;
        for (LDAPMod& mod : m_mods) list.push_back(&mod);
        list.push_back(nullptr);
        return list;
    }

  private:
    std::vector<const char*> m_types;
    std::vector<std::vector<std::string>> m_values;
    std::vector<std::vector<char*>> m_pointers;
    std::vector<LDAPMod> m_mods;
};

inline bool AddEntry(LDAP* ld, const std::string& dn, Modifications& modifications,
                     std::string& problem) {
    std::vector<LDAPMod*> list = modifications.Build();
    int rc = ldap_add_ext_s(ld, dn.c_str(), list.data(), nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        problem = "adding " + dn + ": " + ldap_err2string(rc);
        return false;
    }
    return true;
}

// A kB figure of /proc/self/status ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return -1;
}

// An entry to add: its DN and its attributes' values.
struct Entry {
    std::string dn;
    std::vector<std::pair<const char*, std::vector<std::string>>> attributes;
};

// Adds entries with 64 requests in flight at once, enough to keep the server busy; false
// with the first failure. An entry a run before this one left counts as added.
class PipelinedLoader {
  public:
    explicit PipelinedLoader(LDAP* ld) : m_ld(ld) {}
    bool Add(const Entry& entry) {
        std::vector<std::vector<char*>> values;
        std::vector<LDAPMod> mods(entry.attributes.size());
        std::vector<LDAPMod*> list;
        for (std::size_t i = 0; i < entry.attributes.size(); ++i) {
            values.emplace_back();
            for (const std::string& value : entry.attributes[i].second) {
                values.back().push_back(const_cast<char*>(value.c_str()));
            }
            values.back().push_back(nullptr);
            mods[i].mod_op = LDAP_MOD_ADD;
            mods[i].mod_type = const_cast<char*>(entry.attributes[i].first);
            mods[i].mod_values = values.back().data();
            list.push_back(&mods[i]);
        }
        list.push_back(nullptr);
        int id = 0;
        const int rc = ldap_add_ext(m_ld, entry.dn.c_str(), list.data(), nullptr, nullptr, &id);
        if (rc != LDAP_SUCCESS) return Fail(entry.dn, rc, "");
        m_pending[id] = entry.dn;
        return ++m_outstanding < kPipeline || Collect(1);
    }
    bool Finish() { return Collect(m_outstanding); }
    const std::string& Problem() const { return m_problem; }

  private:
    static constexpr int kPipeline = 64;
    bool Collect(int count) {
        for (; count > 0; --count) {
            LDAPMessage* result = nullptr;
            if (ldap_result(m_ld, LDAP_RES_ANY, 1, nullptr, &result) <= 0) {
                return Fail("waiting for an add", -1, "");
            }
            --m_outstanding;
            const std::string dn = m_pending[ldap_msgid(result)];
            m_pending.erase(ldap_msgid(result));
            int code = 0;
            char* text = nullptr;
            ldap_parse_result(m_ld, result, &code, nullptr, &text, nullptr, nullptr, 1);
            const std::string message = text != nullptr ? text : "";
            ldap_memfree(text);
            // A run before this one in the same sandbox left its entries.
            if (code != LDAP_SUCCESS && code != LDAP_ALREADY_EXISTS) {
                return Fail(dn, code, message);
            }
        }
        return true;
    }
    bool Fail(const std::string& what, int code, const std::string& message) {
        m_problem = what + ": " + ldap_err2string(code) + " " + message;
        return false;
    }
    LDAP* m_ld;
    std::map<int, std::string> m_pending;
    int m_outstanding = 0;
    std::string m_problem;
};

// Measures how far the resident set rises above where it stood when constructed. Freed heap
// is handed back first (malloc_trim), so that memory left over by an earlier iteration does
// not absorb the growth; then the kernel's high-water mark is reset to the current RSS
// (clear_refs "5"), so VmHWM afterwards is the peak reached since.
class PeakGrowth {
  public:
    PeakGrowth() {
        malloc_trim(0);
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5" << std::flush;
        m_usable = clear.good();
        m_startKilobytes = StatusKilobytes("VmRSS");
    }
    // Bytes above the start at the peak; -1 when the peak could not be reset or read.
    double Bytes() const {
        long peak = StatusKilobytes("VmHWM");
        if (!m_usable || peak < 0 || m_startKilobytes < 0) return -1;
        return static_cast<double>(peak - m_startKilobytes) * 1024.0;
    }

  private:
    bool m_usable = false;
    long m_startKilobytes = -1;
};

}  // namespace znbench
