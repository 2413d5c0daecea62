// group_bench: the library on its biggest groups beside bare libldap doing the same work in
// the same run. A group of 100,000 members (--members N for another size), a one-member group
// for comparison, a person in 2,001 groups and a 20-level diamond ladder of supergroups are
// written into the sandbox's provider, and replicated to its consumers, before anything is
// measured. This half loads them and times the supergroup walk; group_bench_members.cpp times
// member lists (in this process and in fresh ones), the tool beside ldapsearch, counts,
// checks and lookups, a fresh object's first query and a worker's group list.
//
// Searches are counted where they leave for libldap: the binary is linked with --wrap for
// every libldap search entry point, so the count does not depend on how the library searches.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
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
#include "bench/bench_ldap.h"
#include "bench/group_bench.h"
#include "bench/median_report.h"
#include "session/directory_base.h"

namespace {

using groupbench::BaseDN;
using groupbench::GroupDN;
using groupbench::kBigGroup;
using groupbench::kFirstServer;
using groupbench::kOneGroup;
using groupbench::kWorker;
using groupbench::kWorkerGroups;
using groupbench::MemberDN;
using znbench::AddEntry;
using znbench::Chain;
using znbench::Clock;
using znbench::Connection;
using znbench::Modifications;
using znbench::Open;
using znbench::SecondsSince;

constexpr int kLadderLevels = 20;
constexpr long kLadderSearches = 1 + 2 * kLadderLevels;
constexpr const char* kLadderBottom = "LADDER-00";
constexpr const char* kAdminPassword = "zngadmin";
constexpr const char* kBenchUnit = "ou=Bench";
constexpr const char* kMembersUnit = "ou=Members";
// They follow the provider; the bench waits until each holds the data, so that whichever
// server the library settles on answers with it.
const char* const kConsumers[] = {"ldap4", "ldap3", "ldap2", "ldap1"};
// Bounds a broken sandbox only: a million members take some seconds to replicate.
constexpr double kCatchUpSeconds = 300;

long g_searches = 0;
int g_members = 100000;
bool g_failed = false;

}  // namespace

namespace groupbench {

int Members() {
    return g_members;
}
std::string BaseDN() {
    return zn::OrganizationBaseDN();
}
std::string GroupDN(const std::string& name) {
    return "cn=" + name + "," + kBenchUnit + "," + BaseDN();
}
std::string MemberName(int number) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "m%06d", number);
    return uid;
}
std::string MemberDN(int number) {
    return "uid=" + MemberName(number) + "," + kMembersUnit + "," + BaseDN();
}
long SearchesSoFar() {
    return g_searches;
}
void Fail(benchmark::State& state, const std::string& problem) {
    g_failed = true;
    state.SkipWithError(problem.c_str());
}

}  // namespace groupbench

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

using groupbench::Fail;

std::string UnitDN() {
    return std::string(kBenchUnit) + "," + BaseDN();
}
std::string WorkerGroupName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "WG-%04d", number);
    return name;
}
// Level 0 is the single bottom group; levels 1 to kLadderLevels hold an A and a B group.
std::string LadderName(int level, char side) {
    char name[16];
    std::snprintf(name, sizeof name, "LADDER-%02d%c", level, side);
    return name;
}

// --- Loading the groups ------------------------------------------------------------------

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
    std::vector<std::string> names = LadderGroupNames();
    for (int number = 0; number < kWorkerGroups; ++number) names.push_back(WorkerGroupName(number));
    names.push_back(kBigGroup);
    names.push_back(kOneGroup);
    for (const std::string& name : names) {
        ldap_delete_ext_s(ld, GroupDN(name).c_str(), nullptr, nullptr);
    }
    ldap_delete_ext_s(ld, UnitDN().c_str(), nullptr, nullptr);
    ldap_delete_ext_s(ld, MemberDN(0).c_str(), nullptr, nullptr);
    ldap_delete_ext_s(ld, (std::string(kMembersUnit) + "," + BaseDN()).c_str(), nullptr, nullptr);
}

bool AddUnits(LDAP* ld, std::string& problem) {
    for (const char* unit : {"Bench", "Members"}) {
        Modifications entry;
        entry.Add("objectClass", {"top", "organizationalUnit"});
        entry.Add("ou", {unit});
        if (!AddEntry(ld, "ou=" + std::string(unit) + "," + BaseDN(), entry, problem)) {
            return false;
        }
    }
    // The one member that is a person: the worker whose groups are listed.
    Modifications person;
    person.Add("objectClass", {"top", "person", "organizationalPerson", "inetOrgPerson"});
    person.Add("uid", {kWorker});
    person.Add("cn", {"Member Zero"});
    person.Add("sn", {"Zero"});
    return AddEntry(ld, MemberDN(0), person, problem);
}

// The other members need no entries of their own: the library turns each DN into a worker
// that carries only its name. The big group lists them all as direct and eventual members,
// as an "all staff" list does.
bool AddGroup(LDAP* ld, const std::string& name, int members, std::string& problem) {
    // The members go in slices, so that no request outgrows what the server takes in one
    // message (the sandbox takes 128 MiB; a million members are some 80 MB).
    constexpr int kSlice = 1000000;
    auto slice = [](int from, int to) {
        std::vector<std::string> dns;
        dns.reserve(static_cast<std::size_t>(to - from));
        for (int number = from; number < to; ++number) dns.push_back(MemberDN(number));
        return dns;
    };
    std::vector<std::string> first = slice(0, std::min(members, kSlice));
    Modifications group;
    group.Add("objectClass", {"top", "groupOfUniqueNames", "znGroup"});
    group.Add("cn", {name});
    group.Add("description", {"Bench group of " + std::to_string(members)});
    group.Add("explicitMember", first);
    group.Add("uniqueMember", std::move(first));
    if (!AddEntry(ld, GroupDN(name), group, problem)) return false;
    for (int from = kSlice; from < members; from += kSlice) {
        Modifications more;
        std::vector<std::string> dns = slice(from, std::min(members, from + kSlice));
        more.Add("explicitMember", dns);
        more.Add("uniqueMember", std::move(dns));
        std::vector<LDAPMod*> list = more.Build();
        const int rc = ldap_modify_ext_s(ld, GroupDN(name).c_str(), list.data(), nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            problem = "adding members to " + name + ": " + ldap_err2string(rc);
            return false;
        }
    }
    return true;
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
    if (!AddUnits(admin.ld, problem) || !AddGroup(admin.ld, kBigGroup, g_members, problem) ||
        !AddGroup(admin.ld, kOneGroup, 1, problem) || !AddLadder(admin.ld, problem)) {
        problem = std::string(host) + ": " + problem;
        return false;
    }
    for (int number = 0; number < kWorkerGroups; ++number) {
        if (!AddGroup(admin.ld, WorkerGroupName(number), 1, problem)) return false;
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
    expected.push_back(kOneGroup);
    for (int number = 0; number < kWorkerGroups; ++number) {
        expected.push_back(WorkerGroupName(number));
    }
    if (groups != std::set<std::string>(expected.begin(), expected.end()) ||
        bigMembers != g_members) {
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

// --- The supergroup walk -----------------------------------------------------------------

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
    // Our own options go before Google Benchmark sees the rest.
    std::vector<char*> rest{argv[0]};
    std::string childMode;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--members" && i + 1 < argc) {
            g_members = std::atoi(argv[++i]);
        } else if (argument == "--child" && i + 1 < argc) {
            childMode = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (g_members < 1) {
        std::fprintf(stderr, "group_bench: --members needs a positive number\n");
        return 2;
    }
    // A server that drops a connection must fail a check, not end the run unannounced.
    std::signal(SIGPIPE, SIG_IGN);
    if (!childMode.empty()) {
        return groupbench::RunChild(childMode);
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
        "Loaded %s (%d members), %s, %d groups of %s and %ld ladder groups into %s in %.1f s; "
        "its %zu consumers held them %.1f s later\n",
        kBigGroup, g_members, kOneGroup, kWorkerGroups, kWorker, kLadderSearches, kFirstServer,
        loadSeconds, sizeof kConsumers / sizeof *kConsumers, SecondsSince(start));

    znbench::MedianReporter reporter;
    int restCount = static_cast<int>(rest.size());
    znbench::RunInterleaved(restCount, rest.data(), reporter);
    benchmark::Shutdown();
    if (g_failed) {
        std::fprintf(stderr, "group_bench: a check failed; see the errors above\n");
        return 1;
    }
    return 0;
}
