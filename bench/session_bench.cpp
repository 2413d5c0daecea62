// Cost of one CollectValues query next to a bare libldap init/bind/search/unbind loop.
#define LDAP_DEPRECATED 1
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
        int id = ldap_bind(ld, nullptr, nullptr, LDAP_AUTH_SIMPLE);
        LDAPMessage* bound = nullptr;
        ldap_result(ld, id, LDAP_MSG_ALL, &connectWait, &bound);
        if (ldap_result2error(ld, bound, 1) != LDAP_SUCCESS) {
            state.SkipWithError("bind failed");
            break;
        }
        LDAPMessage* chain = nullptr;
        if (ldap_search_st(ld, zn::OrganizationBaseDN(), LDAP_SCOPE_SUBTREE, kFilter,
                           const_cast<char**>(kAttributes), 0, &searchWait, &chain) != 0) {
            state.SkipWithError("search failed");
        }
        std::list<std::string> values;
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
        benchmark::DoNotOptimize(values);
        ldap_msgfree(chain);
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
