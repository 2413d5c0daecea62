// group_bench, the members half: each figure of the library beside bare libldap doing the
// same work in the same run, the two sides taking turns so that neither always finds the
// server warm. The bare side opens its session as the library does (ldap_init, version 3, an
// anonymous bind awaited with ldap_result), makes the same search asking only the attribute
// needed, takes each member's name from its DN and sorts the names into a vector.
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "bench/bench_ldap.h"
#include "bench/group_bench.h"
#include "session/directory_base.h"

namespace groupbench {
namespace {

using znbench::Chain;
using znbench::Clock;
using znbench::Connection;
using znbench::PeakGrowth;
using znbench::SecondsSince;

constexpr const char* kNoPeakText =
    "peak RSS unmeasurable: /proc/self/clear_refs or /proc/self/status unusable";

// The people lists that come in their thousands, and the attribute each reads.
// With `askEach`, every listed worker is then asked its error status, a question that needs
// no directory: a caller checking each element must not pay for a whole object per person.
struct PeopleList {
    const char* name;
    const std::list<CZNWorker>& (CZNGroup::*list)() const;
    const char* attribute;
    bool askEach = false;
};
const PeopleList kPeopleLists[] = {
    {"GetEventualMembers", &CZNGroup::GetEventualMembers, "uniqueMember"},
    {"GetDirectMembers", &CZNGroup::GetDirectMembers, "explicitMember"},
    {"GetEventualMembers, each asked GetErrorStatusCode,", &CZNGroup::GetEventualMembers,
     "uniqueMember", true},
};

// One side's run: its time, its peak memory growth, and how many names it handed over, with
// the first and the last.
struct Run {
    double seconds = 0;
    double peakBytes = 0;
    long count = 0;
    std::string first;
    std::string last;
    std::string problem;
};

// Times `body`, which notes what it found in the run.
Run Timed(const std::function<void(Run&)>& body) {
    Run run;
    Clock::time_point start = Clock::now();
    body(run);
    run.seconds = SecondsSince(start);
    return run;
}

// A bare session opened as the library opens one, and the library's search on it; the code.
int BareSearch(Connection& connection, Chain& chain, const std::string& filter,
               const char* attribute) {
    int rc = znbench::OpenAsTheLibraryDoes(connection, kFirstServer);
    return rc == LDAP_SUCCESS
               ? znbench::SearchAsTheLibraryDoes(connection, BaseDN(), filter, attribute, chain)
               : rc;
}

std::string ByName(const char* group) {
    return std::string("(&(objectclass=groupOfUniqueNames)(cn=") + group + "))";
}

Run ListWithLibrary(const PeopleList& row) {
    Run run;
    PeakGrowth growth;
    Clock::time_point start = Clock::now();
    auto group = std::make_unique<CZNGroup>(kBigGroup);
    const std::list<CZNWorker>& workers = ((*group).*row.list)();
    run.seconds = SecondsSince(start);
    // The names come with the list, without a search each.
    run.count = static_cast<long>(workers.size());
    if (!workers.empty()) {
        run.first = workers.front().GetName();
        run.last = workers.back().GetName();
    }
    if (row.askEach) {
        start = Clock::now();
        long fresh = 0;
        for (const CZNWorker& worker : workers) {
            fresh += worker.GetErrorStatusCode() == zn::kStatusSuccess ? 1 : 0;
        }
        run.seconds += SecondsSince(start);
        if (fresh != run.count) run.problem = "a listed worker's status was not the fresh one";
    }
    if (group->GetErrorStatusCode() != zn::kStatusSuccess) {
        run.problem = group->GetErrorStatusText();
    }
    // Dropping the result is the caller's cost too.
    start = Clock::now();
    group.reset();
    run.seconds += SecondsSince(start);
    run.peakBytes = growth.Bytes();
    return run;
}

Run ListBare(const char* attribute) {
    Run run;
    PeakGrowth growth;
    Clock::time_point start = Clock::now();
    {
        Connection connection;
        Chain chain;
        const int rc =
            BareSearch(connection, chain, std::string("(cn=") + kBigGroup + ")", attribute);
        if (rc != LDAP_SUCCESS) {
            run.problem = ldap_err2string(rc);
            return run;
        }
        std::vector<std::string> names = znbench::SortedValues(connection, chain, attribute, true);
        run.count = static_cast<long>(names.size());
        if (!names.empty()) {
            run.first = names.front();
            run.last = names.back();
        }
    }
    run.seconds = SecondsSince(start);
    run.peakBytes = growth.Bytes();
    return run;
}

// Whether a run handed over every member, sorted; the problem otherwise.
std::string Checked(const Run& run, const char* side) {
    if (!run.problem.empty()) return std::string(side) + ": " + run.problem;
    if (run.count != Members() || run.first != MemberName(0) ||
        run.last != MemberName(Members() - 1)) {
        return std::string(side) + ": " + std::to_string(run.count) + " names, first " + run.first +
               ", last " + run.last;
    }
    if (run.peakBytes < 0) return kNoPeakText;
    return std::string();
}

struct Totals {
    double library = 0;
    double bare = 0;
    double libraryPeak = 0;
    double barePeak = 0;
    long iterations = 0;

    void Report(benchmark::State& state) const {
        const double n = static_cast<double>(iterations);
        state.counters["bare_ms"] = bare / n * 1e3;
        state.counters["ratio"] = library / bare;
        if (barePeak > 0) {
            state.counters["peak_MB"] = libraryPeak / 1e6;
            state.counters["bare_peak_MB"] = barePeak / 1e6;
            state.counters["peak_ratio"] = libraryPeak / barePeak;
        }
    }
};

// Runs `library` and `bare` once each per iteration, in turns, the library's time as the
// iteration's; each returns its Run, checked by `check`.
void Alternate(benchmark::State& state, const std::function<Run()>& library,
               const std::function<Run()>& bare,
               const std::function<std::string(const Run&, const char*)>& check) {
    Totals totals;
    for (auto _ : state) {
        Run runs[2];
        for (int turn = 0; turn < 2; ++turn) {
            const bool libraryTurn = (turn == 0) == (totals.iterations % 2 == 0);
            Run& run = runs[libraryTurn ? 0 : 1];
            run = libraryTurn ? library() : bare();
            const std::string problem = check(run, libraryTurn ? "library" : "bare");
            if (!problem.empty()) {
                Fail(state, problem);
                return;
            }
        }
        state.SetIterationTime(runs[0].seconds);
        totals.library += runs[0].seconds;
        totals.bare += runs[1].seconds;
        totals.libraryPeak = std::max(totals.libraryPeak, runs[0].peakBytes);
        totals.barePeak = std::max(totals.barePeak, runs[1].peakBytes);
        ++totals.iterations;
    }
    totals.Report(state);
}

// --- Fresh processes ---------------------------------------------------------------------

Run ParseChild(const std::string& line) {
    Run run;
    std::istringstream in(line);
    if (!(in >> run.seconds >> run.peakBytes >> run.count >> run.first >> run.last)) {
        run.problem = "child answered '" + line + "'";
    }
    return run;
}

Run InFreshProcess(const std::string& mode) {
    bool ok = false;
    const std::string line = RunSelf(mode, ok);
    Run run = ParseChild(line);
    if (!ok && run.problem.empty()) run.problem = "child failed: " + line;
    return run;
}

// The tool and ldapsearch, each as the shell runs it, their output thrown away.
double TimeCommand(const std::string& command, bool& ok) {
    Clock::time_point start = Clock::now();
    ok = std::system((command + " >/dev/null").c_str()) == 0;
    return SecondsSince(start);
}

std::string ToolCommand() {
    return std::string(ZNGROUPS_TOOL) + " group members " + kBigGroup + " --eventual";
}
std::string LdapsearchCommand() {
    return "ldapsearch -x -LLL -o ldif-wrap=no -H ldap://" + std::string(kFirstServer) + " -b " +
           BaseDN() + " '(cn=" + kBigGroup + ")' uniqueMember";
}

// How many lines a command prints.
long LinesOf(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    long lines = 0;
    for (int c; (c = std::fgetc(pipe)) != EOF;) lines += c == '\n';
    return pclose(pipe) == 0 ? lines : -1;
}

// --- Benchmarks ----------------------------------------------------------------------------

void PeopleListOfBigGroup(benchmark::State& state, const PeopleList* row) {
    Alternate(
        state, [row] { return ListWithLibrary(*row); }, [row] { return ListBare(row->attribute); },
        Checked);
}

void EventualMembersInAFreshProcess(benchmark::State& state) {
    Alternate(
        state, [] { return InFreshProcess("members-library"); },
        [] { return InFreshProcess("members-bare"); }, Checked);
}

void EventualMembersAskedInAFreshProcess(benchmark::State& state) {
    Alternate(
        state, [] { return InFreshProcess("members-asked-library"); },
        [] { return InFreshProcess("members-bare"); }, Checked);
}

void ToolBesideLdapsearch(benchmark::State& state) {
    // Both print one line a member (and ldapsearch a few more around them).
    const long toolLines = LinesOf(ToolCommand());
    const long ldapLines = LinesOf(LdapsearchCommand());
    if (toolLines != Members() || ldapLines < Members()) {
        Fail(state, "the tool printed " + std::to_string(toolLines) + " lines, ldapsearch " +
                        std::to_string(ldapLines));
        return;
    }
    Alternate(
        state,
        [] {
            Run run;
            bool ok = false;
            run.seconds = TimeCommand(ToolCommand(), ok);
            if (!ok) run.problem = "the tool failed";
            return run;
        },
        [] {
            Run run;
            bool ok = false;
            run.seconds = TimeCommand(LdapsearchCommand(), ok);
            if (!ok) run.problem = "ldapsearch failed";
            return run;
        },
        [](const Run& run, const char* side) {
            return run.problem.empty() ? std::string() : std::string(side) + ": " + run.problem;
        });
}

void EventualMembersCount(benchmark::State& state) {
    Alternate(
        state,
        [] {
            return Timed(
                [](Run& run) { run.count = CZNGroup(kBigGroup).GetEventualMembersCount(); });
        },
        [] {
            return Timed([](Run& run) {
                Connection connection;
                Chain chain;
                if (BareSearch(connection, chain, std::string("(cn=") + kBigGroup + ")",
                               "uniqueMember") != LDAP_SUCCESS) {
                    return;
                }
                LDAPMessage* entry = ldap_first_entry(connection.ld, chain.message);
                char** values = ldap_get_values(connection.ld, entry, "uniqueMember");
                run.count = ldap_count_values(values);
                ldap_value_free(values);
            });
        },
        [](const Run& run, const char* side) {
            return run.count == Members()
                       ? std::string()
                       : std::string(side) + ": count " + std::to_string(run.count);
        });
}

// A check or lookup on the big group beside the same call on the one-member group: the big
// one may cost more only where the server needs more for the bigger entry.
struct Check {
    const char* name;
    std::function<std::string(const CZNGroup&, const char* group)> call;
};

const Check kChecks[] = {
    {"GetOrganizationalUnit",
     [](const CZNGroup& g, const char* n) { return g.GetOrganizationalUnit(n); }},
    {"GetDescription",
     [](const CZNGroup& g, const char* n) { return g.GetDescription(n).substr(0, 9); }},
    {"IsValidGroup",
     [](const CZNGroup& g, const char* n) { return std::to_string(g.IsValidGroup(n)); }},
    {"IsPublicGroup",
     [](const CZNGroup& g, const char* n) { return std::to_string(g.IsPublicGroup(n)); }},
    {"IsValidGroupEventualMember",
     [](const CZNGroup& g, const char* n) {
         return std::to_string(g.IsValidGroupEventualMember(n, kWorker));
     }},
    {"IsValidGroupDirectMember",
     [](const CZNGroup& g, const char* n) {
         return std::to_string(g.IsValidGroupDirectMember(n, kWorker));
     }},
    {"IsValidGroupOwner",
     [](const CZNGroup& g, const char* n) {
         return std::to_string(g.IsValidGroupOwner(n, kWorker));
     }},
    {"IsValidGroupSubGroup",
     [](const CZNGroup& g, const char* n) {
         return std::to_string(g.IsValidGroupSubGroup(n, "LADDER-00"));
     }},
    {"IsValidGroupEventualSuperGroup",
     [](const CZNGroup& g, const char* n) {
         return std::to_string(g.IsValidGroupEventualSuperGroup(n, "LADDER-01A"));
     }},
};

void CheckOnBigGroup(benchmark::State& state, const Check* check) {
    std::string answers[2];
    Alternate(
        state,
        [&] { return Timed([&](Run&) { answers[0] = check->call(CZNGroup(), kBigGroup); }); },
        [&] { return Timed([&](Run&) { answers[1] = check->call(CZNGroup(), kOneGroup); }); },
        [&](const Run&, const char*) {
            return answers[0].empty() || answers[1].empty() || answers[0] == answers[1]
                       ? std::string()
                       : std::string(check->name) + " answers " + answers[0] + " and " + answers[1];
        });
    state.counters["one_member_ms"] = state.counters["bare_ms"];
    state.counters.erase("bare_ms");
    // What the server itself needs more for the bigger entry: a bare search of it by name,
    // asking only its name, beside the same search of the small one.
    double seconds[2] = {0, 0};
    for (int round = 0; round < 40; ++round) {
        for (int side = 0; side < 2; ++side) {
            const Run run = Timed([&](Run& found) {
                Connection connection;
                Chain chain;
                found.count =
                    BareSearch(connection, chain, ByName(side == 0 ? kBigGroup : kOneGroup), "cn");
            });
            if (run.count != LDAP_SUCCESS) {
                Fail(state, "bare search by name failed");
                return;
            }
            seconds[side] += run.seconds;
        }
    }
    const double serverRatio = seconds[0] / seconds[1];
    state.counters["server_ratio"] = serverRatio;
    state.counters["ratio_beyond_server"] = state.counters["ratio"] / serverRatio;
}

void FirstQueryOfAFreshObject(benchmark::State& state) {
    Alternate(
        state,
        [] { return Timed([](Run& run) { run.first = CZNGroup(kOneGroup).GetDescription(); }); },
        [] {
            return Timed([](Run& run) {
                Connection connection;
                Chain chain;
                if (BareSearch(connection, chain, ByName(kOneGroup), "description") ==
                    LDAP_SUCCESS) {
                    std::vector<std::string> values =
                        znbench::SortedValues(connection, chain, "description", false);
                    if (!values.empty()) run.first = values.front();
                }
            });
        },
        [](const Run& run, const char* side) {
            return run.first == "Bench group of 1" ? std::string()
                                                   : std::string(side) + ": '" + run.first + "'";
        });
}

void EventualGroupsOfAWorker(benchmark::State& state) {
    Alternate(
        state,
        [] {
            return Timed([](Run& run) {
                const CZNWorker worker(kWorker);
                const std::list<CZNGroup>& groups = worker.GetEventualGroups();
                std::vector<std::string> names;
                names.reserve(groups.size());
                for (const CZNGroup& group : groups) names.push_back(group.GetGroupName());
                run.count = static_cast<long>(names.size());
            });
        },
        [] {
            // Two sessions, as the library makes two searches: the person's DN, then the
            // groups that hold it.
            return Timed([](Run& run) {
                std::string dn;
                {
                    Connection connection;
                    Chain chain;
                    if (BareSearch(connection, chain,
                                   std::string("(&(objectclass=organizationalPerson)(uid=") +
                                       kWorker + "))",
                                   "uid") != LDAP_SUCCESS) {
                        return;
                    }
                    char* found =
                        ldap_get_dn(connection.ld, ldap_first_entry(connection.ld, chain.message));
                    dn = found != nullptr ? found : "";
                    ldap_memfree(found);
                }
                Connection connection;
                Chain chain;
                if (BareSearch(connection, chain, "(uniquemember=" + dn + ")", "cn") ==
                    LDAP_SUCCESS) {
                    run.count = static_cast<long>(
                        znbench::SortedValues(connection, chain, "cn", false).size());
                }
            });
        },
        [](const Run& run, const char* side) {
            return run.count == kWorkerGroups + 2
                       ? std::string()
                       : std::string(side) + ": " + std::to_string(run.count) + " groups";
        });
}

int RegisterAll() {
    for (const PeopleList& row : kPeopleLists) {
        benchmark::RegisterBenchmark((std::string(row.name) + " of the big group").c_str(),
                                     PeopleListOfBigGroup, &row)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(6)
            ->Repetitions(5);
    }
    benchmark::RegisterBenchmark("GetEventualMembers once in a fresh process",
                                 EventualMembersInAFreshProcess)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2)
        ->Repetitions(5);
    benchmark::RegisterBenchmark(
        "GetEventualMembers, each asked GetErrorStatusCode, once in a fresh process",
        EventualMembersAskedInAFreshProcess)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("zngroups group members --eventual beside ldapsearch",
                                 ToolBesideLdapsearch)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("GetEventualMembersCount of the big group", EventualMembersCount)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(6)
        ->Repetitions(5);
    for (const Check& check : kChecks) {
        benchmark::RegisterBenchmark((std::string(check.name) + " on the big group").c_str(),
                                     CheckOnBigGroup, &check)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(40)
            ->Repetitions(5);
    }
    benchmark::RegisterBenchmark("First query of a fresh object", FirstQueryOfAFreshObject)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("GetEventualGroups of a worker in 2002 groups",
                                 EventualGroupsOfAWorker)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(5);
    return 0;
}

const int g_registered = RegisterAll();

}  // namespace

std::string RunSelf(const std::string& mode, bool& ok) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ok = false;
    if (length <= 0) return "cannot find /proc/self/exe";
    self[length] = '\0';
    const std::string command =
        std::string(self) + " --child " + mode + " --members " + std::to_string(Members());
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot start " + command;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF && c != '\n';) line += static_cast<char>(c);
    ok = pclose(pipe) == 0;
    return line;
}

int RunChild(const std::string& mode) {
    Run run;
    if (mode == "members-library") {
        run = ListWithLibrary(kPeopleLists[0]);
    } else if (mode == "members-asked-library") {
        run = ListWithLibrary(kPeopleLists[2]);
    } else if (mode == "members-bare") {
        run = ListBare(kPeopleLists[0].attribute);
    } else {
        std::fprintf(stderr, "group_bench: unknown --child mode %s\n", mode.c_str());
        return 2;
    }
    std::printf("%.6f %.0f %ld %s %s\n", run.seconds, run.peakBytes, run.count,
                run.first.empty() ? "-" : run.first.c_str(),
                run.last.empty() ? "-" : run.last.c_str());
    return run.problem.empty() ? 0 : 1;
}

}  // namespace groupbench
