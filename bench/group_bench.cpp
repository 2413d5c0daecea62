// The eventual members of a 100,000-member group and the eventual-supergroup walk up a
// 20-level diamond ladder, each beside bare libldap doing the same reads in the same run.
//
// The groups are written into the sandbox's provider, and replicated to its consumers, before
// anything is measured. Searches are
// counted where they leave for libldap: the binary is linked with --wrap for every libldap
// search entry point, so the count does not depend on how the library makes its searches.
#include <benchmark/benchmark.h>
#include <ldap.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CZNGroup.h"
#include "bench/median_report.h"
#include "session/directory_base.h"

namespace {

constexpr int kBigGroupMembers = 100000;
constexpr int kLadderLevels = 20;
constexpr long kLadderSearches = 1 + 2 * kLadderLevels;
constexpr const char* kBigGroup = "BIG-GROUP";
constexpr const char* kLadderBottom = "LADDER-00";
constexpr const char* kAdminPassword = "zngadmin";
constexpr const char* kBenchUnit = "ou=Bench";
// The server the library tries first, the one the bare baselines read, and the local domain's
// replication provider: the only one that takes writes.
constexpr const char* kFirstServer = "ldap5";
// They follow the provider; the bench waits until each holds the data, so that whichever
// server the library settles on answers with it.
const char* const kConsumers[] = {"ldap4", "ldap3", "ldap2", "ldap1"};
// 4 MB of members take well under a second to replicate; this only bounds a broken sandbox.
constexpr double kCatchUpSeconds = 60;

long g_searches = 0;

}  // namespace

// The library goes through ldap_search_st today; the other entry points are counted as well,
// so that a change of call would not hide searches from the count.
extern "C" {
int __real_ldap_search_ext(LDAP*, const char*, int, const char*, char**, int, LDAPControl**,
                           LDAPControl**, struct timeval*, int, int*);
int __real_ldap_search_ext_s(LDAP*, const char*, int, const char*, char**, int, LDAPControl**,
                             LDAPControl**, struct timeval*, int, LDAPMessage**);
int __real_ldap_search(LDAP*, const char*, int, const char*, char**, int);
int __real_ldap_search_s(LDAP*, const char*, int, const char*, char**, int, LDAPMessage**);
int __real_ldap_search_st(LDAP*, const char*, int, const char*, char**, int, struct timeval*,
                          LDAPMessage**);

int __wrap_ldap_search_ext(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                           int attrsonly, LDAPControl** server, LDAPControl** client,
                           struct timeval* timeout, int sizelimit, int* msgid) {
    ++g_searches;
    return __real_ldap_search_ext(ld, base, scope, filter, attrs, attrsonly, server, client,
                                  timeout, sizelimit, msgid);
}
int __wrap_ldap_search_ext_s(LDAP* ld, const char* base, int scope, const char* filter,
                             char** attrs, int attrsonly, LDAPControl** server,
                             LDAPControl** client, struct timeval* timeout, int sizelimit,
                             LDAPMessage** res) {
    ++g_searches;
    return __real_ldap_search_ext_s(ld, base, scope, filter, attrs, attrsonly, server, client,
                                    timeout, sizelimit, res);
}
int __wrap_ldap_search(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                       int attrsonly) {
    ++g_searches;
    return __real_ldap_search(ld, base, scope, filter, attrs, attrsonly);
}
int __wrap_ldap_search_s(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                         int attrsonly, LDAPMessage** res) {
    ++g_searches;
    return __real_ldap_search_s(ld, base, scope, filter, attrs, attrsonly, res);
}
int __wrap_ldap_search_st(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                          int attrsonly, struct timeval* timeout, LDAPMessage** res) {
    ++g_searches;
    return __real_ldap_search_st(ld, base, scope, filter, attrs, attrsonly, timeout, res);
}
}

namespace {

using Clock = std::chrono::steady_clock;

bool g_failed = false;

// A check that did not hold ends the benchmark and, at the end, the run with status 1, so a
// scripted run (build.sh bench) stops instead of printing figures of the wrong work.
void Fail(benchmark::State& state, const std::string& problem) {
    g_failed = true;
    state.SkipWithError(problem.c_str());
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string BaseDN() {
    return zn::OrganizationBaseDN();
}
std::string UnitDN() {
    return std::string(kBenchUnit) + "," + BaseDN();
}
std::string GroupDN(const std::string& name) {
    return "cn=" + name + "," + UnitDN();
}
std::string MemberDN(int number) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "m%06d", number);
    return "uid=" + std::string(uid) + ",ou=Members," + BaseDN();
}
// Level 0 is the single bottom group; levels 1 to kLadderLevels hold an A and a B group.
std::string LadderName(int level, char side) {
    char name[16];
    std::snprintf(name, sizeof name, "LADDER-%02d%c", level, side);
    return name;
}

// --- Owners for the bare side and the loader ---------------------------------------------

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
int Open(Connection& connection, const char* host, const char* dn, const char* password) {
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

// --- Loading the groups ------------------------------------------------------------------

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

bool AddEntry(LDAP* ld, const std::string& dn, Modifications& modifications, std::string& problem) {
    std::vector<LDAPMod*> list = modifications.Build();
    int rc = ldap_add_ext_s(ld, dn.c_str(), list.data(), nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        problem = "adding " + dn + ": " + ldap_err2string(rc);
        return false;
    }
    return true;
}

// The ladder's groups, bottom first.
std::vector<std::string> LadderGroupNames() {
    std::vector<std::string> names{kLadderBottom};
    for (int level = 1; level <= kLadderLevels; ++level) {
        names.push_back(LadderName(level, 'A'));
        names.push_back(LadderName(level, 'B'));
    }
    return names;
}

// Entries of an earlier run in the same sandbox go first, so every run reads what it wrote.
void RemoveBenchEntries(LDAP* ld) {
    for (const std::string& name : LadderGroupNames()) {
        ldap_delete_ext_s(ld, GroupDN(name).c_str(), nullptr, nullptr);
    }
    ldap_delete_ext_s(ld, GroupDN(kBigGroup).c_str(), nullptr, nullptr);
    ldap_delete_ext_s(ld, UnitDN().c_str(), nullptr, nullptr);
}

bool AddUnit(LDAP* ld, std::string& problem) {
    Modifications unit;
    unit.Add("objectClass", {"top", "organizationalUnit"});
    unit.Add("ou", {"Bench"});
    return AddEntry(ld, UnitDN(), unit, problem);
}

// The members need no entries of their own: the library turns each DN into a worker that
// carries only its name, and reads nothing else about them.
bool AddBigGroup(LDAP* ld, std::string& problem) {
    std::vector<std::string> members;
    members.reserve(kBigGroupMembers);
    for (int number = 0; number < kBigGroupMembers; ++number) members.push_back(MemberDN(number));
    Modifications group;
    group.Add("objectClass", {"top", "groupOfUniqueNames"});
    group.Add("cn", {kBigGroup});
    group.Add("uniqueMember", std::move(members));
    return AddEntry(ld, GroupDN(kBigGroup), group, problem);
}

// Each group of a level has both groups of the next level as supergroups: 2^20 paths lead
// from the bottom to the top, but only 41 groups lie on them.
bool AddLadder(LDAP* ld, std::string& problem) {
    const std::string member = "uid=asmith,ou=People," + BaseDN();
    for (int level = 0; level <= kLadderLevels; ++level) {
        std::vector<std::string> sides =
            level == 0 ? std::vector<std::string>{kLadderBottom}
                       : std::vector<std::string>{LadderName(level, 'A'), LadderName(level, 'B')};
        for (const std::string& name : sides) {
            Modifications group;
            group.Add("objectClass", {"top", "groupOfUniqueNames", "znGroup"});
            group.Add("cn", {name});
            group.Add("uniqueMember", {member});
            if (level < kLadderLevels) {
                group.Add("superGroup", {GroupDN(LadderName(level + 1, 'A')),
                                         GroupDN(LadderName(level + 1, 'B'))});
            }
            if (!AddEntry(ld, GroupDN(name), group, problem)) return false;
        }
    }
    return true;
}

bool LoadServer(const char* host, std::string& problem) {
    Connection admin;
    const std::string adminDN = "cn=admin," + BaseDN();
    int rc = Open(admin, host, adminDN.c_str(), kAdminPassword);
    if (rc != LDAP_SUCCESS) {
        problem = std::string("binding to ") + host + " as " + adminDN + ": " + ldap_err2string(rc);
        return false;
    }
    RemoveBenchEntries(admin.ld);
    if (!AddUnit(admin.ld, problem) || !AddBigGroup(admin.ld, problem) ||
        !AddLadder(admin.ld, problem)) {
        problem = std::string(host) + ": " + problem;
        return false;
    }
    return true;
}

// --- Waiting for the consumers ----------------------------------------------------------

// The directory's contextCSN as `host` reports it: the provider's last change, or the last one
// a consumer has applied.
bool ReadContextCSN(const char* host, std::string& csn, std::string& problem) {
    Connection connection;
    int rc = Open(connection, host, nullptr, nullptr);
    char attribute[] = "contextCSN";
    char* attributes[] = {attribute, nullptr};
    Chain chain;
    if (rc == LDAP_SUCCESS) {
        rc = ldap_search_ext_s(connection.ld, BaseDN().c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                               attributes, 0, nullptr, nullptr, nullptr, 0, &chain.message);
    }
    if (rc != LDAP_SUCCESS) {
        problem = std::string("reading the contextCSN of ") + host + ": " + ldap_err2string(rc);
        return false;
    }
    LDAPMessage* entry = ldap_first_entry(connection.ld, chain.message);
    berval** values =
        entry != nullptr ? ldap_get_values_len(connection.ld, entry, attribute) : nullptr;
    csn.clear();
    // One value per server id; the sandbox has one provider, hence one value.
    for (berval** value = values; value != nullptr && *value != nullptr; ++value) {
        csn.append((*value)->bv_val, (*value)->bv_len).append(" ");
    }
    ldap_value_free_len(values);
    return true;
}

// Checks that `host` holds every bench group and all members of the big one.
bool HoldsBenchData(const char* host, std::string& problem) {
    Connection connection;
    int rc = Open(connection, host, nullptr, nullptr);
    char cn[] = "cn";
    char member[] = "uniqueMember";
    char* attributes[] = {cn, member, nullptr};
    Chain chain;
    if (rc == LDAP_SUCCESS) {
        rc = ldap_search_ext_s(connection.ld, UnitDN().c_str(), LDAP_SCOPE_ONELEVEL,
                               "(objectClass=groupOfUniqueNames)", attributes, 0, nullptr, nullptr,
                               nullptr, 0, &chain.message);
    }
    if (rc != LDAP_SUCCESS) {
        problem = std::string("reading the bench groups on ") + host + ": " + ldap_err2string(rc);
        return false;
    }
    std::set<std::string> groups;
    long bigMembers = 0;
    for (LDAPMessage* entry = ldap_first_entry(connection.ld, chain.message); entry != nullptr;
         entry = ldap_next_entry(connection.ld, entry)) {
        berval** names = ldap_get_values_len(connection.ld, entry, cn);
        std::string name = names != nullptr && names[0] != nullptr
                               ? std::string(names[0]->bv_val, names[0]->bv_len)
                               : std::string();
        ldap_value_free_len(names);
        groups.insert(name);
        if (name == kBigGroup) {
            berval** members = ldap_get_values_len(connection.ld, entry, member);
            bigMembers = ldap_count_values_len(members);
            ldap_value_free_len(members);
        }
    }
    std::vector<std::string> expected = LadderGroupNames();
    expected.push_back(kBigGroup);
    if (groups != std::set<std::string>(expected.begin(), expected.end()) ||
        bigMembers != kBigGroupMembers) {
        problem = std::string(host) + " holds " + std::to_string(groups.size()) +
                  " bench groups and " + std::to_string(bigMembers) + " members of " + kBigGroup;
        return false;
    }
    return true;
}

// Waits until every consumer has applied the provider's last change, then checks its data.
bool WaitForConsumers(std::string& problem) {
    std::string providerCSN;
    if (!ReadContextCSN(kFirstServer, providerCSN, problem)) return false;
    const Clock::time_point start = Clock::now();
    for (const char* host : kConsumers) {
        std::string csn;
        for (;;) {
            if (!ReadContextCSN(host, csn, problem)) return false;
            if (csn == providerCSN) break;
            if (SecondsSince(start) > kCatchUpSeconds) {
                problem = std::string(host) + " has not caught up with " + kFirstServer +
                          " after " + std::to_string(kCatchUpSeconds) + " s";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!HoldsBenchData(host, problem)) return false;
    }
    return true;
}

// --- Memory --------------------------------------------------------------------------------

// A kB figure of /proc/self/status ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKilobytes(const char* field) {
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

// --- The bare sides ------------------------------------------------------------------------

struct BareRead {
    int code = LDAP_SUCCESS;
    long values = 0;
    double valueBytes = 0;
};

// What ldapsearch does for "(cn=BIG-GROUP)" uniqueMember: one session, one search, every
// value of the attribute read.
BareRead ReadBigGroupBare() {
    BareRead read;
    Connection connection;
    read.code = Open(connection, kFirstServer, nullptr, nullptr);
    if (read.code != LDAP_SUCCESS) return read;
    const std::string filter = std::string("(cn=") + kBigGroup + ")";
    char attribute[] = "uniqueMember";
    char* attributes[] = {attribute, nullptr};
    Chain chain;
    read.code =
        ldap_search_ext_s(connection.ld, BaseDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                          attributes, 0, nullptr, nullptr, nullptr, 0, &chain.message);
    if (read.code != LDAP_SUCCESS) return read;
    unsigned char touched = 0;
    for (LDAPMessage* entry = ldap_first_entry(connection.ld, chain.message); entry != nullptr;
         entry = ldap_next_entry(connection.ld, entry)) {
        berval** values = ldap_get_values_len(connection.ld, entry, attribute);
        for (berval** value = values; value != nullptr && *value != nullptr; ++value) {
            ++read.values;
            read.valueBytes += static_cast<double>((*value)->bv_len);
            touched ^= static_cast<unsigned char>((*value)->bv_val[(*value)->bv_len - 1]);
        }
        ldap_value_free_len(values);
    }
    benchmark::DoNotOptimize(touched);
    return read;
}

// The supergroup names a group entry holds, as the library reads them: the cn of each DN.
std::vector<std::string> SuperGroupNames(LDAP* ld, LDAPMessage* chain) {
    std::vector<std::string> names;
    char attribute[] = "superGroup";
    for (LDAPMessage* entry = ldap_first_entry(ld, chain); entry != nullptr;
         entry = ldap_next_entry(ld, entry)) {
        berval** values = ldap_get_values_len(ld, entry, attribute);
        for (berval** value = values; value != nullptr && *value != nullptr; ++value) {
            std::string dn((*value)->bv_val, (*value)->bv_len);
            std::size_t start = dn.find('=') + 1;
            names.push_back(dn.substr(start, dn.find(',') - start));
        }
        ldap_value_free_len(values);
    }
    return names;
}

// The same walk with plain libldap: a visited set, one search per group reached. With
// `sessionPerSearch` each search opens and binds its own session, as the library does.
int WalkLadderBare(bool sessionPerSearch, std::set<std::string>& reached) {
    reached.clear();
    Connection shared;
    if (!sessionPerSearch) {
        int rc = Open(shared, kFirstServer, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) return rc;
    }
    char attribute[] = "superGroup";
    char* attributes[] = {attribute, nullptr};
    std::set<std::string> visited;
    std::vector<std::string> pending{kLadderBottom};
    while (!pending.empty()) {
        std::string current = std::move(pending.back());
        pending.pop_back();
        if (!visited.insert(current).second) continue;
        Connection own;
        if (sessionPerSearch) {
            int rc = Open(own, kFirstServer, nullptr, nullptr);
            if (rc != LDAP_SUCCESS) return rc;
        }
        LDAP* ld = sessionPerSearch ? own.ld : shared.ld;
        const std::string filter = "(&(objectclass=groupOfUniqueNames)(cn=" + current + "))";
        Chain chain;
        int rc = ldap_search_ext_s(ld, BaseDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                   attributes, 0, nullptr, nullptr, nullptr, 0, &chain.message);
        if (rc != LDAP_SUCCESS) return rc;
        for (std::string& name : SuperGroupNames(ld, chain.message)) {
            reached.insert(name);
            if (visited.count(name) == 0) pending.push_back(std::move(name));
        }
    }
    return LDAP_SUCCESS;
}

// --- Benchmarks ----------------------------------------------------------------------------

constexpr const char* kNoPeakText =
    "peak RSS unmeasurable: /proc/self/clear_refs or /proc/self/status unusable";

void EventualMembersOfBigGroup(benchmark::State& state) {
    double libraryTotal = 0;
    double bareTotal = 0;
    double rawBytes = 0;
    double libraryPeak = 0;
    double barePeak = 0;
    long librarySearches = 0;
    long iteration = 0;
    for (auto _ : state) {
        double librarySeconds = 0;
        double bareSeconds = 0;
        // Which side goes first alternates, so neither always finds the server warmed up.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (iteration % 2 == 0)) {
                PeakGrowth growth;
                Clock::time_point start = Clock::now();
                BareRead read = ReadBigGroupBare();
                bareSeconds = SecondsSince(start);
                const double peak = growth.Bytes();
                if (peak < 0) {
                    Fail(state, kNoPeakText);
                    return;
                }
                barePeak = std::max(barePeak, peak);
                if (read.code != LDAP_SUCCESS || read.values != kBigGroupMembers) {
                    Fail(state, "bare search: " + std::string(ldap_err2string(read.code)) + ", " +
                                    std::to_string(read.values) + " values");
                    return;
                }
                rawBytes = read.valueBytes;
            } else {
                PeakGrowth growth;
                Clock::time_point start = Clock::now();
                const long searchesBefore = g_searches;
                auto group = std::make_unique<CZNGroup>(kBigGroup);
                const std::list<CZNWorker>& workers = group->GetEventualMembers();
                librarySeconds = SecondsSince(start);
                librarySearches = g_searches - searchesBefore;
                // Reading a worker's name loads the worker from the directory, so the checks
                // stay off the clock; dropping the result is the caller's cost and stays on.
                const std::size_t members = workers.size();
                const long status = group->GetErrorStatusCode();
                const std::string first = members > 0 ? workers.front().GetUserNameA() : "";
                const std::string last = members > 0 ? workers.back().GetUserNameA() : "";
                start = Clock::now();
                group.reset();
                librarySeconds += SecondsSince(start);
                const double peak = growth.Bytes();
                if (peak < 0) {
                    Fail(state, kNoPeakText);
                    return;
                }
                libraryPeak = std::max(libraryPeak, peak);
                char expectedLast[16];
                std::snprintf(expectedLast, sizeof expectedLast, "m%06d", kBigGroupMembers - 1);
                if (status != zn::kStatusSuccess || members != kBigGroupMembers ||
                    first != "m000000" || last != expectedLast) {
                    Fail(state, "GetEventualMembers: status " + std::to_string(status) + ", " +
                                    std::to_string(members) + " workers, first " + first +
                                    ", last " + last);
                    return;
                }
            }
        }
        state.SetIterationTime(librarySeconds);
        libraryTotal += librarySeconds;
        bareTotal += bareSeconds;
        ++iteration;
    }
    state.counters["bare_ms"] = bareTotal / static_cast<double>(iteration) * 1e3;
    state.counters["ratio"] = libraryTotal / bareTotal;
    state.counters["searches"] = static_cast<double>(librarySearches);
    state.counters["raw_MB"] = rawBytes / 1e6;
    state.counters["peak_MB"] = libraryPeak / 1e6;
    state.counters["peak_x_raw"] = libraryPeak / rawBytes;
    state.counters["bare_peak_x_raw"] = barePeak / rawBytes;
}

// The names the walk must return: every ladder group but the bottom one, sorted.
std::vector<std::string> ExpectedSuperGroups() {
    std::vector<std::string> names = LadderGroupNames();
    names.erase(names.begin());
    return names;
}

void EventualSuperGroupsOfLadder(benchmark::State& state) {
    const std::vector<std::string> expected = ExpectedSuperGroups();
    double libraryTotal = 0;
    double bareTotal = 0;
    double sharedTotal = 0;
    long librarySearches = 0;
    long iteration = 0;
    for (auto _ : state) {
        double librarySeconds = 0;
        for (int turn = 0; turn < 3; ++turn) {
            int side = static_cast<int>((turn + iteration) % 3);
            std::set<std::string> reached;
            long searchesBefore = g_searches;
            Clock::time_point start = Clock::now();
            if (side == 0) {
                std::vector<std::string> names;
                long status = 0;
                {
                    CZNGroup group(kLadderBottom);
                    for (const CZNGroup& found : group.GetEventualSuperGroups()) {
                        names.push_back(found.GetGroupName());
                    }
                    status = group.GetErrorStatusCode();
                }
                librarySeconds = SecondsSince(start);
                librarySearches = g_searches - searchesBefore;
                if (librarySearches != kLadderSearches) {
                    Fail(state, "GetEventualSuperGroups made " + std::to_string(librarySearches) +
                                    " searches, not " + std::to_string(kLadderSearches));
                    return;
                }
                if (status != zn::kStatusSuccess || names != expected) {
                    Fail(state, "GetEventualSuperGroups: status " + std::to_string(status) + ", " +
                                    std::to_string(names.size()) + " groups");
                    return;
                }
                continue;
            }
            int rc = WalkLadderBare(side == 1, reached);
            (side == 1 ? bareTotal : sharedTotal) += SecondsSince(start);
            long bareSearches = g_searches - searchesBefore;
            if (rc != LDAP_SUCCESS || bareSearches != kLadderSearches ||
                std::vector<std::string>(reached.begin(), reached.end()) != expected) {
                Fail(state, "bare walk: " + std::string(ldap_err2string(rc)) + ", " +
                                std::to_string(bareSearches) + " searches, " +
                                std::to_string(reached.size()) + " groups");
                return;
            }
        }
        state.SetIterationTime(librarySeconds);
        libraryTotal += librarySeconds;
        ++iteration;
    }
    const double iterations = static_cast<double>(iteration);
    state.counters["searches"] = static_cast<double>(librarySearches);
    state.counters["bare_ms"] = bareTotal / iterations * 1e3;
    state.counters["ratio"] = libraryTotal / bareTotal;
    state.counters["one_session_ms"] = sharedTotal / iterations * 1e3;
    state.counters["ratio_one_session"] = libraryTotal / sharedTotal;
}

BENCHMARK(EventualMembersOfBigGroup)
    ->Name("GetEventualMembers of 100000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6)
    ->Repetitions(5);
BENCHMARK(EventualSuperGroupsOfLadder)
    ->Name("GetEventualSuperGroups of a 20-level diamond ladder")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
    const char* sandbox = std::getenv("ZNG_SANDBOX");
    if (sandbox == nullptr || *sandbox == '\0') {
        std::fprintf(stderr, "group_bench: no sandbox; run it as directory/sandbox -- %s\n",
                     argv[0]);
        return 1;
    }
    // Usage reports land in the sandbox's tmpfs and vanish with it.
    const std::string spool = std::string(sandbox) + "/spool";
    if (mkdir(spool.c_str(), 0700) != 0 && errno != EEXIST) {
        std::perror(("group_bench: " + spool).c_str());
        return 1;
    }
    setenv("ZNI_SPOOL", spool.c_str(), 1);

    Clock::time_point start = Clock::now();
    std::string problem;
    if (!LoadServer(kFirstServer, problem)) {
        std::fprintf(stderr, "group_bench: %s\n", problem.c_str());
        return 1;
    }
    const double loadSeconds = SecondsSince(start);
    start = Clock::now();
    if (!WaitForConsumers(problem)) {
        std::fprintf(stderr, "group_bench: %s\n", problem.c_str());
        return 1;
    }
    std::printf(
        "Loaded %s (%d members) and %ld ladder groups into %s in %.1f s; its %zu "
        "consumers held them %.1f s later\n",
        kBigGroup, kBigGroupMembers, kLadderSearches, kFirstServer, loadSeconds,
        sizeof kConsumers / sizeof *kConsumers, SecondsSince(start));

    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    benchmark::Shutdown();
    if (g_failed) {
        std::fprintf(stderr, "group_bench: a check failed; see the errors above\n");
        return 1;
    }
    return 0;
}
