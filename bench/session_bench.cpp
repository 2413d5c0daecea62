// Cost of one CollectValues query next to a bare libldap init/bind/search/unbind loop.
#include "bench/bench_ldap.h"  // first: it asks ldap.h for the calls the baselines make

#include <benchmark/benchmark.h>
#include <ldap.h>

#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "bench/median_report.h"
#include "session/directory_base.h"

namespace {

constexpr const char* kFilter = "(&(objectclass=groupOfNames)(cn=Domains))";
const char* const kAttributes[] = {"member", nullptr};

// The same work the library does for one query, with nothing around it.
void BareLdapQuery(benchmark::State& state) {
    timeval connectWait{5, 0};
    timeval searchWait{120, 0};
    for (auto _ : state) {
        LDAP* ld = ldap_init("ldap5", 389);
        int version = LDAP_VERSION3;
        ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
        ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &connectWait);
        if (znbench::BindAnonymously(ld, connectWait) != LDAP_SUCCESS) {
            state.SkipWithError("bind failed");
            ldap_unbind_ext(ld, nullptr, nullptr);
            break;
        }
        std::list<std::string> values;
        if (!znbench::SearchAndCopy(ld, zn::OrganizationBaseDN(), kFilter, kAttributes, searchWait,
                                    values)) {
            state.SkipWithError("search failed");
        }
        benchmark::DoNotOptimize(values);
        ldap_unbind_ext(ld, nullptr, nullptr);
    }
}

void LibraryCollectValues(benchmark::State& state) {
    zn::CZNDirectoryBase base;
    std::list<std::string> values;
    for (auto _ : state) {
        base.CollectValues(kFilter, kAttributes, values);
        if (values.empty()) {
            state.SkipWithError(base.GetErrorStatusText().c_str());
            break;
        }
        benchmark::DoNotOptimize(values);
    }
}

// Ten interleaved repetitions of each, so that drift in the server or the machine falls on
// both sides of the ratio alike.
BENCHMARK(BareLdapQuery)->Name("bare libldap query")->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(LibraryCollectValues)->Name("CollectValues")->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    znbench::MedianReporter reporter;
    znbench::RunInterleaved(argc, argv, reporter);
    std::printf("\n");
    reporter.PrintRatio("CollectValues", "bare libldap query");
    benchmark::Shutdown();
    return 0;
}
