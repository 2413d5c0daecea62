// A group's members with their details: the library's list and CZNWorker::LoadWorkers beside
// bare libldap doing the same reads, on 100,000 generated people with realistic attributes
// (full name, mail, phone, title, city, department, manager…) in a group of them all and in
// a group of 200 spread among them. Time and peak memory, warm and in a fresh process, and the
// number of searches each side sends.
#include "bench/bench_ldap.h"  // first: it asks ldap.h for the calls the baselines make

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "session/directory_base.h"

namespace {

using znbench::Clock;
using znbench::SecondsSince;

constexpr int kPeople = 100000;
constexpr int kSmall = 200;
constexpr const char* kProvider = "ldap5";
constexpr const char* kAllGroup = "DETAIL-ALL";
constexpr const char* kSmallGroup = "DETAIL-200";

std::string BaseDN() {
    return zn::OrganizationBaseDN();
}
std::string PeopleDN() {
    return "ou=DetailPeople," + BaseDN();
}
std::string Uid(int number) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "d%06d", number);
    return uid;
}
std::string PersonDN(int number) {
    return "uid=" + Uid(number) + "," + PeopleDN();
}
// The members of the small group: every 500th person.
int SmallMember(int i) {
    return i * (kPeople / kSmall);
}

// Searches handed to libldap by this process (every entry point is wrapped).
long g_searches = 0;

bool Load(std::string& problem) {
    znbench::Connection admin;
    if (znbench::Open(admin, kProvider, ("cn=admin," + BaseDN()).c_str(), "zngadmin") != 0) {
        problem = "cannot bind to the provider as its administrator";
        return false;
    }
    znbench::PipelinedLoader loader(admin.ld);
    bool ok = loader.Add(
        {PeopleDN(), {{"objectClass", {"top", "organizationalUnit"}}, {"ou", {"DetailPeople"}}}});
    static const char* const kCities[] = {"Zurich", "Lyon", "Austin", "Pune", "Osaka"};
    std::vector<std::string> all, small;
    for (int n = 0; ok && n < kPeople; ++n) {
        const std::string uid = Uid(n);
        const std::string given = "Given" + uid.substr(1), sur = "Sur" + uid.substr(1);
        ok = loader.Add(
            {PersonDN(n),
             {{"objectClass", {"top", "person", "organizationalPerson", "inetOrgPerson"}},
              {"uid", {uid}},
              {"cn", {given + " " + sur}},
              {"sn", {sur}},
              {"givenName", {given}},
              {"displayName", {sur + ", " + given}},
              {"mail", {given + "." + sur + "@example.com"}},
              {"telephoneNumber", {"+41 44 555 " + uid.substr(3)}},
              {"title", {"Engineer"}},
              {"l", {kCities[n % 5]}},
              {"departmentNumber", {std::to_string(4000 + n % 97)}},
              {"employeeNumber", {std::to_string(700000 + n)}},
              {"manager", {PersonDN(n - n % 50)}}}});
        all.push_back(PersonDN(n));
    }
    for (int i = 0; i < kSmall; ++i) small.push_back(PersonDN(SmallMember(i)));
    for (const auto& [name, members] :
         {std::make_pair(kAllGroup, &all), std::make_pair(kSmallGroup, &small)}) {
        ok = ok && loader.Add({"cn=" + std::string(name) + "," + PeopleDN(),
                               {{"objectClass", {"top", "groupOfUniqueNames", "znGroup"}},
                                {"cn", {name}},
                                {"explicitMember", *members},
                                {"uniqueMember", *members}}});
    }
    ok = ok && loader.Finish();
    if (!ok) problem = loader.Problem();
    return ok;
}

// One side's run: time, peak growth, searches, and what it read (people, and a checksum of
// their full names and mail addresses, which both sides must agree on).
struct Run {
    double seconds = 0;
    double peakBytes = 0;
    long searches = 0;
    long people = 0;
    std::size_t checksum = 0;
};

void Note(Run& run, const std::string& fullName, const std::string& mail) {
    ++run.people;
    run.checksum += std::hash<std::string>()(fullName) ^ (std::hash<std::string>()(mail) << 1);
}

Run WithLibrary(const char* group) {
    Run run;
    znbench::PeakGrowth growth;
    const long searches = g_searches;
    const Clock::time_point start = Clock::now();
    {
        const CZNGroup owner(group);
        const std::list<CZNWorker>& members = owner.GetEventualMembers();
        CZNWorker::LoadWorkers(members);
        for (const CZNWorker& member : members) {
            Note(run, member.GetFullName(), member.GetEmailAddress());
        }
    }
    run.seconds = SecondsSince(start);
    run.searches = g_searches - searches;
    run.peakBytes = growth.Bytes();
    return run;
}

// The same people read with bare libldap: for the whole company one subtree search of every
// person, for the small group one OR filter of its members; every attribute, as a load asks.
Run Bare(bool everybody) {
    Run run;
    znbench::PeakGrowth growth;
    const long searches = g_searches;
    const Clock::time_point start = Clock::now();
    {
        std::string filter = "(&(objectclass=organizationalPerson)";
        if (!everybody) {
            filter += "(|";
            for (int i = 0; i < kSmall; ++i) filter += "(uid=" + Uid(SmallMember(i)) + ")";
            filter += ")";
        }
        filter += ")";
        znbench::Connection connection;
        znbench::Chain chain;
        timeval wait{120, 0};
        if (znbench::OpenAsTheLibraryDoes(connection, kProvider) == LDAP_SUCCESS &&
            ldap_search_st(connection.ld, PeopleDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                           nullptr, 0, &wait, &chain.message) == LDAP_SUCCESS) {
            for (LDAPMessage* e = ldap_first_entry(connection.ld, chain.message); e != nullptr;
                 e = ldap_next_entry(connection.ld, e)) {
                char** cn = ldap_get_values(connection.ld, e, "cn");
                char** mail = ldap_get_values(connection.ld, e, "mail");
                Note(run, cn != nullptr ? cn[0] : "", mail != nullptr ? mail[0] : "");
                ldap_value_free(cn);
                ldap_value_free(mail);
            }
        }
    }
    run.seconds = SecondsSince(start);
    run.searches = g_searches - searches;
    run.peakBytes = growth.Bytes();
    return run;
}

// This program's own path, for the runs in a fresh process.
std::string g_self;

// --- The tool beside ldapsearch ---------------------------------------------------------------

// Runs `command` through the shell with its output thrown away: wall time, peak resident
// memory, and the lines it printed.
Run Process(const std::string& command) {
    Run run;
    const Clock::time_point start = Clock::now();
    FILE* pipe = popen((command + " | wc -l").c_str(), "r");
    if (pipe == nullptr) return run;
    long lines = 0;
    if (std::fscanf(pipe, "%ld", &lines) != 1) lines = -1;
    pclose(pipe);
    run.seconds = SecondsSince(start);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    run.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024;
    run.people = lines;
    return run;
}

// Both print a line per person (ldapsearch: dn, cn, mail and a blank line); the peaks are of
// the largest child so far, so each side runs in a process of the bench's own.
Run ToolRun(bool tool) {
    FILE* pipe = popen((g_self + (tool ? " --child tool" : " --child ldapsearch")).c_str(), "r");
    Run run;
    if (pipe == nullptr) return run;
    if (std::fscanf(pipe, "%lf %lf %ld", &run.seconds, &run.peakBytes, &run.people) != 3) {
        run.people = -1;
    }
    pclose(pipe);
    return run;
}

// --- A fresh process for each run ---------------------------------------------------------

Run InChild(const std::string& mode) {
    Run run;
    FILE* pipe = popen((g_self + " --child " + mode).c_str(), "r");
    if (pipe == nullptr) return run;
    if (std::fscanf(pipe, "%lf %lf %ld %ld %zu", &run.seconds, &run.peakBytes, &run.searches,
                    &run.people, &run.checksum) != 5) {
        run.people = -1;
    }
    pclose(pipe);
    return run;
}

int RunChild(const std::string& mode) {
    if (mode == "tool" || mode == "ldapsearch") {
        const bool tool = mode == "tool";
        const Run run = Process(tool ? std::string(ZNGROUPS_TOOL) + " group members " + kAllGroup +
                                           " --eventual --with fullName,emailAddress"
                                     : "ldapsearch -x -LLL -o ldif-wrap=no -H ldap://" +
                                           std::string(kProvider) + " -b " + PeopleDN() +
                                           " '(objectclass=organizationalPerson)' cn mail");
        // A person is one line of the tool's table (after its header), four of ldapsearch's.
        const long people = tool ? run.people - 1 : run.people / 4;
        std::printf("%.6f %.0f %ld\n", run.seconds, run.peakBytes, people);
        return 0;
    }
    const Run run = mode == "library-all"     ? WithLibrary(kAllGroup)
                    : mode == "bare-all"      ? Bare(true)
                    : mode == "library-small" ? WithLibrary(kSmallGroup)
                                              : Bare(false);
    std::printf("%.6f %.0f %ld %ld %zu\n", run.seconds, run.peakBytes, run.searches, run.people,
                run.checksum);
    return 0;
}

// The processes' outputs are not compared value by value; both must list every person.
Run WithChecksum(Run run) {
    run.checksum = 0;
    return run;
}

// Library and bare in turns; the library's time is the iteration's, the rest are counters.
void SideBySide(benchmark::State& state, const std::function<Run()>& library,
                const std::function<Run()>& bare, long people) {
    double libraryTime = 0, bareTime = 0, libraryPeak = 0, barePeak = 0;
    long librarySearches = 0, bareSearches = 0, n = 0;
    for (auto _ : state) {
        // In turns, so that neither side always finds the server's caches warmed by the other.
        Run c, b;
        if (n % 2 == 0) {
            c = library();
            b = bare();
        } else {
            b = bare();
            c = library();
        }
        if (c.people != people || b.people != people || c.checksum != b.checksum) {
            state.SkipWithError(("the sides read different people: " + std::to_string(c.people) +
                                 " and " + std::to_string(b.people))
                                    .c_str());
            return;
        }
        state.SetIterationTime(c.seconds);
        libraryTime += c.seconds;
        bareTime += b.seconds;
        libraryPeak = std::max(libraryPeak, c.peakBytes);
        barePeak = std::max(barePeak, b.peakBytes);
        librarySearches = c.searches;
        bareSearches = b.searches;
        ++n;
    }
    state.counters["bare_ms"] = bareTime / static_cast<double>(n) * 1e3;
    state.counters["ratio"] = libraryTime / bareTime;
    state.counters["peak_MB"] = libraryPeak / 1e6;
    state.counters["bare_peak_MB"] = barePeak / 1e6;
    state.counters["peak_ratio"] = barePeak > 0 ? libraryPeak / barePeak : 0;
    state.counters["searches"] = static_cast<double>(librarySearches);
    state.counters["bare_searches"] = static_cast<double>(bareSearches);
}

void Register() {
    auto add = [](const char* name, std::function<void(benchmark::State&)> body) {
        benchmark::RegisterBenchmark(name, body)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2)
            ->Repetitions(3);
    };
    add("100,000 members with details, warm", [](benchmark::State& s) {
        SideBySide(
            s, [] { return WithLibrary(kAllGroup); }, [] { return Bare(true); }, kPeople);
    });
    add("100,000 members with details, fresh process", [](benchmark::State& s) {
        SideBySide(
            s, [] { return InChild("library-all"); }, [] { return InChild("bare-all"); }, kPeople);
    });
    add("zngroups group members --with fullName,emailAddress beside ldapsearch",
        [](benchmark::State& s) {
            // Searches are not counted across processes; the tool's --trace shows three.
            SideBySide(
                s, [] { return WithChecksum(ToolRun(true)); },
                [] { return WithChecksum(ToolRun(false)); }, kPeople);
        });
    add("200 members among 100,000 with details, warm", [](benchmark::State& s) {
        SideBySide(
            s, [] { return WithLibrary(kSmallGroup); }, [] { return Bare(false); }, kSmall);
    });
    add("200 members among 100,000 with details, fresh process", [](benchmark::State& s) {
        SideBySide(
            s, [] { return InChild("library-small"); }, [] { return InChild("bare-small"); },
            kSmall);
    });
}

}  // namespace

// Every search of either side goes through ldap_search_st or ldap_search_ext; the linker hands
// them here first.
extern "C" int __real_ldap_search_st(LDAP*, const char*, int, const char*, char**, int, timeval*,
                                     LDAPMessage**);
extern "C" int __wrap_ldap_search_st(LDAP* ld, const char* base, int scope, const char* filter,
                                     char** attributes, int only, timeval* wait,
                                     LDAPMessage** result) {
    ++g_searches;
    return __real_ldap_search_st(ld, base, scope, filter, attributes, only, wait, result);
}

extern "C" int __real_ldap_search_ext(LDAP*, const char*, int, const char*, char**, int,
                                      LDAPControl**, LDAPControl**, timeval*, int, int*);
extern "C" int __wrap_ldap_search_ext(LDAP* ld, const char* base, int scope, const char* filter,
                                      char** attributes, int only, LDAPControl** server,
                                      LDAPControl** client, timeval* wait, int size, int* id) {
    ++g_searches;
    return __real_ldap_search_ext(ld, base, scope, filter, attributes, only, server, client, wait,
                                  size, id);
}

int main(int argc, char** argv) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) g_self.assign(self, static_cast<std::size_t>(length));
    if (argc == 3 && std::string(argv[1]) == "--child") return RunChild(argv[2]);
    std::string problem;
    const Clock::time_point start = Clock::now();
    if (!Load(problem)) {
        std::fprintf(stderr, "member_details_bench: %s\n", problem.c_str());
        return 1;
    }
    std::printf("Loaded %d people, %s and %s into %s in %.1f s\n", kPeople, kAllGroup, kSmallGroup,
                kProvider, SecondsSince(start));
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
