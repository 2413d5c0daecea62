// The library on a company-sized directory, generated into the sandbox's provider before
// anything is measured: 100,000 people and 10,000 groups in 20 levels, each group below the
// top under two groups of the level above. Each query is timed beside bare libldap making the
// same reads in the same run.
#include <benchmark/benchmark.h>
// Before any other include of ldap.h: it asks for the deprecated calls the baselines make.
#include <sys/stat.h>
#include "bench/bench_ldap.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "bench/median_report.h"
#include "session/directory_base.h"

namespace {

constexpr int kPeople = 100000;
constexpr int kLevels = 20;
constexpr int kGroupsPerLevel = 500;
constexpr int kMembersPerBottomGroup = kPeople / kGroupsPerLevel;
constexpr const char* kProvider = "ldap5";
constexpr const char* kAdminPassword = "zngadmin";

bool g_failed = false;

std::string BaseDN() {
    return zn::OrganizationBaseDN();
}
std::string PeopleDN() {
    return "ou=ScalePeople," + BaseDN();
}
std::string GroupsDN() {
    return "ou=ScaleGroups," + BaseDN();
}
std::string Uid(int number) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "s%06d", number);
    return uid;
}
std::string PersonDN(int number) {
    return "uid=" + Uid(number) + "," + PeopleDN();
}
std::string GroupName(int level, int index) {
    char name[24];
    std::snprintf(name, sizeof name, "SCALE-%02d-%04d", level, index);
    return name;
}
std::string GroupDN(const std::string& name) {
    return "cn=" + name + "," + GroupsDN();
}

LDAP* Open(const char* dn, const char* password) {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, (std::string("ldap://") + kProvider + ":389").c_str()) != 0) {
        return nullptr;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    berval credentials{password != nullptr ? std::strlen(password) : 0,
                       const_cast<char*>(password)};
    if (ldap_sasl_bind_s(ld, dn, LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr) != 0) {
        ldap_unbind_ext_s(ld, nullptr, nullptr);
        return nullptr;
    }
    return ld;
}

// --- Loading ------------------------------------------------------------------------------

using znbench::Entry;
using Loader = znbench::PipelinedLoader;

bool LoadDirectory(std::string& problem) {
    LDAP* ld = Open(("cn=admin," + BaseDN()).c_str(), kAdminPassword);
    if (ld == nullptr) {
        problem = "cannot bind to the provider as its administrator";
        return false;
    }
    Loader loader(ld);
    bool ok =
        loader.Add({PeopleDN(),
                    {{"objectClass", {"top", "organizationalUnit"}}, {"ou", {"ScalePeople"}}}}) &&
        loader.Add({GroupsDN(),
                    {{"objectClass", {"top", "organizationalUnit"}}, {"ou", {"ScaleGroups"}}}}) &&
        loader.Finish();
    for (int number = 0; ok && number < kPeople; ++number) {
        const std::string sn = "Scale-" + Uid(number).substr(1);
        ok = loader.Add({PersonDN(number),
                         {{"objectClass",
                           {"top", "person", "organizationalPerson", "inetOrgPerson", "znPerson"}},
                          {"uid", {Uid(number)}},
                          {"cn", {"Person " + Uid(number)}},
                          {"sn", {sn}},
                          {"employeeNumber", {std::to_string(500000 + number)}}}});
    }
    ok = ok && loader.Finish();
    // Top level first, so that every supergroup exists before the groups that name it.
    for (int level = kLevels - 1; ok && level >= 0; --level) {
        for (int index = 0; ok && index < kGroupsPerLevel; ++index) {
            Entry group{GroupDN(GroupName(level, index)),
                        {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                         {"cn", {GroupName(level, index)}}}};
            if (level == 0) {
                std::vector<std::string> members;
                for (int i = 0; i < kMembersPerBottomGroup; ++i) {
                    members.push_back(PersonDN(index * kMembersPerBottomGroup + i));
                }
                group.attributes.push_back({"explicitMember", members});
                group.attributes.push_back({"uniqueMember", members});
            }
            if (level + 1 < kLevels) {
                group.attributes.push_back(
                    {"superGroup",
                     {GroupDN(GroupName(level + 1, index)),
                      GroupDN(GroupName(level + 1, (index + 1) % kGroupsPerLevel))}});
            }
            ok = loader.Add(group);
        }
        ok = ok && loader.Finish();
    }
    if (!ok) problem = loader.Problem();
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return ok;
}

// --- Bare libldap ------------------------------------------------------------------------

// One anonymous connection, one subtree search, every value of `attribute`; what the library
// does for each of its searches.
std::vector<std::string> BareSearch(const std::string& filter, const char* attribute) {
    std::vector<std::string> values;
    LDAP* ld = Open(nullptr, nullptr);
    if (ld == nullptr) return values;
    char name[64];
    std::snprintf(name, sizeof name, "%s", attribute);
    char* attributes[] = {name, nullptr};
    LDAPMessage* chain = nullptr;
    timeval limit{120, 0};
    if (ldap_search_ext_s(ld, BaseDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(), attributes, 0,
                          nullptr, nullptr, &limit, 0, &chain) == LDAP_SUCCESS) {
        for (LDAPMessage* entry = ldap_first_entry(ld, chain); entry != nullptr;
             entry = ldap_next_entry(ld, entry)) {
            berval** found = ldap_get_values_len(ld, entry, name);
            for (berval** value = found; value != nullptr && *value != nullptr; ++value) {
                values.emplace_back((*value)->bv_val, (*value)->bv_len);
            }
            ldap_value_free_len(found);
        }
    }
    ldap_msgfree(chain);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return values;
}

std::string GroupFilter(const std::string& name) {
    return "(&(objectclass=groupOfUniqueNames)(cn=" + name + "))";
}
// The member lists read the group's entry by its name alone, without the object class; with
// cn unindexed that is a scan of every entry, and the baseline makes the same one.
std::string MembersFilter(const std::string& name) {
    return "(cn=" + name + ")";
}

// The eventual supergroups by a breadth-first walk over superGroup, one search per group.
std::set<std::string> BareEventualSuperGroups(const std::string& start) {
    std::set<std::string> reached;
    std::deque<std::string> queue{start};
    while (!queue.empty()) {
        const std::string name = queue.front();
        queue.pop_front();
        for (const std::string& dn : BareSearch(GroupFilter(name), "superGroup")) {
            const std::string parent = dn.substr(3, dn.find(',') - 3);
            if (reached.insert(parent).second) queue.push_back(parent);
        }
    }
    return reached;
}

// Each level of the walk from index 0 of the bottom reaches one more group than the last.
constexpr std::size_t kWalkGroups = (kLevels - 1) * kLevels / 2 + (kLevels - 1);

void Check(benchmark::State& state, bool ok, const std::string& what) {
    if (!ok) {
        g_failed = true;
        state.SkipWithError(what.c_str());
    }
}

// --- The benchmarks ----------------------------------------------------------------------

void LibraryEventualSuperGroups(benchmark::State& state) {
    for (auto _ : state) {
        CZNGroup group(GroupName(0, 0));
        const std::size_t count = group.GetEventualSuperGroups().size();
        Check(state, count == kWalkGroups && group.GetErrorStatusCode() == 1,
              "library walk found " + std::to_string(count));
    }
}
void BareEventualSuperGroups(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t count = BareEventualSuperGroups(GroupName(0, 0)).size();
        Check(state, count == kWalkGroups, "bare walk found " + std::to_string(count));
    }
}
void LibraryDirectMembers(benchmark::State& state) {
    for (auto _ : state) {
        CZNGroup group(GroupName(0, 7));
        const std::size_t count = group.GetDirectMembers().size();
        Check(state, count == kMembersPerBottomGroup, "members " + std::to_string(count));
    }
}
void BareDirectMembers(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t count =
            BareSearch(MembersFilter(GroupName(0, 7)), "explicitMember").size();
        Check(state, count == kMembersPerBottomGroup, "bare members " + std::to_string(count));
    }
}
void LibraryEventualMembers(benchmark::State& state) {
    for (auto _ : state) {
        CZNGroup group(GroupName(0, 9));
        const std::size_t count = group.GetEventualMembers().size();
        Check(state, count == kMembersPerBottomGroup, "eventual " + std::to_string(count));
    }
}
void BareEventualMembers(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t count = BareSearch(MembersFilter(GroupName(0, 9)), "uniqueMember").size();
        Check(state, count == kMembersPerBottomGroup, "bare eventual " + std::to_string(count));
    }
}
// "Scale-0421*" matches the hundred people s042100 to s042199.
void LibraryFindWorkers(benchmark::State& state) {
    for (auto _ : state) {
        CZNWorker finder;
        const std::size_t count = finder.FindWorkersByLastName("Scale-0421*").size();
        Check(state, count == 100, "found " + std::to_string(count));
    }
}
void BareFindWorkers(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t count =
            BareSearch("(&(objectclass=person)(sn=Scale-0421*))", "uid").size();
        Check(state, count == 100, "bare found " + std::to_string(count));
    }
}
// "SCALE-13-01*" matches the hundred groups SCALE-13-0100 to SCALE-13-0199.
void LibraryFindGroups(benchmark::State& state) {
    for (auto _ : state) {
        CZNGroup finder;
        const std::size_t count = finder.FindGroups("SCALE-13-01*").size();
        Check(state, count == 100, "found " + std::to_string(count));
    }
}
void BareFindGroups(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t count = BareSearch(GroupFilter("SCALE-13-01*"), "cn").size();
        Check(state, count == 100, "bare found " + std::to_string(count));
    }
}

#define SCALE_BENCHMARK(function, iterations) \
    BENCHMARK(function)->Unit(benchmark::kMillisecond)->Iterations(iterations)->Repetitions(3)

SCALE_BENCHMARK(LibraryEventualSuperGroups, 5);
SCALE_BENCHMARK(BareEventualSuperGroups, 5);
SCALE_BENCHMARK(LibraryDirectMembers, 20);
SCALE_BENCHMARK(BareDirectMembers, 20);
SCALE_BENCHMARK(LibraryEventualMembers, 20);
SCALE_BENCHMARK(BareEventualMembers, 20);
SCALE_BENCHMARK(LibraryFindWorkers, 20);
SCALE_BENCHMARK(BareFindWorkers, 20);
SCALE_BENCHMARK(LibraryFindGroups, 20);
SCALE_BENCHMARK(BareFindGroups, 20);

}  // namespace

int main(int argc, char** argv) {
    const char* sandbox = std::getenv("ZNG_SANDBOX");
    if (sandbox == nullptr || *sandbox == '\0') {
        std::fprintf(stderr, "scale_bench: no sandbox; run it as directory/sandbox -- %s\n",
                     argv[0]);
        return 1;
    }
    const std::string spool = std::string(sandbox) + "/spool";
    if (mkdir(spool.c_str(), 0700) != 0 && errno != EEXIST) {
        std::perror(("scale_bench: " + spool).c_str());
        return 1;
    }
    setenv("ZNI_SPOOL", spool.c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    std::string problem;
    if (!LoadDirectory(problem)) {
        std::fprintf(stderr, "scale_bench: loading: %s\n", problem.c_str());
        return 1;
    }
    std::printf("Loaded %d people and %d groups in %d levels into %s in %.1f s\n", kPeople,
                kLevels * kGroupsPerLevel, kLevels, kProvider,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    for (const char* name :
         {"EventualSuperGroups", "DirectMembers", "EventualMembers", "FindWorkers", "FindGroups"}) {
        reporter.PrintRatio(std::string("Library") + name, std::string("Bare") + name);
    }
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
